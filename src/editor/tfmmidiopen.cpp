#include "editor/tfmmidiopen.h"

#include "widgets/form.h"

namespace kyro {

TfmMidiOpen::TfmMidiOpen(QWidget* owner) : QWidget(owner, Qt::Window) { SetUpForm(this, "fmMidiOpen", QStringLiteral("File List")); }

}  // namespace kyro
