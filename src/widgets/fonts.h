#pragma once
// The windows name the old system's Japanese fonts; map them to the IPA fonts before the first
// window is made, so that Mincho looks like Mincho and metrics stay the same everywhere.

namespace kyro {
void InstallJapaneseFontSubstitutes();
}
