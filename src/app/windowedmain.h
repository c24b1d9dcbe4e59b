#pragma once
// The entry point of libkyrotune-app.so: the player with its windows, given kyrotune's command
// line ([--folder DIR]). Returns the process's exit code.

extern "C" {
int KyroWindowedMain(int argc, char** argv);
using KyroWindowedMainFunction = int (*)(int argc, char** argv);
}

inline constexpr char kWindowedMainSymbol[] = "KyroWindowedMain";
inline constexpr char kAppLibraryFile[] = "libkyrotune-app.so";
