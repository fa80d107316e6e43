// The text logic on big pages: FixCode, the page-link and the file-reference scans on a 12 MB
// page with 120,000 links (and on 1/4 and 1/2 of it, to show the growth is linear), Find Next
// through every match and Replace All on the same page, and tag removal on a 12 MB page with
// 500,000 tags as a ratio to sed doing the same cut on the same file in this run.
//
//   scripts/bench
//   or: cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVELL_BUILD_BENCH=ON
//       && cmake --build build/release --target bench_textlogic -j2
//       && build/release/bin/bench_textlogic

#include "logic/duplicateremoval.h"
#include "logic/fixcode.h"
#include "logic/referencescanner.h"
#include "logic/tagstripper.h"
#include "logic/textsearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr qsizetype kPageSize = 12 * 1000 * 1000;
constexpr int kLinks = 120000;
constexpr int kTags = 500000;
constexpr int kRuns = 3;

// Lines of about 100 characters, each with one page link (the seven page extensions in turn),
// every fourth with a picture too, LF line ends as a server sends them.
QString pageWithLinks() {
    static const char* const extensions[] = {"htm", "html", "shtml", "js", "css", "cgi", "pl"};
    const qsizetype perLine = kPageSize / kLinks;
    QString page;
    page.reserve(kPageSize + 200);
    for (int i = 0; i < kLinks; ++i) {
        QString line = QStringLiteral("<li><a href=\"dir%1/page%2.%3\">Link %2</a>")
                           .arg(i % 97)
                           .arg(i)
                           .arg(QLatin1String(extensions[i % 7]));
        if (i % 4 == 0) {
            line += QStringLiteral("<img src=\"pics/p%1.gif\">").arg(i);
        }
        line += QString(std::max<qsizetype>(perLine - line.size() - 1, 0), QLatin1Char('w'));
        line += QLatin1Char('\n');
        page += line;
    }
    return page;
}

// Table cells of 48 characters holding two tags each, CR LF line ends as the source box has them.
QString pageWithTags() {
    QString page;
    page.reserve(kPageSize + 100);
    for (int i = 0; i < kTags / 2; ++i) {
        page += QStringLiteral("<td class=\"c\">cell %1 -- text is here</td>\r\n")
                    .arg(i % 100000, 6, 10, QLatin1Char('0'));
    }
    return page;
}

// Best of several runs, in milliseconds.
double bestMs(const std::function<void()>& prepare, const std::function<void()>& work) {
    double best = 1e300;
    for (int run = 0; run < kRuns; ++run) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

double megabytes(qsizetype characters) {
    return characters / 1e6;
}

void printRate(const char* what, qsizetype characters, double ms, double baselineMs) {
    std::printf("  %-34s %8.1f MB %9.2f ms %9.1f MB/s %8.1fx copy\n", what, megabytes(characters),
                ms, megabytes(characters) / (ms / 1000.0), ms / baselineMs);
}

void benchLinkPage() {
    const QString page = pageWithLinks();
    std::printf("Page with %d links, %.1f M characters\n", kLinks, megabytes(page.size()));
    std::printf("  (copy = copying the same text, measured alongside)\n");
    for (const qsizetype size : {page.size() / 4, page.size() / 2, page.size()}) {
        const QString part = page.left(size);
        QString work;
        const double copyMs = bestMs([] {}, [&] { work = QString(part.constData(), part.size()); });
        const double fixMs =
            bestMs([&] { work = QString(part.constData(), part.size()); }, [&] { FixCode(work); });
        QString shown = part;
        FixCode(shown);
        QStringList links;
        const double scanMs = bestMs([] {}, [&] { links = scanPageLinks(shown); });
        QStringList files;
        const double filesMs = bestMs(
            [] {}, [&] { files = scanFileReferences(shown, QStringLiteral("http://127.0.0.1/")); });
        QStringList unique;
        const double dedupeMs = bestMs([] {}, [&] { unique = withoutDuplicates(links + links); });
        std::printf(" %lld characters:\n", static_cast<long long>(size));
        printRate("copy", size, copyMs, copyMs);
        printRate("FixCode", size, fixMs, copyMs);
        printRate(qPrintable(QStringLiteral("page-link scan (%1 links)").arg(links.size())),
                  shown.size(), scanMs, copyMs);
        printRate(qPrintable(QStringLiteral("file scan (%1 files)").arg(files.size())),
                  shown.size(), filesMs, copyMs);
        std::printf("  %-34s %8.2fx\n", "file scan / page-link scan", filesMs / scanMs);
        std::printf("  %-34s %8d entries %6.2f ms\n", "duplicate removal (each twice)",
                    int(links.size() * 2), dedupeMs);
    }

    QString shown = page;
    FixCode(shown);
    const QString needle = QStringLiteral("HREF");
    int matches = 0;
    const double findMs = bestMs([&] { matches = 0; },
                                 [&] {
                                     qsizetype start = 0;
                                     qsizetype length = 0;
                                     while (const std::optional<qsizetype> match =
                                                findNextMatch(shown, needle, start, length)) {
                                         start = *match;
                                         length = needle.size();
                                         ++matches;
                                     }
                                 });
    int qtMatches = 0;
    const double qtFindMs =
        bestMs([&] { qtMatches = 0; },
               [&] {
                   for (qsizetype at = shown.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
                        at = shown.indexOf(needle, at + 1, Qt::CaseInsensitive)) {
                       ++qtMatches;
                   }
               });
    std::printf(" Find Next through every \"%s\" (%d matches): %.2f ms; QString::indexOf "
                "ignoring case, same walk (%d matches): %.2f ms; ratio %.2fx\n",
                qPrintable(needle), matches, findMs, qtMatches, qtFindMs, findMs / qtFindMs);

    QString replaced;
    const double replaceMs = bestMs([] {},
                                    [&] {
                                        replaced = replaceAllOccurrences(
                                            shown, QStringLiteral("href"), QStringLiteral("HREF"));
                                    });
    QString qtReplaced;
    const double qtReplaceMs =
        bestMs([&] { qtReplaced = shown; },
               [&] { qtReplaced.replace(QStringLiteral("href"), QStringLiteral("HREF")); });
    std::printf(" Replace All \"href\" -> \"HREF\": %.2f ms; QString::replace: %.2f ms; ratio "
                "%.2fx; same text: %s\n",
                replaceMs, qtReplaceMs, replaceMs / qtReplaceMs,
                replaced == qtReplaced ? "yes" : "NO");
}

void benchTagPage() {
    const QString page = pageWithTags();
    std::printf("\nPage with %d tags, %.1f M characters\n", kTags, megabytes(page.size()));

    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("tags.html"));
    const QString output = dir.filePath(QStringLiteral("stripped.txt"));
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly) || file.write(page.toUtf8()) < 0) {
        std::printf("  cannot write %s\n", qPrintable(input));
        return;
    }
    file.close();

    const QByteArray sed = QStringLiteral("LC_ALL=C sed -e 's/<[^>]*>//g' '%1' > '%2'")
                               .arg(input, output)
                               .toLocal8Bit();
    int sedStatus = 0;
    const double sedMs = bestMs([] {}, [&] { sedStatus = std::system(sed.constData()); });

    QString stripped;
    const double stripMs = bestMs([] {}, [&] { stripped = takeOutHtml(page); });

    std::printf("  takeOutHtml: %.2f ms (%.1f MB/s), %lld characters left\n", stripMs,
                megabytes(page.size()) / (stripMs / 1000.0),
                static_cast<long long>(stripped.size()));
    std::printf("  sed -e 's/<[^>]*>//g' (C locale, file to file, same run): %.2f ms%s\n", sedMs,
                sedStatus == 0 ? "" : " (sed failed)");
    std::printf("  ratio takeOutHtml / sed: %.2fx\n", stripMs / sedMs);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    benchLinkPage();
    benchTagPage();
    return 0;
}
