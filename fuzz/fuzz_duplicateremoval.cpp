// Removing the repeats from any list (one entry a line): what is left has no repeats and is
// the first copy of each text, in the order of the list.

#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "logic/duplicateremoval.h"

#include <map>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QStringList entries = textFromBytes(data, size).split(QLatin1Char('\n'));
    const QStringList kept = withoutDuplicates(entries);
    const QList<qsizetype> positions = firstCopies(entries);

    // An ordered map rather than a hash, so that the check does not share the product's way
    // of telling texts apart.
    std::map<std::u16string, qsizetype> firstIndex;
    QStringList expected;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const std::u16string text(reinterpret_cast<const char16_t*>(entries[i].utf16()),
                                  size_t(entries[i].size()));
        if (firstIndex.emplace(text, i).second)
            expected.append(entries[i]);
    }
    FUZZ_CHECK(kept == expected);
    FUZZ_CHECK(positions.size() == kept.size());
    for (qsizetype k = 0; k < positions.size(); ++k) {
        FUZZ_CHECK(k == 0 || positions[k - 1] < positions[k]);
        FUZZ_CHECK(entries.at(positions[k]) == kept[k]);
    }
    return 0;
}
