#include "editor/tfmgroup.h"

#include "widgets/form.h"

namespace kyro {

TfmGroup::TfmGroup(QWidget* owner) : QDialog(owner, Qt::Dialog) { SetUpForm(this, "fmGroup", QStringLiteral("Group")); }

}  // namespace kyro
