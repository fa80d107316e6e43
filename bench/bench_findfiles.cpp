// Opening the file finder on a big page: "Find Files" clicked to the window shown with its list
// filled and painted, for a page with 50,000 distinct file references (and 50,000 repeats of
// them), as a ratio to the bare file-reference scan of the same text in the same run; and the
// longest stretch in which the main window could not react while the list loaded.
//
//   scripts/bench            (or: build/release/bin/bench_findfiles)

#include "findfiles/findfiles.h"
#include "logic/programstate.h"
#include "logic/referencescanner.h"
#include "main/tarvellmain.h"
#include "support/controlregistration.h"
#include "support/messagerecorder.h"
#include "widgets/checklist.h"
#include "widgets/sourcebox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kFiles = 50000;
constexpr int kRuns = 3;

// Every file twice, in two halves, between lines of running text, CR LF as the source box has it.
QString pageWithFiles() {
    static const char* const extensions[] = {"jpg", "gif", "zip", "exe", "mp3", "txt", "doc"};
    QString page = QStringLiteral("<html><body>\r\n");
    for (int copy = 0; copy < 2; ++copy) {
        for (int i = 0; i < kFiles; ++i) {
            page += QStringLiteral("<p>Item %1: <a href=\"files/f%1.%2\">file</a> text</p>\r\n")
                        .arg(i)
                        .arg(QLatin1String(extensions[i % 7]));
        }
    }
    page += QStringLiteral("</body></html>\r\n");
    return page;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QString error;
    if (!registerControlLibraryForTests(&error)) {
        std::printf("cannot register the control library: %s\n", qPrintable(error));
        return 1;
    }
    MessageRecorder boxes;
    TarvellMain window;
    window.load();
    const QString page = pageWithFiles();
    window.sourceBox()->setSourceText(page);
    Program::BaseURL = QStringLiteral("http://127.0.0.1/dir/");

    double scanMs = 1e300;
    qsizetype found = 0;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        found = scanFileReferences(window.sourceBox()->sourceText(), Program::BaseURL).size();
        scanMs = std::min(scanMs, timer.nsecsElapsed() / 1e6);
    }

    double openMs = 1e300;
    qint64 longestGapNs = 0;
    int listed = 0;
    for (int run = 0; run < kRuns; ++run) {
        // A 1 ms timer that measures how long the event loop was away between its ticks.
        QElapsedTimer sinceTick;
        QTimer watchdog;
        watchdog.setInterval(1);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            longestGapNs = std::max(longestGapNs, sinceTick.nsecsElapsed());
            sinceTick.restart();
        });
        QElapsedTimer timer;
        timer.start();
        sinceTick.start();
        watchdog.start();
        window.findFilesButton().click();
        auto* finder = window.findChild<FindFiles*>();
        if (!finder || !finder->isVisible()) {
            std::printf("the file finder did not open\n");
            return 1;
        }
        finder->repaint();
        openMs = std::min(openMs, timer.nsecsElapsed() / 1e6);
        watchdog.stop();
        listed = finder->entryList()->count();
        delete finder;
    }

    std::printf("Page of %.1f M characters, %lld file references, %d distinct\n", page.size() / 1e6,
                static_cast<long long>(found), kFiles);
    std::printf("  bare file-reference scan:                 %8.2f ms\n", scanMs);
    std::printf("  Find Files to the finder shown and painted: %8.2f ms, %d entries listed\n",
                openMs, listed);
    std::printf("  ratio opening / bare scan:                %8.2fx\n", openMs / scanMs);
    std::printf("  longest stretch without events while it opened: %.2f ms (%s 100 ms)\n",
                longestGapNs / 1e6, longestGapNs < 100 * 1000 * 1000 ? "under" : "NOT under");
    return 0;
}
