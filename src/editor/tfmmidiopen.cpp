#include "editor/tfmmidiopen.h"

#include "widgets/form.h"

namespace kyro {

TfmMidiOpen::TfmMidiOpen(QWidget* owner) : QWidget(owner, Qt::Window) { SetUpForm(this, "fmMidiOpen", QStringLiteral("File List")); }

std::intptr_t TfmMidiOpen::HandleLinkMessage(LinkMessage, std::intptr_t, const LParam&) { return 0; }

}  // namespace kyro
