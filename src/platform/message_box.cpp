#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/message_wait.h"

namespace platform {

namespace {
MessageAnswerer& Answerer() {
    static MessageAnswerer answerer;
    return answerer;
}
}  // namespace

MessageAnswer ShowMessageBox(const std::string& caption, const std::string& text,
                             MessageButtons buttons) {
    // Once the window has gone for good nobody is there to answer; a box now would only
    // keep the program alive.
    if (MessageWaitsEnded()) return UnansweredReply(buttons);
    if (Answerer()) return Answerer()(caption, text, buttons);
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(caption));
    // Texts come from language files and from outside; markup in them is shown as it is.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(text));
    if (buttons == MessageButtons::YesNo) {
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    if (buttons == MessageButtons::OkCancel) {
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

void ShowMessage(const std::string& text) {
    ShowMessageBox(QCoreApplication::applicationName().toStdString(), text, MessageButtons::Ok);
}

MessageAnswerer SetMessageAnswerer(MessageAnswerer answerer) {
    MessageAnswerer previous = std::move(Answerer());
    Answerer() = std::move(answerer);
    return previous;
}

}  // namespace platform
