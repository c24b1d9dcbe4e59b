#include "dialogs/tfmdocread.h"

#include "widgets/form.h"

namespace kyro {

TfmDocRead::TfmDocRead(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint) { SetUpForm(this, "fmDocRead", QStringLiteral("Document Reader")); }

}  // namespace kyro
