#include "platform/messagebox.h"

#include <QLoggingCategory>

#include <cstdio>
#include <utility>

namespace kyro {

namespace {

Q_LOGGING_CATEGORY(lcMessages, "kyro.messages")

MessageHandler& Presenter() {
    static MessageHandler presenter;
    return presenter;
}

MessageHandler& Responder() {
    static MessageHandler responder;
    return responder;
}

}  // namespace

ModalResult DefaultAnswer(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok: return ModalResult::Ok;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel:
    case MessageButtons::RetryCancel: return ModalResult::Cancel;
    case MessageButtons::YesNo: return ModalResult::No;
    case MessageButtons::AbortRetryIgnore: return ModalResult::Abort;
    }
    return ModalResult::Ok;
}

ModalResult ShowMessage(const QString& text, MessageIcon icon, MessageButtons buttons) {
    const Message message{text, icon, buttons};
    if (Responder()) return Responder()(message);
    if (Presenter()) return Presenter()(message);
    qCInfo(lcMessages).noquote() << text;
    return DefaultAnswer(buttons);
}

void SetMessagePresenter(MessageHandler presenter) { Presenter() = std::move(presenter); }

MessageHandler SetMessageResponder(MessageHandler responder) {
    return std::exchange(Responder(), std::move(responder));
}

UnattendedMessages::UnattendedMessages()
    : previous_(std::exchange(Presenter(), [](const Message& message) {
          QString line = message.text;
          line.replace(QLatin1Char('\n'), QLatin1Char(' '));
          std::fprintf(stderr, "kyrotune: %s\n", line.toUtf8().constData());
          return DefaultAnswer(message.buttons);
      })) {}

UnattendedMessages::~UnattendedMessages() { Presenter() = std::move(previous_); }

}  // namespace kyro
