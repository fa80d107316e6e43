// Decoding any fetched document. Input: the Content-Type header, a line feed, the body. No
// body byte becomes more than one character, and the same bytes always give the same text.

#include "fuzzcheck.h"
#include "scan/documentdecoding.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView input(data, qsizetype(size));
    const qsizetype lineEnd = input.indexOf('\n');
    const QByteArray contentType = lineEnd < 0 ? QByteArray() : input.first(lineEnd).toByteArray();
    const QByteArrayView body = lineEnd < 0 ? input : input.sliced(lineEnd + 1);

    const QString text = decodeDocument(body, contentType);
    FUZZ_CHECK(text.size() <= body.size());
    // A copy elsewhere in memory: nothing but the bytes themselves may count.
    const QByteArray again = body.toByteArray();
    FUZZ_CHECK(decodeDocument(again, contentType) == text);
    return 0;
}
