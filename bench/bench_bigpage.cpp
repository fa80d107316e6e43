// Big pages through the main window, served from a process of its own: a multi-line page of
// 200 MiB (or the size given) from Enter to the link list filled, with the program's peak
// memory above its idle size (goal: at most 4 times the page plus 64 MiB) and the longest
// stretch in which the window's events could not run (goal: under 100 ms); then pages that are
// one single line of 1, 10 and 50 MB, with how long they take to show and how soon the window
// answers a close asked for while one loads.
//
//   build/release/bin/bench_bigpage [megabytes]

#include "logic/pagememory.h"
#include "main/tarvellmain.h"
#include "support/controlregistration.h"
#include "support/messagerecorder.h"
#include "support/testhttpserver.h"
#include "transfer/inet.h"
#include "widgets/sourcebox.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>

#include <cstdio>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

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

bool resetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

QByteArray multiLinePage(qint64 size) {
    QByteArray page = "<html><body>\n";
    page.reserve(size + 200);
    for (int i = 0; page.size() < size; ++i) {
        page += "<p>Line " + QByteArray::number(i) + " <a href=\"dir/page" +
                QByteArray::number(i % 5000) + ".html\">a link</a> and some text to read.</p>\n";
    }
    return page;
}

int serve(qint64 size) {
    TestHttpServer server;
    TestHttpServer::Response response;
    response.headers = {{"Content-Type", "text/html; charset=utf-8"}};
    response.body = multiLinePage(size);
    server.setResponse("/big/index.html", response);
    for (const int megabytes : {1, 10, 50}) {
        response.body = "<a href=\"" + QByteArray(megabytes * 1000 * 1000, 'x');
        server.setResponse(QStringLiteral("/line%1/index.html").arg(megabytes), response);
    }
    std::printf("%u\n", server.port());
    std::fflush(stdout);
    return QCoreApplication::exec();
}

struct Load {
    double seconds = 0;
    double longestGapMs = 0;
};

// Enter in the address box, until the fetch handler has returned and the source box has drawn.
Load load(TarvellMain& window, const QString& url, const std::function<void()>& during = {}) {
    window.addressBox()->setText(url);
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer watchdog;
    watchdog.setTimerType(Qt::PreciseTimer);
    watchdog.setInterval(1);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = qMax(longestGap, now - lastTick);
        lastTick = now;
    });
    if (during)
        QTimer::singleShot(300, during);
    clock.start();
    watchdog.start();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window.addressBox(), &enter);
    while (window.isLoadingPage())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (window.isVisible())
        window.sourceBox()->repaint();
    Load result;
    result.seconds = double(clock.nsecsElapsed()) / 1e9;
    longestGap = qMax(longestGap, clock.nsecsElapsed() - lastTick);
    result.longestGapMs = double(longestGap) / 1e6;
    return result;
}

} // namespace

int main(int argc, char* argv[]) {
    // As the program does.
    reuseFreedPageMemory();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 2 && QByteArray(argv[1]) == "--serve")
        return serve(QByteArray(argv[2]).toLongLong() * kMiB);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200;

    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--serve"), QString::number(megabytes)});
    if (!server.waitForReadyRead(300000)) {
        std::fprintf(stderr, "the server did not start\n");
        return 1;
    }
    const QString base =
        QStringLiteral("http://127.0.0.1:%1").arg(server.readLine().trimmed().toInt());

    QString error;
    if (!registerControlLibraryForTests(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    MessageRecorder boxes;
    {
        TarvellMain window;
        window.load();
        window.transfer()->setStallTimeout(120000);
        Inet::setMaxDocumentSize(qint64(1024) * kMiB);
        // A small page first, so that what is set up once counts as idle.
        load(window, base + "/line1/index.html");
        const bool peakKnown = resetPeak();
        const qint64 idle = statusKiB(peakKnown ? "VmHWM:" : "VmRSS:");
        const Load big = load(window, base + "/big/index.html");
        const double peakMiB = double(statusKiB("VmHWM:") - idle) / 1024.0;
        std::printf("multi-line page of %lld MiB: shown with its %d links in %.2f s\n",
                    static_cast<long long>(megabytes), window.linkList()->count(), big.seconds);
        std::printf("  peak memory above idle: %.0f MiB = %.2f x the page (goal at most 4 x the "
                    "page plus 64 MiB = %lld MiB)\n",
                    peakMiB, peakMiB / double(megabytes),
                    static_cast<long long>(4 * megabytes + 64));
        // Idle includes what the heap keeps for pages, backed from the start.
        std::printf("  idle %.0f MiB, peak %.0f MiB\n", double(idle) / 1024.0,
                    double(statusKiB("VmHWM:")) / 1024.0);
        std::printf("  longest stretch without events: %.1f ms (goal under 100 ms)\n",
                    big.longestGapMs);
    }
    for (const int line : {1, 10, 50}) {
        TarvellMain window;
        window.load();
        window.transfer()->setStallTimeout(120000);
        const Load shown = load(window, base + QStringLiteral("/line%1/index.html").arg(line));
        QElapsedTimer asked;
        const Load closed =
            load(window, base + QStringLiteral("/line%1/index.html").arg(line), [&] {
                asked.start();
                window.close();
            });
        std::printf("one line of %d MB: shown in %.2f s, longest stretch without events %.0f ms; "
                    "a close asked for while it loads is answered after %.2f s\n",
                    line, shown.seconds, shown.longestGapMs,
                    asked.isValid() ? double(asked.elapsed()) / 1000.0 : -1.0);
        Q_UNUSED(closed);
    }
    if (!boxes.messages.isEmpty())
        std::printf("messages: %s\n", qPrintable(boxes.texts().join(" | ")));
    server.kill();
    server.waitForFinished();
    return 0;
}
