// The whole road of a page: from Enter in the address box to the link list filled, for a
// 12 MB page with 120,000 links served on 127.0.0.1, as a ratio to curl fetching the same
// page in the same run; "Take out HTML" on that page through its button until the box shows the
// stripped text, with the longest stretch the window could not react; how long a 1 MB page that is
// one single line takes to show; and the 12 MB page's road with the editor looking for line ends
// byte by byte and eight bytes at a time.
//
//   scripts/bench            (or: build/release/bin/bench_fetchroad)

#include "logic/pagememory.h"
#include "main/tarvellmain.h"
#include "support/controlregistration.h"
#include "support/messagerecorder.h"
#include "support/testhttpserver.h"
#include "widgets/sourcebox.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray pageWithLinks(int links, qsizetype targetSize) {
    QByteArray page = "<html><head><title>links</title></head><body>\n";
    const qsizetype perLink = targetSize / links;
    for (int i = 0; i < links; ++i) {
        QByteArray line = "<a href=\"dir" + QByteArray::number(i % 97) + "/page" +
                          QByteArray::number(i) + ".html\">link " + QByteArray::number(i) + "</a> ";
        if (line.size() < perLink)
            line += QByteArray(perLink - line.size() - 1, 'w') + "\n";
        page += line;
    }
    page += "</body></html>\n";
    return page;
}

double curlSeconds(const QString& url) {
    QTemporaryDir dir;
    QProcess curl;
    QEventLoop loop;
    QObject::connect(&curl, &QProcess::finished, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    curl.start("curl", {"-s", "-o", dir.filePath("page.html"), url});
    loop.exec();
    return timer.nsecsElapsed() / 1e9;
}

// The longest stretch during which the window could not react, from start() to stop(): the
// widest gap between two ticks of a 0 ms timer, the last gap counted at stop().
class FrozenStretches {
public:
    FrozenStretches() {
        QObject::connect(&m_ticker, &QTimer::timeout, [this] { tick(); });
    }
    void start() {
        m_longest = 0;
        m_sinceTick.start();
        m_ticker.start(0);
    }
    double stopMs() {
        tick();
        m_ticker.stop();
        return m_longest / 1e6;
    }

private:
    void tick() {
        m_longest = std::max(m_longest, m_sinceTick.nsecsElapsed());
        m_sinceTick.restart();
    }
    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
    qint64 m_longest = 0;
};

// The longest frozen stretch of the last road, and how many times the system had to give the
// program memory it had not touched before (each costs far more than writing the memory).
double lastLongestStretch = 0;
long lastPageFaults = 0;

long pageFaultsSoFar() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double roadSeconds(TarvellMain& window, const QString& url) {
    window.addressBox()->setText(url);
    FrozenStretches stretches;
    const long faultsBefore = pageFaultsSoFar();
    QElapsedTimer timer;
    timer.start();
    stretches.start();
    QTest::keyClick(window.addressBox(), Qt::Key_Return);
    while (window.isLoadingPage())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // Drawing is part of showing: render the source box once, as the screen would.
    window.sourceBox()->grab();
    const double seconds = timer.nsecsElapsed() / 1e9;
    lastLongestStretch = stretches.stopMs();
    lastPageFaults = pageFaultsSoFar() - faultsBefore;
    // The colouring that goes on in idle time is not part of the road; finished before the
    // next measurement, it does not slow down the server curl is measured against.
    QElapsedTimer idle;
    idle.start();
    while (window.sourceBox()->SendScintilla(QsciScintillaBase::SCI_GETENDSTYLED) <
               window.sourceBox()->SendScintilla(QsciScintillaBase::SCI_GETLENGTH) &&
           idle.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return seconds;
}

} // namespace

int main(int argc, char* argv[]) {
    // As the program does.
    reuseFreedPageMemory();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // "--road N": only the 12 MB page, N times, for a profiler.
    const int roadOnly =
        argc > 2 && QByteArray(argv[1]) == "--road" ? QByteArray(argv[2]).toInt() : 0;
    QApplication app(argc, argv);
    QString error;
    if (!registerControlLibraryForTests(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    MessageRecorder boxes;
    TestHttpServer server;
    const QByteArray big = pageWithLinks(120000, 12 * 1024 * 1024);
    TestHttpServer::Response response;
    response.headers = {{"Content-Type", "text/html; charset=utf-8"}};
    response.body = big;
    server.setResponse("/big/index.html", response);
    response.body = QByteArray(1024 * 1024, 'x');
    response.body.replace(0, 9, "<a href=\"");
    server.setResponse("/line/index.html", response);

    TarvellMain window;
    window.load();

    std::printf("page: %.1f MB, 120000 links\n", big.size() / 1048576.0);
    if (roadOnly > 0) {
        for (int run = 1; run <= roadOnly; ++run) {
            const double seconds = roadSeconds(window, server.url("/big/index.html"));
            std::printf("road %.3f s, %ld page faults\n", seconds, lastPageFaults);
        }
        return 0;
    }
    // Run 1 is the first page after start.
    std::vector<double> ratios;
    for (int run = 1; run <= 5; ++run) {
        const double curl = curlSeconds(server.url("/big/index.html"));
        const double road = roadSeconds(window, server.url("/big/index.html"));
        ratios.push_back(road / curl);
        std::printf("run %d: Enter to link list %.3f s (%d entries), curl %.3f s, ratio %.1fx, "
                    "longest frozen stretch %.1f ms, %ld page faults\n",
                    run, road, window.linkList()->count(), curl, road / curl, lastLongestStretch,
                    lastPageFaults);
    }
    std::sort(ratios.begin() + 1, ratios.end());
    std::printf("first page %.2fx curl; later pages median %.2fx (%.2f to %.2f)\n", ratios[0],
                (ratios[2] + ratios[3]) / 2, ratios[1], ratios[4]);
    for (int run = 1; run <= 3; ++run) {
        const double curl = curlSeconds(server.url("/line/index.html"));
        const double road = roadSeconds(window, server.url("/line/index.html"));
        std::printf("1 MB single-line page: shown in %.3f s, curl %.3f s, ratio %.1fx\n", road,
                    curl, road / curl);
    }
    // "Take out HTML" on the big page through its button, with the longest stretch during
    // which the window could not react (the gap between two ticks of a 0 ms timer).
    roadSeconds(window, server.url("/big/index.html"));
    FrozenStretches stretches;
    stretches.start();
    QElapsedTimer strip;
    strip.start();
    QSignalSpy stripped(window.sourceBox(), &SourceBox::textSet);
    window.takeOutHtmlButton().click();
    if (stripped.isEmpty())
        stripped.wait(60000);
    const double stripSeconds = strip.nsecsElapsed() / 1e9;
    std::printf("Take out HTML on the 12 MB page: %.3f s, longest frozen stretch %.1f ms\n",
                stripSeconds, stretches.stopMs());

    // The editor's second change, which looks for line ends eight bytes at a time: the road of
    // the 12 MB page with the editor looking at every byte (it does while this is set, reading
    // it at each insertion) and without, in turns, five times each.
    constexpr char bytewiseLineEnds[] = "TARVELL_EDITOR_BYTEWISE_LINE_ENDS";
    std::vector<double> everyByte;
    std::vector<double> eightAtATime;
    for (int run = 0; run < 5; ++run) {
        qputenv(bytewiseLineEnds, "1");
        everyByte.push_back(roadSeconds(window, server.url("/big/index.html")));
        qunsetenv(bytewiseLineEnds);
        eightAtATime.push_back(roadSeconds(window, server.url("/big/index.html")));
    }
    std::sort(everyByte.begin(), everyByte.end());
    std::sort(eightAtATime.begin(), eightAtATime.end());
    std::printf("Enter to link list, line ends looked for byte by byte: %.3f s (%.3f to %.3f), "
                "eight at a time: %.3f s (%.3f to %.3f), ratio %.2fx (medians of 5 in turns)\n",
                everyByte[2], everyByte.front(), everyByte.back(), eightAtATime[2],
                eightAtATime.front(), eightAtATime.back(), eightAtATime[2] / everyByte[2]);

    if (!boxes.messages.isEmpty())
        std::printf("unexpected message: %s\n", qPrintable(boxes.messages.first().text));
    return 0;
}
