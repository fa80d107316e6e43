#pragma once

#include <QString>

#include <stdexcept>

// Why a transfer did not deliver the whole document, as its result carries it. The callers only
// need to know that it failed; the kind lets a caller (or a test) tell a cancel or a closed window
// apart from a network fault without parsing the message.
class TransferFailure : public std::runtime_error {
public:
    enum class Kind {
        BadAddress,   // empty, malformed or a scheme other than http and https
        HostNotFound, // the name could not be resolved
        Network,      // refused, dropped, reset, TLS trouble: the peer could not be read to the end
        Stalled,      // nothing arrived for the stall timeout
        HttpStatus,   // the answer's status says it is not the whole document (404, 304, 206...)
        ShortBody,    // fewer bytes than announced, or a packed body without its end
        Coding,       // a packed body that is damaged, or packed in a way that cannot be undone
        Redirect,     // a loop, a downgrade to http, another scheme, or no address to go to
        TooLarge,     // the document exceeds the largest accepted size
        Cancelled,    // cancel() was called while the transfer or the page load ran
        Abandoned,    // given up on from outside before it ended
        Busy,         // asked of a component still busy with another transfer
        Write,        // the document could not be written where it was to go
    };

    TransferFailure(Kind kind, const QString& message)
        : std::runtime_error(message.toStdString())
        , m_kind(kind)
        , m_message(message) {}

    [[nodiscard]] Kind kind() const { return m_kind; }
    [[nodiscard]] QString message() const { return m_message; }

private:
    Kind m_kind;
    QString m_message;
};
