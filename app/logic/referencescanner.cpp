#include "logic/referencescanner.h"

#include "logic/duplicateremoval.h"
#include "logic/linkresolution.h"
#include "logic/pagetuning.h"
#include "logic/trimspaces.h"

#include <QSet>
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

namespace {

// Where the candidate that ends with the dot at `dot` begins: just after the nearest "=" or
// double quote before it, or -1 when that is too far back. Nothing further back than the length
// limit can make an acceptable candidate, and the character at firstEquals is a delimiter, so
// every walk ends in this window.
qsizetype delimiterBefore(QStringView view, qsizetype dot, qsizetype firstEquals) {
    const qsizetype nearest = std::max(firstEquals, dot - kCandidateLengthLimit + 1);
    for (qsizetype j = dot - 1; j >= nearest; --j) {
        if (isDelimiter(view[j]))
            return j;
    }
    return -1;
}

void walk(const QString& source, const QStringList& extensions, const ReferenceVisitor& take) {
    const QStringView view(source);
    const qsizetype firstEquals = view.indexOf(QLatin1Char('='));
    if (firstEquals < 0) {
        return;
    }
    // One pass over the dots finds the occurrences of every extension (each starts with a
    // dot); they are then taken extension by extension, each in text order, just as one
    // search per extension would find them, at a seventh of the reading.
    QVector<QVector<qsizetype>> occurrences(extensions.size());
    // Occurrences before the first "=" yield nothing, so the search can start there.
    // The character after the dot is compared before the whole extension: most dots are
    // followed by none that an extension begins with. Every extension is a dot and at least
    // one character, so a dot at the very end begins none.
    for (qsizetype dot = view.indexOf(QLatin1Char('.'), firstEquals); dot >= 0;
         dot = view.indexOf(QLatin1Char('.'), dot + 1)) {
        const QStringView rest = view.sliced(dot);
        if (rest.size() < 2)
            break;
        for (qsizetype k = 0; k < extensions.size(); ++k) {
            const QString& extension = extensions[k];
            if (extension[1] == rest[1] && rest.startsWith(extension))
                occurrences[k].append(dot);
        }
    }
    for (qsizetype k = 0; k < extensions.size(); ++k) {
        for (const qsizetype dot : std::as_const(occurrences[k])) {
            const qsizetype delimiter = delimiterBefore(view, dot, firstEquals);
            if (delimiter >= 0)
                take(extensions[k], dot, view.sliced(delimiter + 1, dot - delimiter));
        }
    }
}

} // namespace

void walkReferences(const QString& source, const QStringList& extensions,
                    const ReferenceVisitor& take) {
    walk(source, extensions, take);
}

namespace {

// Room for an entry per hundred characters of text, up to a bound: growing a set of a hundred
// thousand entries step by step costs more than filling it. Counting the references instead
// would be one more pass over the whole page.
void reserveForReferences(QSet<QString>& listed, QStringList& entries, QStringView text) {
    constexpr qsizetype bound = qsizetype(1) << 18;
    const qsizetype room = std::min(text.size() / 100, bound);
    listed.reserve(room);
    entries.reserve(room);
}

// Adds an entry unless the list has it already; one look-up for both.
void appendOnce(QStringList& entries, QSet<QString>& listed, QString&& entry) {
    const qsizetype before = listed.size();
    listed.insert(entry);
    if (listed.size() != before)
        entries.append(std::move(entry));
}

} // namespace

namespace {

// Repeats are told apart a batch at a time.
constexpr qsizetype kLinksPerBatch = PageTuning::kLinksPerBatch;
constexpr qsizetype kCharactersPerBatch = PageTuning::kLinkCharactersPerBatch;

QStringList pageLinks(const QString& text) {
    // Each link is written out while its characters are at hand, with its hash; repeats are
    // told apart once a batch is complete, by sorting the hashes, and the first copies move
    // into the list. A page of endless copies of a few links never holds more than a batch.
    QStringList found;
    QList<quint32> hashes;
    qsizetype foundCharacters = 0;
    QStringList links;
    // The links of earlier batches, seen in the list itself; wanted from the second batch on.
    QSet<QStringView> listed;
    bool laterBatch = false;
    found.reserve(std::min(text.size() / 100, kLinksPerBatch));
    hashes.reserve(found.capacity());
    const auto listBatch = [&found, &hashes, &foundCharacters, &links, &listed, &laterBatch] {
        if (laterBatch && listed.isEmpty()) {
            for (const QString& link : std::as_const(links))
                listed.insert(link);
        }
        const QList<QStringView> views(found.cbegin(), found.cend());
        for (const qsizetype i : firstCopies(views, hashes)) {
            if (laterBatch && listed.contains(views[i]))
                continue;
            // Moved, its characters stay where views[i] sees them.
            links.append(std::move(found[i]));
            if (laterBatch)
                listed.insert(links.constLast());
        }
        found.clear();
        hashes.clear();
        foundCharacters = 0;
        laterBatch = true;
    };
    const auto take = [&text, &found, &hashes, &foundCharacters, &listBatch](
                          const QString& extension, qsizetype dotIndex, QStringView candidate) {
        const QStringView trimmed = trimSpaces(candidate);
        if (trimmed.isEmpty() || (trimmed.size() == 1 && trimmed[0] == QLatin1Char('.'))) {
            return;
        }
        // ".htm" is the start of ".html": such an occurrence is left to the ".html" pass.
        const qsizetype afterExtension = dotIndex + extension.size();
        if (extension.size() == 4 && extension == QLatin1String(".htm") &&
            afterExtension < text.size() && text[afterExtension].toLower() == QLatin1Char('l')) {
            return;
        }
        const QStringView suffix = QStringView(extension).sliced(1);
        QString link;
        if (candidate.contains(QLatin1Char('%'))) {
            QString reference = candidate.toString();
            reference.replace(QLatin1String("%3a"), QLatin1String(":"));
            reference.replace(QLatin1String("%2f"), QLatin1String("/"));
            link = trimSpaces(reference);
            link.append(suffix);
        } else {
            // Built once, at its final size: a page may hold a hundred thousand links.
            link.reserve(trimmed.size() + suffix.size());
            link.append(trimmed);
            link.append(suffix);
        }
        hashes.append(entryHash(link));
        foundCharacters += link.size();
        found.append(std::move(link));
        if (found.size() == kLinksPerBatch || foundCharacters >= kCharactersPerBatch)
            listBatch();
    };
    walk(text, pageLinkExtensions(), take);
    listBatch();
    return links;
}

} // namespace

QStringList scanPageLinks(const QString& source) {
    return pageLinks(source);
}

QStringList scanFileReferences(const QString& source, const QString& baseUrl) {
    QStringList addresses;
    QSet<QString> listed;
    reserveForReferences(listed, addresses, source);
    const auto take = [&baseUrl, &addresses, &listed](const QString& extension, qsizetype,
                                                      QStringView candidate) {
        // The prefix and address tests look at the candidate before its spaces are removed.
        const QString reference = withoutLinkPrefix(candidate.toString());
        const QStringView trimmed = trimSpaces(QStringView(reference));
        const QStringView suffix = QStringView(extension).sliced(1);
        const bool address = isAbsoluteAddress(reference);
        QString entry;
        entry.reserve((address ? 0 : baseUrl.size()) + trimmed.size() + suffix.size());
        if (!address)
            entry.append(baseUrl);
        entry.append(trimmed);
        entry.append(suffix);
        appendOnce(addresses, listed, std::move(entry));
    };
    walkReferences(source, fileExtensions(), take);
    return addresses;
}
