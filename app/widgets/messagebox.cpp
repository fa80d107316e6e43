#include "widgets/messagebox.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>

namespace {

MessageBox::MessageHandler& messageHandler() {
    static MessageBox::MessageHandler handler;
    return handler;
}

MessageBox::InputHandler& inputHandler() {
    static MessageBox::InputHandler handler;
    return handler;
}

} // namespace

MessageAnswer MessageBox::show(QWidget* owner, const QString& text, MessageButtons buttons,
                               MessageIcon icon) {
    if (messageHandler())
        return messageHandler()({text, buttons, icon, QString::fromLatin1(Title)});

    QMessageBox box(owner);
    box.setWindowTitle(QString::fromLatin1(Title));
    box.setText(displayText(text));
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageIcon::Stop:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        // A question asks before something is replaced or started: a box sent away with Escape
        // or its close button is no consent to that.
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

InputAnswer MessageBox::input(QWidget* owner, const QString& prompt, const QString& title,
                              const QString& proposed) {
    if (inputHandler())
        return inputHandler()({prompt, title, proposed});
    bool ok = false;
    const QString text =
        QInputDialog::getText(owner, title, prompt, QLineEdit::Normal, proposed, &ok);
    return {ok, ok ? text : QString()};
}

void MessageBox::setMessageHandler(MessageHandler handler) {
    messageHandler() = std::move(handler);
}

void MessageBox::setInputHandler(InputHandler handler) {
    inputHandler() = std::move(handler);
}

QString MessageBox::displayText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}
