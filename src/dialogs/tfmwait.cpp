#include "dialogs/tfmwait.h"

#include "widgets/form.h"

namespace kyro {

TfmWait::TfmWait(QWidget* owner) : QDialog(owner, Qt::Dialog) { SetUpForm(this, "fmWait", QStringLiteral("Just a Moment ...")); }

}  // namespace kyro
