#pragma once
// Stands in for the message and input boxes while it lives: records every box and answers
// it from a queue (OK, or Yes for a question, when the queue is empty).

#include "widgets/messagebox.h"

#include <QList>
#include <QQueue>

class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QList<MessageRequest> messages;
    QList<InputRequest> inputs;
    QQueue<MessageAnswer> answers;
    QQueue<InputAnswer> inputAnswers;
    // Runs inside the box, as a user's action while it is open would.
    std::function<void()> whileShown;

    QStringList texts() const;
    // The latest box's text, or nothing when no box came: a missing box fails the row that
    // expects it, rather than the whole suite.
    QString lastText() const;
};
