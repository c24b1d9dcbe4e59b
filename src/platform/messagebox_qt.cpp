#include "platform/messagebox_qt.h"

#include <QApplication>
#include <QMessageBox>

#include <memory>

namespace kyro {

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::None: return QMessageBox::NoIcon;
    case MessageIcon::Stop: return QMessageBox::Critical;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok: return QMessageBox::Ok;
    case MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    case MessageButtons::AbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

ModalResult FromQtButton(int button, MessageButtons buttons) {
    switch (button) {
    case QMessageBox::Ok: return ModalResult::Ok;
    case QMessageBox::Cancel: return ModalResult::Cancel;
    case QMessageBox::Yes: return ModalResult::Yes;
    case QMessageBox::No: return ModalResult::No;
    case QMessageBox::Abort: return ModalResult::Abort;
    case QMessageBox::Retry: return ModalResult::Retry;
    case QMessageBox::Ignore: return ModalResult::Ignore;
    default: return DefaultAnswer(buttons);  // closed without a button
    }
}

}  // namespace

QMessageBox* CreateMessageBox(const Message& message) {
    auto* box = new QMessageBox(ToQtIcon(message.icon), QString::fromUtf8(kMessageCaption), message.text,
                                ToQtButtons(message.buttons), QApplication::activeWindow());
    if (message.buttons == MessageButtons::YesNoCancel || message.buttons == MessageButtons::OkCancel ||
        message.buttons == MessageButtons::RetryCancel)
        box->setEscapeButton(QMessageBox::Cancel);
    return box;
}

void InstallQtMessagePresenter() {
    SetMessagePresenter([](const Message& message) {
        std::unique_ptr<QMessageBox> box(CreateMessageBox(message));
        return FromQtButton(box->exec(), message.buttons);
    });
}

}  // namespace kyro
