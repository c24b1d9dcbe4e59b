#pragma once
// Common set-up of the program's windows: the form name as objectName (tests find windows by it)
// and the caption.

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

#include <utility>

namespace kyro {

void SetUpForm(QWidget* form, const char* formName, const QString& caption);

// The fixed-pitch Gothic face the windows are drawn in, `pixels` high.
QFont GothicFont(int pixels = 12);

// A control of a form, made on `parent` under its documented name (its objectName) at
// `geometry`; `args` go to the control's constructor before the parent (a caption, say).
template <typename Control, typename... Args>
Control* MakeControl(QWidget* parent, const char* name, const QRect& geometry, Args&&... args) {
    auto* control = new Control(std::forward<Args>(args)..., parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(geometry);
    return control;
}

}  // namespace kyro
