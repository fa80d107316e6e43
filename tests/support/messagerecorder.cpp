#include "support/messagerecorder.h"

MessageRecorder::MessageRecorder() {
    MessageBox::setMessageHandler([this](const MessageRequest& request) {
        messages.append(request);
        if (whileShown)
            whileShown();
        if (!answers.isEmpty())
            return answers.dequeue();
        return request.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    });
    MessageBox::setInputHandler([this](const InputRequest& request) {
        inputs.append(request);
        if (!inputAnswers.isEmpty())
            return inputAnswers.dequeue();
        return InputAnswer{false, QString()};
    });
}

MessageRecorder::~MessageRecorder() {
    MessageBox::setMessageHandler({});
    MessageBox::setInputHandler({});
}

QStringList MessageRecorder::texts() const {
    QStringList result;
    for (const MessageRequest& m : messages)
        result << m.text;
    return result;
}

QString MessageRecorder::lastText() const {
    return messages.isEmpty() ? QString() : messages.last().text;
}
