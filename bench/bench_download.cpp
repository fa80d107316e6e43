// How Inet saves a large download to disk through a FileSink, against curl saving the same file
// from the same local server in the same run: wall time (to curl alone, and to curl followed by
// the sync to disk that QSaveFile's commit makes), the process's peak memory above its idle
// size, and the longest time the event loop went unserved (a 1 ms timer watches it).
// The server runs in a child process, so that neither its memory nor its work is counted.
//
//   build/<dir>/bin/bench_download [megabytes] [rounds]

#include "support/testhttpserver.h"
#include "transfer/filesink.h"
#include "transfer/inet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

struct Download {
    double seconds = 0;
    double commitSeconds = 0; // from the last byte to finished(): the commit's sync and rename
    double blockedMs = 0;
    double peakMiB = 0;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

qint64 statusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Makes VmHWM start again from the present size, so that each round's peak is its own.
bool resetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

int serve(qint64 size) {
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < block.size(); ++i)
        block[i] = char((i * 7 + i / 251) & 0xFF);
    TestHttpServer server;
    TestHttpServer::Response response;
    response.headers = {{"Content-Type", "application/octet-stream"}};
    response.body = block.repeated(size / block.size());
    server.setResponse("/file", response);
    response.body = block;
    server.setResponse("/small", response);
    std::printf("%u\n", server.port());
    std::fflush(stdout);
    return QCoreApplication::exec();
}

bool syncFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && ::fsync(file.handle()) == 0;
}

Download saveWithInet(Inet& inet, const QString& url, const QString& path, qint64 size) {
    Download run;
    const bool peakKnown = resetPeak();
    const qint64 idle = statusKiB(peakKnown ? "VmHWM:" : "VmRSS:");

    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    qint64 lastByte = 0;
    QTimer watchdog;
    watchdog.setTimerType(Qt::PreciseTimer);
    watchdog.setInterval(1);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = qMax(longestGap, now - lastTick);
        lastTick = now;
    });
    QEventLoop loop;
    QObject::connect(&inet, &Inet::progress, &loop, [&](qint64 received, qint64) {
        if (received == size)
            lastByte = clock.nsecsElapsed();
    });
    std::optional<TransferResult> result;
    QObject::connect(&inet, &Inet::finished, &loop, [&](const TransferResult& outcome) {
        result = outcome;
        loop.quit();
    });

    clock.start();
    watchdog.start();
    inet.prepare(0);
    inet.start(url, std::make_unique<FileSink>(path));
    loop.exec();
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    longestGap = qMax(longestGap, clock.nsecsElapsed() - lastTick);
    run.commitSeconds = double(clock.nsecsElapsed() - lastByte) / 1e9;
    watchdog.stop();
    if (!result || !result->succeeded() || QFileInfo(path).size() != size) {
        std::fprintf(stderr, "download failed: %s\n",
                     result && result->failure ? qPrintable(result->failure->message()) : "");
        std::exit(1);
    }
    run.blockedMs = double(longestGap) / 1e6;
    run.peakMiB = double(statusKiB("VmHWM:") - idle) / 1024.0;
    return run;
}

// What the commit costs when the kernel is left to write the dirty pages back on its own.
double commitWithoutWriteBack(const QString& path, qint64 size) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    const QByteArray block(1 << 20, 'x');
    for (qint64 written = 0; written < size; written += block.size())
        file.write(block);
    QElapsedTimer clock;
    clock.start();
    file.commit();
    return double(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 2 && QByteArray(argv[1]) == "--serve")
        return serve(QByteArray(argv[2]).toLongLong() * 1024 * 1024);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 3;
    const qint64 size = megabytes * 1024 * 1024;

    // Beside the build, on the disk the sources live on: a RAM-backed folder would leave the
    // sync to disk out of the figures.
    const QString folder = QCoreApplication::applicationDirPath() + "/../bench-download";
    QDir().mkpath(folder);
    const QByteArray fileSystem = QStorageInfo(folder).fileSystemType();
    if (fileSystem == "tmpfs" || fileSystem == "ramfs") {
        std::fprintf(stderr, "%s is on %s; the figures need a disk\n", qPrintable(folder),
                     fileSystem.constData());
        return 1;
    }

    QProcess server;
    server.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--serve"), QString::number(megabytes)});
    if (!server.waitForReadyRead(120000)) {
        std::fprintf(stderr, "the server did not start\n");
        return 1;
    }
    const QString url =
        QStringLiteral("http://127.0.0.1:%1/file").arg(server.readLine().trimmed().toInt());

    Inet inet;
    inet.setStallTimeout(120000);
    // One small round first, so that what Qt sets up once is part of the idle size.
    saveWithInet(inet, url.left(url.lastIndexOf('/')) + "/small", folder + "/warm", 1 << 20);
    QFile::remove(folder + "/warm");
    const QString saved = folder + "/inet.bin";
    const QString curled = folder + "/curl.bin";
    std::vector<double> curlTimes, curlSyncTimes, inetTimes, commitTimes, blocked, peaks;
    for (int round = 0; round < rounds; ++round) {
        QFile::remove(curled);
        QFile::remove(saved);
        ::sync(); // no round pays for the dirty pages of the one before
        QElapsedTimer clock;
        clock.start();
        if (QProcess::execute(QStringLiteral("curl"), {"-s", "-o", curled, url}) != 0 ||
            QFileInfo(curled).size() != size) {
            std::fprintf(stderr, "curl failed\n");
            return 1;
        }
        curlTimes.push_back(double(clock.nsecsElapsed()) / 1e9);
        syncFile(curled);
        curlSyncTimes.push_back(double(clock.nsecsElapsed()) / 1e9);
        QFile::remove(curled);
        ::sync();

        const Download run = saveWithInet(inet, url, saved, size);
        std::printf("round %d: curl %.3f s, then fsync %.3f s; Inet %.3f s, blocked %.1f ms, "
                    "peak %.1f MiB\n",
                    round + 1, curlTimes.back(), curlSyncTimes.back(), run.seconds, run.blockedMs,
                    run.peakMiB);
        inetTimes.push_back(run.seconds);
        commitTimes.push_back(run.commitSeconds);
        blocked.push_back(run.blockedMs);
        peaks.push_back(run.peakMiB);
    }
    QFile::remove(saved);
    ::sync();
    const double plainCommit = commitWithoutWriteBack(saved, size);
    QFile::remove(saved);
    server.kill();
    server.waitForFinished();

    const double curl = median(curlTimes);
    const double curlSync = median(curlSyncTimes);
    const double inetTime = median(inetTimes);
    std::printf("%lld MiB over 127.0.0.1 to %s (%s), median of %d rounds\n",
                static_cast<long long>(megabytes), qPrintable(QDir::cleanPath(folder)),
                fileSystem.constData(), rounds);
    std::printf("%-44s %8.3f s %9.1f MB/s %7.2f x\n", "curl -s -o (baseline)", curl,
                double(size) / curl / 1e6, 1.0);
    std::printf("%-44s %8.3f s %9.1f MB/s %7.2f x\n", "curl -s -o, then fsync", curlSync,
                double(size) / curlSync / 1e6, curlSync / curl);
    std::printf("%-44s %8.3f s %9.1f MB/s %7.2f x\n", "Inet::start + FileSink", inetTime,
                double(size) / inetTime / 1e6, inetTime / curl);
    std::printf("Inet::start + FileSink / (curl, then fsync): %.2f\n", inetTime / curlSync);
    std::printf("last byte to finished (commit: sync, rename): %.1f ms\n",
                median(commitTimes) * 1e3);
    std::printf("longest the event loop was blocked:          %.1f ms (worst round %.1f ms)\n",
                median(blocked), *std::max_element(blocked.begin(), blocked.end()));
    std::printf("peak memory above idle:                      %.1f MiB (worst round %.1f MiB)\n",
                median(peaks), *std::max_element(peaks.begin(), peaks.end()));
    std::printf("QSaveFile commit with no write-back during the writes: %.1f ms\n",
                plainCommit * 1e3);
    return 0;
}
