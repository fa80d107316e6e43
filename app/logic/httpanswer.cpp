#include "logic/httpanswer.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("HttpAnswer", text);
}

bool isDigits(QByteArrayView text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A length of up to 18 digits, which no document reaches; anything else is no length.
qint64 lengthOf(QByteArrayView text) {
    if (!isDigits(text) || text.size() > 18)
        return -1;
    qint64 value = 0;
    for (const char c : text)
        value = value * 10 + (c - '0');
    return value;
}

} // namespace

qsizetype HttpAnswer::feed(QByteArrayView bytes, const BodyOutput& output) {
    qsizetype taken = 0;
    while (taken < bytes.size()) {
        qsizetype used = 0;
        switch (m_stage) {
        case Stage::Head:
            readHead(bytes.sliced(taken), &used);
            taken += used;
            if (m_stage != Stage::Head)
                return taken; // the caller looks at the headers before any body byte
            break;
        case Stage::Body:
            if (!readBody(bytes.sliced(taken), &used, output))
                return taken + used;
            taken += used;
            break;
        case Stage::Done:
        case Stage::Failed:
            return taken;
        }
    }
    return taken;
}

void HttpAnswer::connectionEnded() {
    switch (m_stage) {
    case Stage::Head:
        fail(m_statusRead || m_headSize > 0 || !m_line.isEmpty()
                 ? tr("The connection was closed before the answer's headers were complete.")
                 : tr("The connection was closed before any answer came."));
        break;
    case Stage::Body:
        if (m_framing == Framing::UntilClose)
            m_stage = Stage::Done;
        else
            fail(tr("The connection was closed before the document was complete."));
        break;
    case Stage::Done:
    case Stage::Failed:
        break;
    }
}

QByteArray HttpAnswer::header(QByteArrayView name) const {
    for (const auto& [key, value] : m_headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

bool HttpAnswer::takeLine(QByteArrayView bytes, qsizetype* taken, qsizetype limit,
                          QByteArray* line) {
    const qsizetype end = bytes.indexOf('\n');
    const qsizetype length = end < 0 ? bytes.size() : end;
    if (m_line.size() + length > limit) {
        *taken = qMin(bytes.size(), limit - m_line.size() + 1);
        fail(tr("The server sent a line longer than any answer has."));
        return false;
    }
    if (end < 0) {
        m_line.append(bytes);
        *taken = bytes.size();
        return false;
    }
    *line = m_line + bytes.first(end).toByteArray();
    m_line.clear();
    if (line->endsWith('\r'))
        line->chop(1);
    *taken = end + 1;
    return true;
}

bool HttpAnswer::readHead(QByteArrayView bytes, qsizetype* taken) {
    *taken = 0;
    while (*taken < bytes.size()) {
        qsizetype used = 0;
        QByteArray line;
        // What an unfinished line holds is counted in the head's size already.
        const bool complete =
            takeLine(bytes.sliced(*taken), &used, largestHead - m_headSize + m_line.size(), &line);
        *taken += used;
        m_headSize += used;
        if (m_stage == Stage::Failed) {
            m_error = tr("The server sent more than %1 bytes of headers.").arg(largestHead);
            return false;
        }
        if (!complete)
            return true;
        if (!m_statusRead) {
            if (line.isEmpty())
                continue; // a stray line end before the answer, as some servers send
            if (!parseStatusLine(line))
                return false;
            continue;
        }
        if (line.isEmpty()) {
            // "100 Continue" and the like come before the real answer; a server that sends
            // nothing else runs into the head's size limit.
            if (m_status >= 100 && m_status < 200 && m_status != 101) {
                m_statusRead = false;
                m_headers.clear();
                continue;
            }
            return finishHead();
        }
        if (line.front() == ' ' || line.front() == '\t') {
            // A folded line continues the header before it.
            if (!m_headers.isEmpty())
                m_headers.last().second += ' ' + line.trimmed();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue; // not a header; passed over, as browsers do
        m_headers.append({line.first(colon).trimmed(), line.sliced(colon + 1).trimmed()});
    }
    return true;
}

bool HttpAnswer::parseStatusLine(const QByteArray& line) {
    // "HTTP/1.1 200 OK": the version, three digits, and a reason that may be empty.
    const bool version = line.startsWith("HTTP/1.") && line.size() >= 12 && line.at(8) == ' ';
    const QByteArrayView code = version ? QByteArrayView(line).sliced(9, 3) : QByteArrayView();
    if (!version || !isDigits(code) || (line.size() > 12 && line.at(12) != ' '))
        return fail(tr("The server's answer does not begin with an HTTP status line."));
    m_status = int(lengthOf(code));
    m_reason = line.sliced(qMin<qsizetype>(13, line.size())).trimmed();
    m_statusRead = true;
    return true;
}

bool HttpAnswer::finishHead() {
    if (m_status == 101)
        return fail(tr("The server switched to another protocol."));
    if (m_status < 200 || m_status == 204 || m_status == 304) {
        m_framing = Framing::None; // these never have a body, whatever the headers say
        m_stage = Stage::Done;
        return true;
    }
    QByteArrayList codings;
    bool lengthGiven = false;
    qint64 length = -1;
    for (const auto& [name, value] : m_headers) {
        if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0) {
            for (const QByteArray& coding : value.split(',')) {
                if (!coding.trimmed().isEmpty())
                    codings << coding.trimmed().toLower();
            }
        } else if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
            // "5, 5" and repeated headers are one length; two different ones are none we could
            // trust.
            for (const QByteArray& part : value.split(',')) {
                const qint64 given = lengthOf(part.trimmed());
                if (given < 0 || (lengthGiven && given != length))
                    return fail(tr("The server announced the document's length in a way that "
                                   "cannot be trusted."));
                length = given;
                lengthGiven = true;
            }
        }
    }
    if (!codings.isEmpty()) {
        // The chunks say where the body ends; a length beside them means nothing.
        if (codings != QByteArrayList{"chunked"})
            return fail(tr("The server sent the document in a transfer coding (%1) that cannot "
                           "be undone.")
                            .arg(QString::fromLatin1(codings.join(", "))));
        m_framing = Framing::Chunked;
        m_chunkPart = ChunkPart::Size;
    } else if (lengthGiven) {
        m_framing = Framing::Length;
        m_contentLength = length;
        m_left = length;
    } else {
        m_framing = Framing::UntilClose;
    }
    m_stage = m_framing == Framing::Length && m_left == 0 ? Stage::Done : Stage::Body;
    return true;
}

bool HttpAnswer::readBody(QByteArrayView bytes, qsizetype* taken, const BodyOutput& output) {
    switch (m_framing) {
    case Framing::Length: {
        const qsizetype size = qsizetype(qMin<qint64>(m_left, bytes.size()));
        *taken = size;
        m_left -= size;
        if (!hand(bytes.first(size), output))
            return false;
        if (m_left == 0)
            m_stage = Stage::Done;
        return true;
    }
    case Framing::UntilClose:
        *taken = bytes.size();
        return hand(bytes, output);
    case Framing::Chunked:
        return readChunked(bytes, taken, output);
    case Framing::None:
        break;
    }
    *taken = 0;
    return true;
}

bool HttpAnswer::readChunked(QByteArrayView bytes, qsizetype* taken, const BodyOutput& output) {
    *taken = 0;
    while (*taken < bytes.size() && m_stage == Stage::Body) {
        const QByteArrayView rest = bytes.sliced(*taken);
        qsizetype used = 0;
        QByteArray line;
        switch (m_chunkPart) {
        case ChunkPart::Size: {
            const bool complete = takeLine(rest, &used, largestChunkLine, &line);
            *taken += used;
            if (!complete)
                return m_stage != Stage::Failed;
            // "1a2b;name=value": the size in hexadecimal, then extensions nobody needs.
            const qsizetype end = line.indexOf(';');
            const QByteArray digits = (end < 0 ? line : line.first(end)).trimmed();
            bool ok = !digits.isEmpty() && digits.size() <= 15;
            const qint64 size = ok ? digits.toLongLong(&ok, 16) : 0;
            if (!ok || size < 0 || digits.startsWith('+') || digits.startsWith('-'))
                return fail(tr("The server's chunks of the document are garbled."));
            m_left = size;
            m_chunkPart = size == 0 ? ChunkPart::Trailer : ChunkPart::Data;
            break;
        }
        case ChunkPart::Data: {
            const qsizetype size = qsizetype(qMin<qint64>(m_left, rest.size()));
            *taken += size;
            m_left -= size;
            if (!hand(rest.first(size), output))
                return false;
            if (m_left == 0)
                m_chunkPart = ChunkPart::DataEnd;
            break;
        }
        case ChunkPart::DataEnd: {
            const bool complete = takeLine(rest, &used, largestChunkLine, &line);
            *taken += used;
            if (!complete)
                return m_stage != Stage::Failed;
            if (!line.isEmpty())
                return fail(tr("The server's chunks of the document are garbled."));
            m_chunkPart = ChunkPart::Size;
            break;
        }
        case ChunkPart::Trailer: {
            // Fields after the last chunk count against the same bound as the head.
            const bool complete =
                takeLine(rest, &used, largestHead - m_headSize + m_line.size(), &line);
            *taken += used;
            m_headSize += used;
            if (!complete)
                return m_stage != Stage::Failed;
            if (line.isEmpty())
                m_stage = Stage::Done;
            break;
        }
        }
    }
    return m_stage != Stage::Failed;
}

bool HttpAnswer::hand(QByteArrayView bytes, const BodyOutput& output) {
    if (bytes.isEmpty())
        return true;
    m_bodyBytes += bytes.size();
    return output(bytes);
}

bool HttpAnswer::fail(const QString& error) {
    m_stage = Stage::Failed;
    m_error = error;
    return false;
}
