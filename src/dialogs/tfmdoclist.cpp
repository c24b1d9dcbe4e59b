#include "dialogs/tfmdoclist.h"

#include "widgets/form.h"

namespace kyro {

TfmDocList::TfmDocList(QWidget* owner) : QDialog(owner, Qt::Dialog) { SetUpForm(this, "fmDocList", QStringLiteral("Document List")); }

}  // namespace kyro
