#include "dialogs/tfmtitle.h"

#include "widgets/form.h"

namespace kyro {

TfmTitle::TfmTitle(QWidget* owner) : QWidget(owner, Qt::Window) { SetUpForm(this, "fmTitle", QStringLiteral("Title")); }

}  // namespace kyro
