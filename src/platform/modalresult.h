#pragma once
// The result of every modal dialog and message box of the program.

namespace kyro {

enum class ModalResult {
    None = 0,
    Ok = 1,
    Cancel = 2,
    Abort = 3,
    Retry = 4,
    Ignore = 5,
    Yes = 6,
    No = 7,
};

}  // namespace kyro
