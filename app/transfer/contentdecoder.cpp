#include "transfer/contentdecoder.h"

#include <QCoreApplication>

#include <zlib.h>

namespace {

// Unpacked bytes go out in pieces of this size.
constexpr int outputPiece = 64 * 1024;

QString tr(const char* text) {
    return QCoreApplication::translate("ContentDecoder", text);
}

} // namespace

struct ContentDecoder::Stream {
    z_stream z{};
    bool open = false;
    QByteArray out = QByteArray(outputPiece, Qt::Uninitialized);

    ~Stream() {
        if (open)
            inflateEnd(&z);
    }
};

ContentDecoder::ContentDecoder(QByteArrayView codings)
    : m_codings(codings.trimmed().toByteArray().toLower()) {
    if (m_codings.isEmpty() || m_codings == "identity")
        m_coding = Coding::Identity;
    else if (m_codings == "gzip" || m_codings == "x-gzip")
        m_coding = Coding::Gzip;
    else if (m_codings == "deflate")
        m_coding = Coding::Deflate;
    else
        m_coding = Coding::Unknown;
}

ContentDecoder::~ContentDecoder() = default;

QString ContentDecoder::refusal() const {
    if (m_coding != Coding::Unknown)
        return {};
    return tr("The server packed the document as \"%1\", which cannot be unpacked here.")
        .arg(QString::fromLatin1(m_codings));
}

bool ContentDecoder::isComplete() const {
    // A coded answer without a single byte is an empty document, as browsers take it.
    return m_coding == Coding::Identity || m_ended || (!m_stream && m_head.isEmpty());
}

bool ContentDecoder::start(QByteArrayView firstBytes) {
    m_stream = std::make_unique<Stream>();
    int windowBits = 16 + MAX_WBITS; // gzip, with its header, checksum and length
    if (m_coding == Coding::Deflate) {
        // "deflate" is a zlib stream, but many servers send the bare deflate data instead;
        // browsers take both, told apart by the zlib header's check.
        const auto b0 = uchar(firstBytes.at(0));
        const auto b1 = uchar(firstBytes.at(1));
        const bool zlibHeader = (b0 & 0x0F) == Z_DEFLATED && ((b0 << 8) | b1) % 31 == 0;
        windowBits = zlibHeader ? MAX_WBITS : -MAX_WBITS;
    }
    if (inflateInit2(&m_stream->z, windowBits) != Z_OK) {
        m_error = tr("There was no memory to unpack the document.");
        return false;
    }
    m_stream->open = true;
    return true;
}

bool ContentDecoder::feed(QByteArrayView packed, const Output& output) {
    if (m_coding == Coding::Identity)
        return packed.isEmpty() || output(packed);
    if (m_coding == Coding::Unknown) {
        m_error = refusal();
        return false;
    }
    if (m_passingOver)
        return true;
    QByteArray joined;
    if (!m_stream) {
        // The deflate check needs two bytes.
        if (m_coding == Coding::Deflate && m_head.size() + packed.size() < 2) {
            m_head.append(packed);
            return true;
        }
        joined = m_head + packed.toByteArray();
        m_head.clear();
        packed = joined;
        if (!start(packed))
            return false;
    }

    z_stream& z = m_stream->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = uInt(packed.size());
    while (z.avail_in > 0) {
        if (m_ended) {
            // Bytes after the end: another gzip member follows, or the rest is padding that
            // browsers pass over too, all of it, however it arrives.
            if (m_coding != Coding::Gzip || *z.next_in != 0x1F) {
                m_passingOver = true;
                return true;
            }
            inflateReset(&z);
            m_ended = false;
        }
        z.next_out = reinterpret_cast<Bytef*>(m_stream->out.data());
        z.avail_out = uInt(m_stream->out.size());
        const int status = inflate(&z, Z_NO_FLUSH);
        const auto produced = qsizetype(m_stream->out.size() - z.avail_out);
        if (produced > 0 && !output(QByteArrayView(m_stream->out.constData(), produced)))
            return false;
        if (status == Z_STREAM_END) {
            m_ended = true;
        } else if (status == Z_BUF_ERROR) {
            if (produced == 0)
                break; // wants more input
        } else if (status != Z_OK) {
            m_error = tr("The packed document is damaged (%1).")
                          .arg(QString::fromLatin1(z.msg ? z.msg : "unreadable data"));
            return false;
        }
    }
    // What inflate still holds back after the input is used up comes out with the next bytes;
    // flush it now so the sink sees everything that arrived.
    while (!m_ended) {
        z.next_out = reinterpret_cast<Bytef*>(m_stream->out.data());
        z.avail_out = uInt(m_stream->out.size());
        const int status = inflate(&z, Z_SYNC_FLUSH);
        const auto produced = qsizetype(m_stream->out.size() - z.avail_out);
        if (produced > 0 && !output(QByteArrayView(m_stream->out.constData(), produced)))
            return false;
        if (status == Z_STREAM_END)
            m_ended = true;
        else if (status != Z_OK || produced == 0)
            break;
    }
    return true;
}
