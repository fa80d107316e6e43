// Find and replace on any texts. Input: the find text, NUL, the replacement, NUL, the source.
// Find Next, clicked until it finds nothing, stops exactly where the source matches the find
// text ignoring case, nowhere else; Replace All does what QString::replace does, and grows the
// source by the difference of the two texts once per occurrence.

#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "logic/textsearch.h"

#include <algorithm>
#include <string>

namespace {

// Case ignored the way the source box's search means it: each character lowered on its own,
// keeping its length (İ, whose full lower case is two characters, lowers to "i").
std::u16string loweredByCharacter(const QString& text) {
    std::u16string lowered;
    lowered.reserve(size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text[i];
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t character = QChar::surrogateToUcs4(unit, text[i + 1]);
            char32_t lower = QChar::toLower(character);
            if (!QChar::requiresSurrogates(lower))
                lower = character;
            lowered += QChar::highSurrogate(lower);
            lowered += QChar::lowSurrogate(lower);
            ++i;
        } else if (unit.unicode() == 0x0130) {
            lowered += u'i';
        } else {
            lowered += unit.toLower().unicode();
        }
    }
    return lowered;
}

qsizetype occurrences(const QString& source, const QString& find) {
    qsizetype count = 0;
    for (qsizetype at = source.indexOf(find); at >= 0; at = source.indexOf(find, at + find.size()))
        ++count;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QStringList fields = fieldsOf(textFromBytes(data, size), 3);
    const QString& find = fields[0];
    const QString& with = fields[1];
    const QString& source = fields[2];

    const std::u16string haystack = loweredByCharacter(source);
    const std::u16string needle = loweredByCharacter(find);
    // A caret before the text searches from its start.
    qsizetype selectionStart = -with.size();
    qsizetype selectionLength = 0;
    for (;;) {
        const std::optional<qsizetype> match =
            findNextMatch(source, find, selectionStart, selectionLength);
        const qsizetype from = std::max<qsizetype>(selectionStart, 0) + (selectionLength ? 1 : 0);
        const size_t expected =
            find.isEmpty() ? std::u16string::npos : haystack.find(needle, size_t(from));
        if (!match) {
            FUZZ_CHECK(expected == std::u16string::npos);
            break;
        }
        FUZZ_CHECK(*match >= from && *match + find.size() <= source.size());
        FUZZ_CHECK(haystack.compare(size_t(*match), needle.size(), needle) == 0);
        FUZZ_CHECK(size_t(*match) == expected);
        // The next click starts from the match it selected.
        selectionStart = *match;
        selectionLength = find.size();
    }

    const QString replaced = replaceAllOccurrences(source, find, with);
    if (find.isEmpty()) {
        // QString::replace would put the replacement between every two characters.
        FUZZ_CHECK(replaced == source);
    } else {
        FUZZ_CHECK(replaced == QString(source).replace(find, with, Qt::CaseSensitive));
        FUZZ_CHECK(replaced.size() ==
                   source.size() + occurrences(source, find) * (with.size() - find.size()));
    }
    FUZZ_CHECK(replaceAllOccurrences(source, find, find) == source);
    return 0;
}
