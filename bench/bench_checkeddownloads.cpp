// "D/L Checked" on 1,000 small files served on 127.0.0.1, from the click to the run's end, as a
// ratio to one curl fetching the same files one after another into a folder of its own, in the
// same run; both talk to the same server.
//
//   scripts/bench            (or: build/release/bin/bench_checkeddownloads)

#include "findfiles/findfiles.h"
#include "logic/programfolder.h"
#include "logic/programstate.h"
#include "main/tarvellmain.h"
#include "support/controlregistration.h"
#include "support/messagerecorder.h"
#include "support/testhttpserver.h"
#include "widgets/checklist.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kFiles = 1000;
constexpr int kFileSize = 8 * 1024;
constexpr int kRuns = 3;

QString path(int i) {
    return QStringLiteral("/files/picture%1.gif").arg(i, 4, 10, QLatin1Char('0'));
}

double curlSeconds(const TestHttpServer& server) {
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("list.txt")));
    if (!config.open(QIODevice::WriteOnly))
        return -1;
    for (int i = 0; i < kFiles; ++i) {
        config.write(QStringLiteral("url = \"%1\"\noutput = \"%2\"\n")
                         .arg(server.url(path(i)), dir.filePath(QString::number(i)))
                         .toUtf8());
    }
    config.close();
    QProcess curl;
    QEventLoop loop;
    QObject::connect(&curl, &QProcess::finished, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-s"), QStringLiteral("-K"), config.fileName()});
    loop.exec();
    return timer.nsecsElapsed() / 1e9;
}

double runSeconds(TarvellMain& window) {
    QTemporaryDir folder;
    setProgramFolder(folder.path());
    window.findFilesButton().click();
    auto* finder = window.findChild<FindFiles*>();
    QStringList entries;
    for (int i = 0; i < kFiles; ++i)
        entries << Program::BaseURL + path(i).mid(1);
    finder->entryList()->addEntries(entries);
    for (int i = 0; i < kFiles; ++i)
        finder->entryList()->setTicked(i, true);
    QElapsedTimer timer;
    timer.start();
    finder->downloadCheckedButton().click();
    while (finder->runState() != FindFiles::RunState::Idle)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const int saved = int(QDir(folder.path()).entryList(QDir::Files).size());
    delete finder;
    if (saved != kFiles)
        std::printf("  only %d of %d files were saved\n", saved, kFiles);
    return seconds;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString error;
    if (!registerControlLibraryForTests(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    MessageRecorder boxes;
    TestHttpServer server;
    TestHttpServer::Response response;
    response.headers = {{"Content-Type", "image/gif"}};
    response.body = QByteArray(kFileSize, 'g');
    for (int i = 0; i < kFiles; ++i)
        server.setResponse(path(i), response);

    TarvellMain window;
    window.load();
    Program::BaseURL = server.url(QStringLiteral("/"));

    std::printf("D/L Checked, %d files of %d KB each\n", kFiles, kFileSize / 1024);
    for (int run = 1; run <= kRuns; ++run) {
        const double curl = curlSeconds(server);
        const double checked = runSeconds(window);
        std::printf("run %d: D/L Checked %.3f s, curl one after another %.3f s, ratio %.2fx\n", run,
                    checked, curl, checked / curl);
    }
    if (boxes.messages.size() != kRuns)
        std::printf("unexpected messages: %lld\n", static_cast<long long>(boxes.messages.size()));
    return 0;
}
