// Decoding any fetched document. Input: the Content-Type header, a line feed, the body. No
// body byte becomes more than one character, and the same bytes always give the same text,
// however they come: in pieces of any size, into slices of any size. The
// meta search reads nothing past its reach: handed a copy of exactly the reach, in a block of
// its own that the sanitizer guards to the byte, it finds what it finds in the whole body, and
// whatever follows the reach never changes its answer, which is an encoding a meta may declare.

#include "fuzzcheck.h"
#include "logic/documentdecoding.h"
#include "logic/metaprescan.h"

#include <QByteArray>

#include <algorithm>
#include <memory>

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
    // Sizes from the body's first bytes, so that the fuzzer steers them too.
    const qsizetype slice = body.isEmpty() ? 1 : 1 + static_cast<unsigned char>(body[0]) % 23;
    const qsizetype piece = body.size() < 2 ? 1 : 1 + static_cast<unsigned char>(body[1]) % 31;
    DocumentDecoder inPieces(contentType, -1, slice);
    for (qsizetype at = 0; at < body.size(); at += piece)
        inPieces.feed(body.sliced(at, std::min(piece, body.size() - at)));
    FUZZ_CHECK(inPieces.finish() == text);

    const qsizetype reach = std::min(body.size(), metaSearchReach);
    const std::unique_ptr<char[]> exactReach(new char[std::size_t(reach)]);
    std::copy_n(body.data(), reach, exactReach.get());
    const QByteArray encoding = encodingOfFirstMeta(QByteArrayView(exactReach.get(), reach));
    FUZZ_CHECK(encodingOfFirstMeta(body) == encoding);
    // Spaces before the reach change nothing but make it end where the reach ends; then a ">",
    // the byte likeliest to finish a meta the reach cut off, and the body once more.
    const QByteArray endingAtTheReach =
        QByteArray(metaSearchReach - reach, ' ') + body.first(reach).toByteArray();
    FUZZ_CHECK(encodingOfFirstMeta(endingAtTheReach + '>' + again) == encoding);
    FUZZ_CHECK(encoding.isEmpty() || encodingForLabel(encoding) == encoding);
    FUZZ_CHECK(encoding != "UTF-16LE" && encoding != "UTF-16BE" && encoding != "x-user-defined");
    return 0;
}
