#include "referencescanner.h"

#include "scan/linkresolution.h"
#include "scan/pacedsearch.h"
#include "scan/trimspaces.h"

#include <QVector>

#include <algorithm>

namespace {

const QStringList& pageLinkExtensions() {
    static const QStringList extensions{QStringLiteral(".htm"),   QStringLiteral(".html"),
                                        QStringLiteral(".shtml"), QStringLiteral(".js"),
                                        QStringLiteral(".css"),   QStringLiteral(".cgi"),
                                        QStringLiteral(".pl")};
    return extensions;
}

const QStringList& fileExtensions() {
    static const QStringList extensions{
        QStringLiteral(".jpg"), QStringLiteral(".gif"), QStringLiteral(".mid"),
        QStringLiteral(".zip"), QStringLiteral(".exe"), QStringLiteral(".wav"),
        QStringLiteral(".txt"), QStringLiteral(".mp3"), QStringLiteral(".class"),
        QStringLiteral(".ico"), QStringLiteral(".vbx"), QStringLiteral(".ocx"),
        QStringLiteral(".bmp"), QStringLiteral(".hlp"), QStringLiteral(".java"),
        QStringLiteral(".doc"), QStringLiteral(".bas"), QStringLiteral(".rar")};
    return extensions;
}

bool isDelimiter(QChar c) {
    return c == QLatin1Char('=') || c == QLatin1Char('"');
}

} // namespace

void walkReferences(const QString& source, const QStringList& extensions,
                    const ReferenceVisitor& take, const std::function<void()>& letEventsRun) {
    // Events run between occurrences and may set the caller's text anew; this reference keeps
    // the text the walk started on alive and unchanged.
    const QString text = source; // NOLINT(performance-unnecessary-copy-initialization)
    const QStringView view(text);
    const qsizetype firstEquals = view.indexOf(QLatin1Char('='));
    if (firstEquals < 0) {
        return;
    }
    // One pass over the dots finds the occurrences of every extension (each starts with a
    // dot); they are then taken extension by extension, each in text order, just as one
    // search per extension would find them, at a seventh of the reading.
    QVector<QVector<qsizetype>> occurrences(extensions.size());
    PacedSearch dots(view, letEventsRun);
    // Occurrences before the first "=" yield nothing, so the search can start there.
    for (qsizetype dot = dots.indexOf(QLatin1Char('.'), firstEquals); dot >= 0;
         dot = dots.indexOf(QLatin1Char('.'), dot + 1)) {
        const QStringView rest = view.sliced(dot);
        for (qsizetype k = 0; k < extensions.size(); ++k) {
            if (rest.startsWith(extensions[k]))
                occurrences[k].append(dot);
        }
    }
    for (qsizetype k = 0; k < extensions.size(); ++k) {
        for (const qsizetype dot : std::as_const(occurrences[k])) {
            // Nothing further back than the length limit can make an acceptable candidate, and
            // the character at firstEquals is a delimiter, so every walk ends in this window.
            const qsizetype lowest = std::max(firstEquals, dot - (kCandidateLengthLimit - 1));
            for (qsizetype j = dot - 1; j >= lowest; --j) {
                if (isDelimiter(view[j])) {
                    take(extensions[k], dot, view.sliced(j + 1, dot - j));
                    break;
                }
            }
            dots.letEventsRun();
        }
    }
}

QStringList scanPageLinks(const QString& source, const std::function<void()>& letEventsRun) {
    // The ".htm" test reads the text itself, between turns of the caller's events.
    const QString text = source; // NOLINT(performance-unnecessary-copy-initialization)
    QStringList links;
    const auto take = [&text, &links](const QString& extension, qsizetype dotIndex,
                                      QStringView candidate) {
        const QStringView trimmed = trimSpaces(candidate);
        if (trimmed.isEmpty() || trimmed == QLatin1String(".")) {
            return;
        }
        QString reference = candidate.toString();
        reference.replace(QLatin1String("%3a"), QLatin1String(":"));
        reference.replace(QLatin1String("%2f"), QLatin1String("/"));
        // ".htm" is the start of ".html": such an occurrence is left to the ".html" pass.
        const qsizetype afterExtension = dotIndex + extension.size();
        if (extension == QLatin1String(".htm") && afterExtension < text.size() &&
            text[afterExtension].toLower() == QLatin1Char('l')) {
            return;
        }
        links.append(trimSpaces(reference) + extension.mid(1));
    };
    walkReferences(text, pageLinkExtensions(), take, letEventsRun);
    return links;
}

QStringList scanFileReferences(const QString& source, const QString& baseUrl,
                               const std::function<void()>& letEventsRun) {
    // One folder for the whole list, even if events change the caller's one during the scan.
    const QString folder = baseUrl;
    QStringList addresses;
    const auto take = [&folder, &addresses](const QString& extension, qsizetype,
                                            QStringView candidate) {
        // The prefix and address tests look at the candidate before its spaces are removed.
        // The candidate's last character is the extension's dot, which is never part of the
        // "..." prefix: "...gif" names a file, not "gif".
        const QString reference =
            withoutLinkPrefix(candidate.chopped(1).toString()) + candidate.back();
        const QString entry = trimSpaces(reference) + extension.mid(1);
        addresses.append(isAbsoluteAddress(reference) ? entry : folder + entry);
    };
    walkReferences(source, fileExtensions(), take, letEventsRun);
    return addresses;
}
