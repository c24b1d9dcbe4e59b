#include "dialogs/tfmsystem.h"

#include "widgets/form.h"

namespace kyro {

TfmSystem::TfmSystem(QWidget* owner) : QDialog(owner) { SetUpForm(this, "fmSystem", QStringLiteral("System")); }

}  // namespace kyro
