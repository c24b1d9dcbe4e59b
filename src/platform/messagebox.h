#pragma once
// Message boxes: every message of the program goes through ShowMessage, which shows it with
// the caption "Kyrotune LZH" and returns the button the user chose.
//
// This header needs no widgets: the window layer installs the presenter that shows a modal
// QMessageBox (InstallQtMessagePresenter), and tests install a responder that records each
// message and answers it. With neither installed a message is answered with its default button
// and written to the log, so that code without windows never blocks.

#include "platform/modalresult.h"

#include <QString>

#include <functional>

namespace kyro {

inline const char kMessageCaption[] = "Kyrotune LZH";

enum class MessageIcon { None, Stop, Exclamation, Information, Question };

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

struct Message {
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

using MessageHandler = std::function<ModalResult(const Message&)>;

ModalResult ShowMessage(const QString& text, MessageIcon icon, MessageButtons buttons = MessageButtons::Ok);

// The answer a box gives when it is closed without choosing: Cancel where there is one, else
// No, else the first button.
ModalResult DefaultAnswer(MessageButtons buttons);

// The presenter shows messages to the user (the real program's modal QMessageBox).
void SetMessagePresenter(MessageHandler presenter);

// A responder takes precedence over the presenter while it is installed (tests). Returns the
// previous responder so that scopes can nest.
MessageHandler SetMessageResponder(MessageHandler responder);

// While one lives, messages are not shown but written to standard error, one line each
// ("kyrotune: TEXT"), and answered with their default button: for what the program does when
// nobody may be there to answer (the session ending). A responder still takes precedence.
class UnattendedMessages {
public:
    UnattendedMessages();
    ~UnattendedMessages();
    UnattendedMessages(const UnattendedMessages&) = delete;
    UnattendedMessages& operator=(const UnattendedMessages&) = delete;

private:
    MessageHandler previous_;
};

}  // namespace kyro
