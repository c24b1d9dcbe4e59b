#include "dialogs/tfmfilesel.h"

#include "widgets/form.h"

namespace kyro {

TfmFileSel::TfmFileSel(QWidget* owner) : QDialog(owner, Qt::Dialog) { SetUpForm(this, "fmFileSel", QStringLiteral("File Select")); }

}  // namespace kyro
