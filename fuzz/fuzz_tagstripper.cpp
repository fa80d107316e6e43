// Taking out the mark-up of any text: no "<" is left with a ">" anywhere after it, and the
// result is the literal rule's, cutting from the first "<" each time and then collapsing every
// three line breaks in a row into one in a single pass from the left.

#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "logic/tagstripper.h"

namespace {

QString literallyCut(QString text) {
    for (;;) {
        const qsizetype open = text.indexOf(QLatin1Char('<'));
        const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0)
            return text;
        text.remove(open, close - open + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = textFromBytes(data, size);
    const QString stripped = takeOutHtml(text);

    const qsizetype firstOpen = stripped.indexOf(QLatin1Char('<'));
    FUZZ_CHECK(firstOpen < 0 || stripped.indexOf(QLatin1Char('>'), firstOpen) < 0);
    FUZZ_CHECK(stripped.size() <= text.size());
    // QString::replace scans from the left and never looks at what it put in: a single pass.
    const QString expected =
        literallyCut(text).replace(QStringLiteral("\r\n\r\n\r\n"), QStringLiteral("\r\n"));
    FUZZ_CHECK(stripped == expected);
    return 0;
}
