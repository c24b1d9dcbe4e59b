#include "dialogs/tfmlistmove.h"

#include "widgets/form.h"

namespace kyro {

TfmListMove::TfmListMove(QWidget* owner) : QWidget(owner, Qt::Window) { SetUpForm(this, "fmListMove", QStringLiteral("List Move")); }

}  // namespace kyro
