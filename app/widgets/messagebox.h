#pragma once
// Message and input boxes. Every message box of the program carries the title "Orvane".
// The boxes go through one replaceable handler so that tests can see each box and answer it.

#include <QString>

#include <functional>

class QWidget;

enum class MessageIcon { None, Question, Stop };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest {
    QString text;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    QString title;
};

struct InputRequest {
    QString prompt;
    QString title;
    QString proposed;
};

// What an input box returns: the typed text, or nothing when it was cancelled.
struct InputAnswer {
    bool accepted = false;
    QString text;
};

class MessageBox {
public:
    static constexpr const char* Title = "Orvane";

    static MessageAnswer show(QWidget* owner, const QString& text, MessageButtons buttons,
                              MessageIcon icon);
    static InputAnswer input(QWidget* owner, const QString& prompt, const QString& title,
                             const QString& proposed);

    // Tests install handlers that record and answer boxes instead of showing them.
    using MessageHandler = std::function<MessageAnswer(const MessageRequest&)>;
    using InputHandler = std::function<InputAnswer(const InputRequest&)>;
    static void setMessageHandler(MessageHandler handler);
    static void setInputHandler(InputHandler handler);

    // The text as a box shows it: a lone CR breaks the line, as the program's texts use it.
    static QString displayText(const QString& text);
};
