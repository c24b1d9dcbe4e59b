#pragma once
// Shows the program's messages as modal QMessageBoxes captioned "Kyrotune LZH".

#include "platform/messagebox.h"

class QMessageBox;

namespace kyro {

// Makes ShowMessage present a modal QMessageBox to the user.
void InstallQtMessagePresenter();

// The box ShowMessage would show for a message (not yet shown); the caller owns it.
QMessageBox* CreateMessageBox(const Message& message);

}  // namespace kyro
