// Showing pages in the source box: the first paint after a page is set, and a keystroke in it,
// for a page that is one line of 1 MB and of 10 MB (a minified page) and a 12 MB page of many
// lines (well formed, and malformed with binary bytes). Each is measured for a plain editor
// with default settings (no highlighting) and for the box (highlighting on), and each twice:
// with the editor measuring text through the toolkit's full layout, as the packaged editor
// does (in a second run of this program), and with the quick measuring of this build. Medians
// of three, a 400 x 150 box in the program's own font. Then the 12 MB page of many lines taken
// with the editor looking for line ends byte by byte and eight bytes at a time.
//
//   build/release/bin/bench_sourcebox [--line-ends]

#include "logic/pagememory.h"
#include "widgets/sourcebox.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProcess>
#include <QTextStream>

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

// Set in the second run: the editor then measures every run through the toolkit's layout.
constexpr char ToolkitLayout[] = "TARVELL_EDITOR_TOOLKIT_LAYOUT";

struct PageFigures {
    Figures plain;
    Figures box;
};

// The same pages measured by this program run again with the toolkit's layout, read from the
// lines it prints: "figures <plain paint> <box paint> <plain key> <box key>".
std::vector<PageFigures> measuredWithToolkitLayout(const QString& program) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(ToolkitLayout), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, {});
    child.waitForFinished(-1);
    std::vector<PageFigures> figures;
    QTextStream lines(child.readAllStandardOutput());
    for (QString line = lines.readLine(); !line.isNull(); line = lines.readLine()) {
        const QStringList fields = line.split(QLatin1Char(' '));
        if (fields.size() == 5 && fields[0] == QLatin1String("figures"))
            figures.push_back({{fields[1].toDouble(), fields[3].toDouble()},
                               {fields[2].toDouble(), fields[4].toDouble()}});
    }
    return figures;
}

// The editor's second change, which looks for line ends eight bytes at a time: a page of many
// lines set into the box with the editor looking at every byte (it does while this is set,
// reading it at each insertion) and without, in turns, seven times each.
constexpr char BytewiseLineEnds[] = "TARVELL_EDITOR_BYTEWISE_LINE_ENDS";

void printLineEndFigures(const char* name, const QString& page) {
    SourceBox box;
    box.resize(400, 150);
    std::vector<double> everyByte;
    std::vector<double> eightAtATime;
    for (int run = 0; run < 7; ++run) {
        for (const bool bytewise : {true, false}) {
            if (bytewise)
                qputenv(BytewiseLineEnds, "1");
            else
                qunsetenv(BytewiseLineEnds);
            box.setSourceText(QString());
            QElapsedTimer clock;
            clock.start();
            box.setSourceText(page);
            (bytewise ? everyByte : eightAtATime).push_back(double(clock.nsecsElapsed()) / 1e9);
        }
    }
    qunsetenv(BytewiseLineEnds);
    std::printf("\ntaking the page (s), medians of 7 in turns    line ends: every byte / eight at "
                "a time    eight vs every\n%-22s %30.4f / %6.4f %14.2fx\n",
                name, median(everyByte), median(eightAtATime),
                median(eightAtATime) / median(everyByte));
}

} // namespace

int main(int argc, char* argv[]) {
    // As the program does.
    reuseFreedPageMemory();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The font the main window's form gives the box.
    QFont formFont(QStringLiteral("Arial"));
    formFont.setPointSizeF(8.25);
    QApplication::setFont(formFont);
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
    // "--line-ends": only the line ends, which take seconds where the rest takes minutes.
    if (argc > 1 && QByteArray(argv[1]) == "--line-ends") {
        printLineEndFigures(pages[2].name, pages[2].text);
        return 0;
    }
    const bool inSecondRun = !qEnvironmentVariableIsEmpty(ToolkitLayout);
    std::vector<PageFigures> quick;
    for (const Page& page : pages) {
        const QByteArray utf8 = page.text.toUtf8();
        PageFigures figures;
        figures.plain = measure(
            [] {
                auto* box = new QsciScintilla;
                box->setUtf8(true);
                return box;
            },
            [&utf8](QsciScintilla* box) {
                box->SendScintilla(QsciScintillaBase::SCI_SETTEXT, utf8.constData());
            });
        figures.box = measure([] { return new SourceBox; },
                              [&page](QsciScintilla* box) {
                                  static_cast<SourceBox*>(box)->setSourceText(page.text);
                              });
        if (inSecondRun)
            std::printf("figures %.4f %.4f %.4f %.4f\n", figures.plain.paint, figures.box.paint,
                        figures.plain.keystroke, figures.box.keystroke);
        quick.push_back(figures);
    }
    if (inSecondRun)
        return 0;

    const std::vector<PageFigures> toolkit =
        measuredWithToolkitLayout(QCoreApplication::applicationFilePath());
    if (toolkit.size() != pages.size()) {
        std::fprintf(stderr, "the run with the toolkit's layout gave no figures\n");
        return 1;
    }
    const auto table = [&](const char* what, double Figures::*figure) {
        std::printf("\n%s (s)    toolkit layout: plain / box    quick: plain / box    box: quick "
                    "vs toolkit, highlighting on vs off\n",
                    what);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            const PageFigures& before = toolkit[i];
            const PageFigures& now = quick[i];
            std::printf("%-22s %9.3f / %6.3f %12.3f / %6.3f %12.2fx %10.2fx\n", pages[i].name,
                        before.plain.*figure, before.box.*figure, now.plain.*figure,
                        now.box.*figure, now.box.*figure / before.box.*figure,
                        now.box.*figure / now.plain.*figure);
        }
    };
    table("first paint", &Figures::paint);
    table("keystroke", &Figures::keystroke);
    printLineEndFigures(pages[2].name, pages[2].text);
    return 0;
}
