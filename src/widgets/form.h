#pragma once
// Common set-up of the program's windows: the form name as objectName (tests find windows by it)
// and the caption.

#include <QString>

class QWidget;

namespace kyro {
void SetUpForm(QWidget* form, const char* formName, const QString& caption);
}
