#include "logic/documentdecoding.h"

#include "logic/largepages.h"
#include "logic/metaprescan.h"
#include "logic/pagememory.h"
#include "logic/pagetuning.h"

#include <QHash>
#include <QList>
#include <QStringDecoder>

#include <algorithm>
#include <new>
#include <utility>

namespace {

// Every label of the web's encoding table, by the encoding it names.
const QHash<QByteArray, QByteArray>& labelTable() {
    static const QHash<QByteArray, QByteArray> table = [] {
        const QList<QPair<const char*, QList<const char*>>> encodings = {
            {"UTF-8",
             {"unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8", "utf-8", "utf8",
              "x-unicode20utf8"}},
            {"IBM866", {"866", "cp866", "csibm866", "ibm866"}},
            {"ISO-8859-2",
             {"csisolatin2", "iso-8859-2", "iso-ir-101", "iso8859-2", "iso88592", "iso_8859-2",
              "iso_8859-2:1987", "l2", "latin2"}},
            {"ISO-8859-3",
             {"csisolatin3", "iso-8859-3", "iso-ir-109", "iso8859-3", "iso88593", "iso_8859-3",
              "iso_8859-3:1988", "l3", "latin3"}},
            {"ISO-8859-4",
             {"csisolatin4", "iso-8859-4", "iso-ir-110", "iso8859-4", "iso88594", "iso_8859-4",
              "iso_8859-4:1988", "l4", "latin4"}},
            {"ISO-8859-5",
             {"csisolatincyrillic", "cyrillic", "iso-8859-5", "iso-ir-144", "iso8859-5", "iso88595",
              "iso_8859-5", "iso_8859-5:1988"}},
            {"ISO-8859-6",
             {"arabic", "asmo-708", "csiso88596e", "csiso88596i", "csisolatinarabic", "ecma-114",
              "iso-8859-6", "iso-8859-6-e", "iso-8859-6-i", "iso-ir-127", "iso8859-6", "iso88596",
              "iso_8859-6", "iso_8859-6:1987"}},
            {"ISO-8859-7",
             {"csisolatingreek", "ecma-118", "elot_928", "greek", "greek8", "iso-8859-7",
              "iso-ir-126", "iso8859-7", "iso88597", "iso_8859-7", "iso_8859-7:1987",
              "sun_eu_greek"}},
            {"ISO-8859-8",
             {"csiso88598e", "csisolatinhebrew", "hebrew", "iso-8859-8", "iso-8859-8-e",
              "iso-ir-138", "iso8859-8", "iso88598", "iso_8859-8", "iso_8859-8:1988", "visual"}},
            {"ISO-8859-8-I", {"csiso88598i", "iso-8859-8-i", "logical"}},
            {"ISO-8859-10",
             {"csisolatin6", "iso-8859-10", "iso-ir-157", "iso8859-10", "iso885910", "l6",
              "latin6"}},
            {"ISO-8859-13", {"iso-8859-13", "iso8859-13", "iso885913"}},
            {"ISO-8859-14", {"iso-8859-14", "iso8859-14", "iso885914"}},
            {"ISO-8859-15",
             {"csisolatin9", "iso-8859-15", "iso8859-15", "iso885915", "iso_8859-15", "l9"}},
            {"ISO-8859-16", {"iso-8859-16"}},
            {"KOI8-R", {"cskoi8r", "koi", "koi8", "koi8-r", "koi8_r"}},
            {"KOI8-U", {"koi8-ru", "koi8-u"}},
            {"macintosh", {"csmacintosh", "mac", "macintosh", "x-mac-roman"}},
            {"windows-874",
             {"dos-874", "iso-8859-11", "iso8859-11", "iso885911", "tis-620", "windows-874"}},
            {"windows-1250", {"cp1250", "windows-1250", "x-cp1250"}},
            {"windows-1251", {"cp1251", "windows-1251", "x-cp1251"}},
            {"windows-1252",
             {"ansi_x3.4-1968", "ascii", "cp1252", "cp819", "csisolatin1", "ibm819", "iso-8859-1",
              "iso-ir-100", "iso8859-1", "iso88591", "iso_8859-1", "iso_8859-1:1987", "l1",
              "latin1", "us-ascii", "windows-1252", "x-cp1252"}},
            {"windows-1253", {"cp1253", "windows-1253", "x-cp1253"}},
            {"windows-1254",
             {"cp1254", "csisolatin5", "iso-8859-9", "iso-ir-148", "iso8859-9", "iso88599",
              "iso_8859-9", "iso_8859-9:1989", "l5", "latin5", "windows-1254", "x-cp1254"}},
            {"windows-1255", {"cp1255", "windows-1255", "x-cp1255"}},
            {"windows-1256", {"cp1256", "windows-1256", "x-cp1256"}},
            {"windows-1257", {"cp1257", "windows-1257", "x-cp1257"}},
            {"windows-1258", {"cp1258", "windows-1258", "x-cp1258"}},
            {"x-mac-cyrillic", {"x-mac-cyrillic", "x-mac-ukrainian"}},
            {"GBK",
             {"chinese", "csgb2312", "csiso58gb231280", "gb2312", "gb_2312", "gb_2312-80", "gbk",
              "iso-ir-58", "x-gbk"}},
            {"gb18030", {"gb18030"}},
            {"Big5", {"big5", "big5-hkscs", "cn-big5", "csbig5", "x-x-big5"}},
            {"EUC-JP", {"cseucpkdfmtjapanese", "euc-jp", "x-euc-jp"}},
            {"ISO-2022-JP", {"csiso2022jp", "iso-2022-jp"}},
            {"Shift_JIS",
             {"csshiftjis", "ms932", "ms_kanji", "shift-jis", "shift_jis", "sjis", "windows-31j",
              "x-sjis"}},
            {"EUC-KR",
             {"cseuckr", "csksc56011987", "euc-kr", "iso-ir-149", "korean", "ks_c_5601-1987",
              "ks_c_5601-1989", "ksc5601", "ksc_5601", "windows-949"}},
            {"replacement",
             {"csiso2022kr", "hz-gb-2312", "iso-2022-cn", "iso-2022-cn-ext", "iso-2022-kr",
              "replacement"}},
            {"UTF-16BE", {"unicodefffe", "utf-16be"}},
            {"UTF-16LE",
             {"csunicode", "iso-10646-ucs-2", "ucs-2", "unicode", "unicodefeff", "utf-16",
              "utf-16le"}},
            {"x-user-defined", {"x-user-defined"}},
        };
        QHash<QByteArray, QByteArray> byLabel;
        for (const auto& [encoding, labels] : encodings) {
            for (const char* label : labels)
                byLabel.insert(label, encoding);
        }
        return byLabel;
    }();
    return table;
}

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// A text of the given length with room for the CR LF line ends the shown text gets (FixCode),
// which then go in where the text lies.
QString textWithRoom(qsizetype length) {
    const qsizetype capacity = length + length / PageTuning::kLineEndRoomDivisor;
    const BigBufferFromTheHeap kept(capacity * qsizetype(sizeof(QChar)));
    QString text(capacity, Qt::Uninitialized);
    text.truncate(length);
    return text;
}

// Where a piece of UTF-8 may end: before the lead byte of a sequence its end would cut.
qsizetype utf8Cut(QByteArrayView bytes) {
    const qsizetype end = bytes.size();
    for (qsizetype back = 0; back < 4 && end - back > 0; ++back) {
        const auto byte = static_cast<unsigned char>(bytes[end - back - 1]);
        if ((byte & 0xC0) != 0x80)
            return byte >= 0xC0 ? end - back - 1 : end;
    }
    return end;
}

// Where a piece of UTF-16 may end: on a whole unit, and not between the two of a pair.
qsizetype utf16Cut(QByteArrayView bytes, bool bigEndian) {
    const qsizetype end = bytes.size() & ~qsizetype(1);
    if (end < 2)
        return end;
    const auto high = static_cast<unsigned char>(bytes[end - (bigEndian ? 2 : 1)]);
    return (high & 0xFC) == 0xD8 ? end - 2 : end;
}

// The bytes of a character cut off by a slice's end number at most four; decoded with this
// many of the next slice's, they are whole again and the cut after them falls past them.
constexpr qsizetype kJoinedBytes = 8;

// Windows-1252 is decoded by table rather than by QStringDecoder: Qt knows it by name only when
// built with ICU, and the fallback must give the same characters on every platform. The five
// undefined bytes map to the C1 controls of the same value, as browsers do, so nothing is lost.
QChar* decodeWindows1252(QByteArrayView bytes, QChar* out) {
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = byte >= 0x80 && byte < 0xA0 ? QChar(high[byte - 0x80]) : QChar(byte);
    }
    return out;
}

// Bytes above 0x7F go to a private-use block, one character each, as the web defines it.
QString decodeUserDefined(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out[i] = byte < 0x80 ? QChar(byte) : QChar(char16_t(0xF780 + byte - 0x80));
    }
    return text;
}

// The name the platform's converter knows an encoding by, trying the web's own variant first
// (Big5 is Big5-HKSCS on the web, Shift_JIS is Windows-31J, EUC-KR is Windows-949); empty
// when it knows none.
QByteArray platformName(const QByteArray& encoding) {
    QList<QByteArray> names{encoding};
    if (encoding == "Big5")
        names.prepend("Big5-HKSCS");
    else if (encoding == "Shift_JIS")
        names.prepend("windows-31j");
    else if (encoding == "EUC-KR")
        names.prepend("windows-949");
    else if (encoding == "GBK")
        names.prepend("gb18030");
    else if (encoding == "ISO-8859-8-I")
        names.append("ISO-8859-8");
    for (const QByteArray& name : std::as_const(names)) {
        if (QStringDecoder(name.constData()).isValid())
            return name;
    }
    return {};
}

// The encodings decoded whole, at the end: two the web defines by rules of its own, and those
// only the platform's converters know, by the name they know them by (platformName).
QString decodeWhole(const QByteArray& encoding, QByteArrayView bytes) {
    if (encoding == "x-user-defined")
        return decodeUserDefined(bytes);
    // Encodings that were used to smuggle scripts past filters read as one replacement
    // character, as in browsers.
    if (encoding == "replacement")
        return bytes.isEmpty() ? QString() : QString(QChar::ReplacementCharacter);
    QStringDecoder decoder(encoding.constData(), QStringConverter::Flag::Stateless);
    return decoder(bytes);
}

QByteArray charsetOfContentType(const QByteArray& contentType) {
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray part = parts.at(i).trimmed();
        const qsizetype equals = part.indexOf('=');
        if (equals < 0 || part.left(equals).trimmed().toLower() != "charset")
            continue;
        QByteArray value = part.mid(equals + 1).trimmed();
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return value.trimmed();
    }
    return {};
}

} // namespace

QByteArray encodingForLabel(QByteArrayView label) {
    qsizetype begin = 0;
    qsizetype end = label.size();
    while (begin < end && isAsciiSpace(label[begin]))
        ++begin;
    while (end > begin && isAsciiSpace(label[end - 1]))
        --end;
    return labelTable().value(label.sliced(begin, end - begin).toByteArray().toLower());
}

QString decodeDocument(QByteArrayView body, const QByteArray& contentType) {
    DocumentDecoder decoder(contentType, body.size());
    decoder.feed(body);
    return decoder.finish();
}

DocumentDecoder::DocumentDecoder(QByteArray contentType, qint64 expectedLength,
                                 qsizetype sliceBytes)
    : m_contentType(std::move(contentType))
    , m_expectedLength(expectedLength)
    , m_sliceBytes(std::max<qsizetype>(sliceBytes, 1)) {}

void DocumentDecoder::feed(QByteArrayView bytes) {
    const QByteArrayView arrived = bytes;
    while (!bytes.isEmpty()) {
        if (lastSliceIsWhole()) {
            m_slices.append(QByteArray());
            m_slices.back().reserve(m_sliceBytes);
        }
        QByteArray& last = m_slices.back();
        const qsizetype taken = std::min(bytes.size(), m_sliceBytes - last.size());
        last.append(bytes.first(taken));
        bytes = bytes.sliced(taken);
    }
    took(arrived);
}

void DocumentDecoder::feedSlice(QByteArray bytes) {
    if (bytes.size() != m_sliceBytes || !lastSliceIsWhole()) {
        feed(QByteArrayView(bytes));
        return;
    }
    m_slices.append(std::move(bytes));
    took(m_slices.back());
}

bool DocumentDecoder::lastSliceIsWhole() const {
    // A slice decoded was whole, even when it was let go.
    return m_decodedSlices == m_slices.size() || m_slices.back().size() == m_sliceBytes;
}

void DocumentDecoder::took(QByteArrayView bytes) {
    if (m_way == Way::Undecided && m_head.size() < metaSearchReach)
        m_head.append(bytes.first(std::min(bytes.size(), metaSearchReach - m_head.size())));
    decideOnceTheHeadIsIn(false);
    if (m_way == Way::Undecided || m_way == Way::AtTheEnd)
        return;
    // A slice that is not whole may still grow.
    while (m_decodedSlices < m_slices.size() && m_slices.at(m_decodedSlices).size() == m_sliceBytes)
        decodeNextSlice();
}

QString DocumentDecoder::finish() {
    decideOnceTheHeadIsIn(true);
    if (m_way == Way::AtTheEnd) {
        QByteArray body;
        for (const QByteArray& slice : std::as_const(m_slices))
            body.append(slice);
        m_slices.clear();
        return decodeWhole(m_encodingAtTheEnd, body);
    }
    while (m_decodedSlices < m_slices.size())
        decodeNextSlice();
    if (!m_carried.isEmpty())
        decodePiece(std::exchange(m_carried, QByteArray()));
    m_slices.clear();
    m_text.truncate(m_length);
    return std::exchange(m_text, QString());
}

void DocumentDecoder::decideOnceTheHeadIsIn(bool everythingIsIn) {
    if (m_way != Way::Undecided || (m_head.size() < metaSearchReach && !everythingIsIn))
        return;
    const QByteArrayView head(m_head);
    const auto declares = [this](const QByteArray& encoding) {
        if (encoding == "UTF-8") {
            m_way = Way::Utf8;
        } else if (encoding == "UTF-16LE") {
            m_way = Way::Utf16LE;
        } else if (encoding == "UTF-16BE") {
            m_way = Way::Utf16BE;
        } else if (encoding == "windows-1252") {
            m_way = Way::Windows1252;
        } else if (encoding == "x-user-defined" || encoding == "replacement") {
            m_way = Way::AtTheEnd;
            m_encodingAtTheEnd = encoding;
        } else if (!encoding.isEmpty()) {
            if (QByteArray name = platformName(encoding); !name.isEmpty()) {
                m_way = Way::AtTheEnd;
                m_encodingAtTheEnd = std::move(name);
            }
        }
        return m_way != Way::Undecided;
    };
    // A byte-order mark outranks every declaration; it is not part of the text.
    if (head.startsWith("\xEF\xBB\xBF")) {
        m_way = Way::Utf8;
        m_byteOrderMark = 3;
    } else if (head.startsWith("\xFF\xFE")) {
        m_way = Way::Utf16LE;
        m_byteOrderMark = 2;
    } else if (head.startsWith("\xFE\xFF")) {
        m_way = Way::Utf16BE;
        m_byteOrderMark = 2;
    } else if (!declares(encodingForLabel(charsetOfContentType(m_contentType))) &&
               // An encoding's name is one of its own labels.
               !declares(encodingOfFirstMeta(head))) {
        m_way = Way::Utf8OrWindows1252;
    }
    m_head = QByteArray();
    if (m_expectedLength > 0 && m_way != Way::AtTheEnd) {
        // Room for the whole text at once; where even the address space is refused, it grows
        // as it is decoded.
        try {
            makeRoom(mostCharactersOf(qsizetype(m_expectedLength) - m_byteOrderMark));
        } catch (const std::bad_alloc&) {
        }
    }
}

void DocumentDecoder::decodeNextSlice() {
    QByteArray& slice = m_slices[m_decodedSlices];
    decodeSlice(slice);
    ++m_decodedSlices;
    // Only bytes that may still turn out not to be UTF-8 are needed again.
    if (m_way != Way::Utf8OrWindows1252)
        slice = QByteArray();
}

void DocumentDecoder::decodeSlice(QByteArrayView slice) {
    const qsizetype passedOver = std::min(m_byteOrderMark, slice.size());
    m_byteOrderMark -= passedOver;
    QByteArrayView rest = slice.sliced(passedOver);
    if (!m_carried.isEmpty()) {
        const QByteArray joined =
            m_carried + rest.first(std::min(rest.size(), kJoinedBytes)).toByteArray();
        const qsizetype cut = cutBeforeASplitCharacter(joined);
        if (!decodePiece(QByteArrayView(joined).first(cut)))
            return;
        if (rest.size() <= kJoinedBytes) {
            m_carried = joined.sliced(cut);
            return;
        }
        rest = rest.sliced(cut - m_carried.size());
    }
    const qsizetype cut = cutBeforeASplitCharacter(rest);
    if (!decodePiece(rest.first(cut)))
        return;
    m_carried = rest.sliced(cut).toByteArray();
}

bool DocumentDecoder::decodePiece(QByteArrayView piece) {
    makeRoom(mostCharactersOf(piece.size()));
    QChar* const at = m_text.data() + m_length;
    if (m_way == Way::Windows1252) {
        m_length = decodeWindows1252(piece, at) - m_text.constData();
        return true;
    }
    // The document's own byte-order mark was passed over already: one at the start of a piece
    // is a character of the text like any other.
    QStringDecoder decoder(m_way == Way::Utf16LE   ? QStringConverter::Utf16LE
                           : m_way == Way::Utf16BE ? QStringConverter::Utf16BE
                                                   : QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless |
                               QStringConverter::Flag::ConvertInitialBom);
    QChar* const end = decoder.appendToBuffer(at, piece);
    if (m_way == Way::Utf8OrWindows1252 && decoder.hasError()) {
        turnToWindows1252();
        return false;
    }
    m_length = end - m_text.constData();
    return true;
}

void DocumentDecoder::turnToWindows1252() {
    // Everything so far, this slice too, once more over the same text.
    m_way = Way::Windows1252;
    m_length = 0;
    m_carried.clear();
    const qsizetype slices = std::min(m_decodedSlices + 1, m_slices.size());
    for (qsizetype i = 0; i < slices; ++i)
        decodePiece(m_slices.at(i));
}

void DocumentDecoder::makeRoom(qsizetype characters) {
    if (characters <= m_text.size() - m_length)
        return;
    // Doubling keeps the copies few when the length was not known.
    QString grown = textWithRoom(std::max(m_length + characters, 2 * m_text.size()));
    adviseLargePages(grown.data(), grown.capacity() * qsizetype(sizeof(QChar)));
    std::copy_n(m_text.constData(), m_length, grown.data());
    m_text = std::move(grown);
}

qsizetype DocumentDecoder::mostCharactersOf(qsizetype bytes) const {
    // No byte becomes more than one character, nor two bytes of UTF-16 more than one.
    return m_way == Way::Utf16LE || m_way == Way::Utf16BE ? bytes / 2 + 1 : bytes;
}

qsizetype DocumentDecoder::cutBeforeASplitCharacter(QByteArrayView bytes) const {
    switch (m_way) {
    case Way::Utf8:
    case Way::Utf8OrWindows1252:
        return utf8Cut(bytes);
    case Way::Utf16LE:
        return utf16Cut(bytes, false);
    case Way::Utf16BE:
        return utf16Cut(bytes, true);
    default:
        return bytes.size();
    }
}
