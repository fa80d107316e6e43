// Reading a server's answer as it arrives. Input: the bytes of the connection. Whatever way the
// bytes are cut into pieces, the answer reads the same: stage, status, body and error; the body
// never holds more than was sent, and a body with a length that is done holds exactly that
// many bytes. A packed body unpacks the same whole and a byte at a time.

#include "fuzzcheck.h"
#include "logic/httpanswer.h"
#include "transfer/contentdecoder.h"

#include <QByteArray>

#include <cstdint>

namespace {

struct Read {
    HttpAnswer::Stage stage;
    int status;
    QByteArray body;
    QString error;
    QByteArray contentEncoding;
};

// Feeds the input in pieces of the given size, as a caller does: again after the head, and
// after the end of the answer nothing more is taken.
Read readInPieces(QByteArrayView input, qsizetype piece) {
    HttpAnswer answer;
    Read read;
    for (qsizetype at = 0; at < input.size();) {
        const QByteArrayView bytes = input.sliced(at, qMin(piece, input.size() - at));
        qsizetype used = 0;
        while (used < bytes.size() && answer.stage() != HttpAnswer::Stage::Done &&
               answer.stage() != HttpAnswer::Stage::Failed) {
            const qsizetype took = answer.feed(bytes.sliced(used), [&read](QByteArrayView body) {
                read.body.append(body);
                return true;
            });
            FUZZ_CHECK(took >= 0 && took <= bytes.size() - used);
            if (took == 0 && answer.stage() == HttpAnswer::Stage::Head)
                break;
            used += took;
        }
        at += bytes.size();
        if (answer.stage() == HttpAnswer::Stage::Done ||
            answer.stage() == HttpAnswer::Stage::Failed)
            break;
    }
    answer.connectionEnded();
    read.stage = answer.stage();
    read.status = answer.status();
    read.error = answer.error();
    read.contentEncoding = answer.header("Content-Encoding");
    FUZZ_CHECK(answer.bodyBytes() == read.body.size());
    if (read.stage == HttpAnswer::Stage::Done && answer.contentLength() >= 0)
        FUZZ_CHECK(read.body.size() == answer.contentLength());
    return read;
}

QByteArray unpacked(const QByteArray& codings, QByteArrayView packed, qsizetype piece,
                    bool* complete) {
    ContentDecoder decoder(codings);
    QByteArray out;
    bool ok = true;
    for (qsizetype at = 0; ok && at < packed.size(); at += piece) {
        ok = decoder.feed(packed.sliced(at, qMin(piece, packed.size() - at)),
                          [&out](QByteArrayView bytes) {
                              out.append(bytes);
                              return out.size() < (qsizetype(1) << 24);
                          });
    }
    *complete = ok && decoder.isComplete();
    return ok ? out : QByteArray("<failed>");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView input(data, qsizetype(size));
    const Read whole = readInPieces(input, qMax<qsizetype>(input.size(), 1));
    const Read bytewise = readInPieces(input, 1);
    FUZZ_CHECK(whole.stage == bytewise.stage);
    FUZZ_CHECK(whole.status == bytewise.status);
    FUZZ_CHECK(whole.body == bytewise.body);
    FUZZ_CHECK(whole.error == bytewise.error);
    FUZZ_CHECK(whole.body.size() <= input.size());

    if (whole.stage == HttpAnswer::Stage::Done && !whole.contentEncoding.isEmpty()) {
        bool wholeComplete = false;
        bool bytewiseComplete = false;
        const QByteArray a =
            unpacked(whole.contentEncoding, whole.body, whole.body.size() + 1, &wholeComplete);
        const QByteArray b = unpacked(whole.contentEncoding, whole.body, 1, &bytewiseComplete);
        // Cut a byte at a time, a piece may end where the output limit is reached sooner.
        if (a.size() < (qsizetype(1) << 24) && b.size() < (qsizetype(1) << 24)) {
            FUZZ_CHECK(a == b);
            FUZZ_CHECK(wholeComplete == bytewiseComplete);
        }
    }
    return 0;
}
