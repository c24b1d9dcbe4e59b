#include "platform/linkmessages.h"

#include <QMetaObject>
#include <QPointer>

namespace kyro {

QListWidget* LParamListBox(const LParam& l) {
    auto p = std::get_if<QListWidget*>(&l);
    return p ? *p : nullptr;
}

QComboBox* LParamComboBox(const LParam& l) {
    auto p = std::get_if<QComboBox*>(&l);
    return p ? *p : nullptr;
}

std::string* LParamText(const LParam& l) {
    auto p = std::get_if<std::string*>(&l);
    return p ? *p : nullptr;
}

std::intptr_t LParamNumber(const LParam& l) {
    auto p = std::get_if<std::intptr_t>(&l);
    return p ? *p : 0;
}

std::intptr_t SendLinkMessage(LinkTarget* target, LinkMessage msg, std::intptr_t wParam, LParam lParam) {
    return target ? target->HandleLinkMessage(msg, wParam, lParam) : 0;
}

void PostLinkMessage(QObject* context, LinkTarget* target, LinkMessage msg, std::intptr_t wParam, LParam lParam) {
    if (!context || !target) return;
    // Guarded by the context: a window destroyed before the call runs gets nothing.
    QPointer<QObject> guard(context);
    QMetaObject::invokeMethod(
        context,
        [guard, target, msg, wParam, lParam]() {
            if (guard) target->HandleLinkMessage(msg, wParam, lParam);
        },
        Qt::QueuedConnection);
}

}  // namespace kyro
