#include "dialogs/tfmfinddlg.h"

#include "widgets/form.h"

namespace kyro {

TfmFindDlg::TfmFindDlg(QWidget* owner) : QDialog(owner, Qt::Dialog) { SetUpForm(this, "fmFindDlg", QStringLiteral("File Sertch")); }

}  // namespace kyro
