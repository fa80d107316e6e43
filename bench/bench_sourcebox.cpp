// Showing pages in the source box: the first paint after a page is set, and a keystroke in it,
// for a page that is one line of 1 MB and of 10 MB (a minified page) and a 12 MB page of many
// lines (well formed, and malformed with binary bytes), each against the editor as it comes (a
// plain editor with default settings) measured in the same run. Medians of three, a 400 x 150 box.
//
//   build/release/bin/bench_sourcebox

#include "platform/sourcebox.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

QString oneLine(int megabytes) {
    QString line = QStringLiteral("<html><head><script>");
    const QString piece = QStringLiteral(
        "var a=document.getElementById(\"x\");if(a){a.innerHTML='<b>'+n+'</b>';}function "
        "f(q){return q*2+1;}<div class=\"c\"><a href=\"p.html\">link</a></div>");
    while (line.size() < megabytes * 1000 * 1000)
        line += piece;
    return line;
}

QString manyLines(int megabytes) {
    QString page = QStringLiteral("<html><body>\r\n");
    for (int i = 0; page.size() < megabytes * 1000 * 1000; ++i) {
        page += QStringLiteral("<li><a href=\"dir%1/page%2.html\">Link %2</a> <!-- note --> "
                               "<span style=\"color:red\">text</span></li>\r\n")
                    .arg(i % 97)
                    .arg(i);
    }
    return page;
}

// Unterminated comment, script and string, and bytes that are no text, over and over.
QString malformed(int megabytes) {
    QString page = QStringLiteral("<html><!-- never closed <script>var s = \"open string ");
    QString binary;
    for (int c = 1; c < 32; ++c)
        binary += QChar(c);
    binary += QChar(0xFFFD);
    while (page.size() < megabytes * 1000 * 1000)
        page += QStringLiteral("<a href=\"x\" <b <!-- ") + binary + QStringLiteral("\r\n");
    return page;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Figures {
    double paint = 0;
    double keystroke = 0;
};

Figures measure(const std::function<QsciScintilla*()>& make,
                const std::function<void(QsciScintilla*)>& set) {
    std::vector<double> paints;
    std::vector<double> keys;
    for (int run = 0; run < 3; ++run) {
        QsciScintilla* box = make();
        box->resize(400, 150);
        box->show();
        QApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        set(box);
        box->repaint();
        paints.push_back(double(clock.nsecsElapsed()) / 1e9);
        // A character typed at the end of the first line.
        box->SendScintilla(QsciScintillaBase::SCI_LINEEND);
        QApplication::processEvents();
        clock.restart();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(box, &press);
        box->repaint();
        keys.push_back(double(clock.nsecsElapsed()) / 1e9);
        delete box;
    }
    return {median(paints), median(keys)};
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    struct Page {
        const char* name;
        QString text;
    };
    const std::vector<Page> pages = {
        {"one line of 1 MB", oneLine(1)},
        {"one line of 10 MB", oneLine(10)},
        {"12 MB of many lines", manyLines(12)},
        {"12 MB malformed", malformed(12)},
    };
    std::printf("%-22s %28s %28s\n", "", "first paint (s)", "keystroke (s)");
    std::printf("%-22s %9s %9s %8s %9s %9s %8s\n", "page", "plain", "box", "ratio", "plain", "box",
                "ratio");
    for (const Page& page : pages) {
        const QByteArray utf8 = page.text.toUtf8();
        const Figures plain = measure(
            [] {
                auto* box = new QsciScintilla;
                box->setUtf8(true);
                return box;
            },
            [&utf8](QsciScintilla* box) {
                box->SendScintilla(QsciScintillaBase::SCI_SETTEXT, utf8.constData());
            });
        const Figures ours = measure([] { return new SourceBox; },
                                     [&page](QsciScintilla* box) {
                                         static_cast<SourceBox*>(box)->setSourceText(page.text);
                                     });
        std::printf("%-22s %9.3f %9.3f %7.2fx %9.3f %9.3f %7.2fx\n", page.name, plain.paint,
                    ours.paint, ours.paint / plain.paint, plain.keystroke, ours.keystroke,
                    ours.keystroke / plain.keystroke);
    }
    return 0;
}
