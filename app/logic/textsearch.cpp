#include "logic/textsearch.h"

#include <algorithm>
#include <vector>

namespace {

// The lower case of the unit at index, taken from the whole character it belongs to. A surrogate
// pair is lowered as one character, and a character always lowers to one of the same length
// (U+0130 lowers to two characters in full case mapping), so no position in the text moves.
char16_t lowerUnitAt(const QChar* text, qsizetype size, qsizetype index) {
    const QChar unit = text[index];
    if (unit.isHighSurrogate() && index + 1 < size && text[index + 1].isLowSurrogate()) {
        const char32_t lower = QChar::toLower(QChar::surrogateToUcs4(unit, text[index + 1]));
        return QChar::requiresSurrogates(lower) ? QChar::highSurrogate(lower) : unit.unicode();
    }
    if (unit.isLowSurrogate() && index > 0 && text[index - 1].isHighSurrogate()) {
        const char32_t lower = QChar::toLower(QChar::surrogateToUcs4(text[index - 1], unit));
        return QChar::requiresSurrogates(lower) ? QChar::lowSurrogate(lower) : unit.unicode();
    }
    // Qt keeps a character whose lower case is longer than itself as it is. U+0130 is the only
    // one that always lowers so; its one-character lower case is "i", as everywhere else.
    if (unit.unicode() == 0x0130) {
        return u'i';
    }
    return unit.toLower().unicode();
}

std::u16string lowerUnits(const QString& text) {
    std::u16string lowered(static_cast<size_t>(text.size()), u'\0');
    for (qsizetype i = 0; i < text.size(); ++i) {
        lowered[static_cast<size_t>(i)] = lowerUnitAt(text.constData(), text.size(), i);
    }
    return lowered;
}

// Knuth-Morris-Pratt: the search never steps back in the text, so a search costs the length of
// the text it passes plus the needle, whatever the needle looks like ("aaa...ab" included).
std::vector<qsizetype> borderTable(const std::u16string& needle) {
    std::vector<qsizetype> border(needle.size(), 0);
    qsizetype matched = 0;
    for (size_t i = 1; i < needle.size(); ++i) {
        while (matched > 0 && needle[i] != needle[static_cast<size_t>(matched)]) {
            matched = border[static_cast<size_t>(matched - 1)];
        }
        if (needle[i] == needle[static_cast<size_t>(matched)]) {
            ++matched;
        }
        border[i] = matched;
    }
    return border;
}

// Start of the first occurrence of needle that begins at from or later, where unitAt(i) gives
// the unit of the searched text at index i; -1 when there is none.
template <typename UnitAt>
qsizetype findFrom(qsizetype size, UnitAt unitAt, const std::u16string& needle,
                   const std::vector<qsizetype>& border, qsizetype from) {
    const auto needleSize = static_cast<qsizetype>(needle.size());
    qsizetype matched = 0;
    for (qsizetype i = from; i < size; ++i) {
        if (size - i < needleSize - matched) {
            return -1;
        }
        const char16_t unit = unitAt(i);
        while (matched > 0 && unit != needle[static_cast<size_t>(matched)]) {
            matched = border[static_cast<size_t>(matched - 1)];
        }
        if (unit == needle[static_cast<size_t>(matched)]) {
            ++matched;
        }
        if (matched == needleSize) {
            return i - needleSize + 1;
        }
    }
    return -1;
}

} // namespace

std::optional<qsizetype> findNextMatch(const QString& source, const QString& needle,
                                       qsizetype selectionStart, qsizetype selectionLength) {
    if (source.isEmpty() || needle.isEmpty()) {
        return std::nullopt;
    }
    const qsizetype from = std::max<qsizetype>(selectionStart, 0) + (selectionLength > 0 ? 1 : 0);
    if (from > source.size() - needle.size()) {
        return std::nullopt;
    }
    const std::u16string loweredNeedle = lowerUnits(needle);
    const std::vector<qsizetype> border = borderTable(loweredNeedle);
    const QChar* const text = source.constData();
    const qsizetype size = source.size();
    const qsizetype found = findFrom(
        size, [text, size](qsizetype i) { return lowerUnitAt(text, size, i); }, loweredNeedle,
        border, from);
    if (found < 0) {
        return std::nullopt;
    }
    return found;
}

QString replaceAllOccurrences(const QString& source, const QString& find, const QString& with) {
    if (find.isEmpty()) {
        return source;
    }
    const std::u16string needle(reinterpret_cast<const char16_t*>(find.utf16()),
                                static_cast<size_t>(find.size()));
    const std::vector<qsizetype> border = borderTable(needle);
    const QChar* const text = source.constData();
    const qsizetype size = source.size();
    const auto unitAt = [text](qsizetype i) { return text[i].unicode(); };

    qsizetype copiedUpTo = 0;
    qsizetype found = findFrom(size, unitAt, needle, border, 0);
    if (found < 0) {
        return source;
    }
    QString result;
    result.reserve(size);
    while (found >= 0) {
        result.append(text + copiedUpTo, found - copiedUpTo);
        result.append(with);
        copiedUpTo = found + find.size();
        found = findFrom(size, unitAt, needle, border, copiedUpTo);
    }
    result.append(text + copiedUpTo, size - copiedUpTo);
    return result;
}

QString replaceConfirmationPrompt(const QString& find, const QString& with) {
    return QLatin1String("Are you sure you want to replace all the \"") + find +
           QLatin1String("\"'s with \"") + with + QLatin1String("\"'s?");
}
