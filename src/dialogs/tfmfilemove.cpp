#include "dialogs/tfmfilemove.h"

#include "widgets/form.h"

namespace kyro {

TfmFileMove::TfmFileMove(QWidget* owner) : QWidget(owner, Qt::Window) { SetUpForm(this, "fmFileMove", QStringLiteral("File Move")); }

}  // namespace kyro
