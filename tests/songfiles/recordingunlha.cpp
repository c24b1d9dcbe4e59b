// A stand-in archive library that records every call the program makes, in order, and answers
// from a scripted archive: a member list, switches for a failing check or open, a busy flag and
// the extraction command's result. The test drives it through the Recording* exports.

#include "unlha32/unlha32.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#define FAKE_EXPORT __attribute__((visibility("default")))

namespace {

struct Script {
    std::vector<std::string> members;
    bool checkOk = true;
    bool openOk = true;
    int running = 0;
    int commandResult = 0;
};

Script g_script;
std::string g_log;        // "Call(args);" for every call, in order
size_t g_next = 0;        // FindNext position
std::string g_pattern;
int g_openHandles = 0;
char g_handle;            // the one archive handle given out

void Log(const std::string& entry) { g_log += entry + ";"; }

int Fill(INDIVIDUALINFO* info) {
    while (g_next < g_script.members.size()) {
        const std::string& name = g_script.members[g_next++];
        if (g_pattern != "*.*" && g_pattern != name) continue;
        // The whole 560-byte record is written, as a real library may.
        std::memset(info, 0x5A, sizeof *info);
        std::memcpy(info->szFileName, name.c_str(), name.size() + 1);
        return 0;
    }
    return -1;
}

}  // namespace

extern "C" {

// --- Controls for the test ---------------------------------------------------------------------
FAKE_EXPORT void RecordingReset() {
    g_script = Script();
    g_log.clear();
    g_openHandles = 0;
}
FAKE_EXPORT void RecordingAddMember(const char* name) { g_script.members.emplace_back(name); }
FAKE_EXPORT void RecordingFailCheck() { g_script.checkOk = false; }
FAKE_EXPORT void RecordingFailOpen() { g_script.openOk = false; }
FAKE_EXPORT void RecordingSetRunning(int running) { g_script.running = running; }
FAKE_EXPORT void RecordingSetCommandResult(int result) { g_script.commandResult = result; }
FAKE_EXPORT const char* RecordingLog() { return g_log.c_str(); }
FAKE_EXPORT int RecordingOpenHandles() { return g_openHandles; }

// --- The library's functions -------------------------------------------------------------------
FAKE_EXPORT int UnlhaQueryFunctionList(int) { return 1; }
FAKE_EXPORT uint16_t UnlhaGetVersion(void) { return 40; }
FAKE_EXPORT int UnlhaGetRunning(void) {
    Log("GetRunning");
    return g_script.running;
}
FAKE_EXPORT int UnlhaSetBackGroundMode(int mode) {
    Log("SetBackGroundMode(" + std::to_string(mode) + ")");
    return 0;
}
FAKE_EXPORT int UnlhaSetCursorMode(int mode) {
    Log("SetCursorMode(" + std::to_string(mode) + ")");
    return 0;
}
FAKE_EXPORT int UnlhaCheckArchive(const char* archive, int mode) {
    Log(std::string("CheckArchive(") + archive + "," + std::to_string(mode) + ")");
    return g_script.checkOk ? 1 : 0;
}
FAKE_EXPORT HARC UnlhaOpenArchive(void* hwnd, const char* archive, uint32_t mode) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", mode);
    Log(std::string("OpenArchive(") + (hwnd ? "window" : "null") + "," + archive + "," + hex + ")");
    if (!g_script.openOk) return nullptr;
    ++g_openHandles;
    return &g_handle;
}
FAKE_EXPORT int UnlhaCloseArchive(HARC harc) {
    Log("CloseArchive");
    if (harc == &g_handle) --g_openHandles;
    return 0;
}
FAKE_EXPORT int UnlhaFindFirst(HARC, const char* pattern, INDIVIDUALINFO* info) {
    Log(std::string("FindFirst(") + pattern + ")");
    g_pattern = pattern;
    g_next = 0;
    return Fill(info);
}
FAKE_EXPORT int UnlhaFindNext(HARC, INDIVIDUALINFO* info) {
    Log("FindNext");
    return Fill(info);
}
FAKE_EXPORT int Unlha(void* hwnd, const char* command, char* output, uint32_t size) {
    Log(std::string("Unlha(") + (hwnd ? "window" : "null") + "," + command + "," + std::to_string(size) + ")");
    std::memset(output, 'x', size);  // the program must hand over all the bytes it says
    output[size - 1] = '\0';
    return g_script.commandResult;
}

}  // extern "C"
