// A stand-in archive library for the loader's tests. Built several times:
//   OMIT_QUERY       - no UnlhaQueryFunctionList at all,
//   REFUSE_INDEX=n   - that function index is refused (FakeSetRefusedIndex changes it),
//   OMIT_FIND_NEXT   - every index granted, but UnlhaFindNext is missing.
// FakeAskedIndexes reports which indexes the loader asked, in order.

#include "unlha32/unlha32.h"

#ifndef REFUSE_INDEX
#define REFUSE_INDEX -1
#endif

#define FAKE_EXPORT __attribute__((visibility("default")))

namespace {
int g_refused = REFUSE_INDEX;
int g_asked[64];
int g_askedCount = 0;
}  // namespace

extern "C" {

FAKE_EXPORT int FakeAskedIndexes(int* out, int max) {
    for (int i = 0; i < g_askedCount && i < max; ++i) out[i] = g_asked[i];
    return g_askedCount;
}

FAKE_EXPORT void FakeSetRefusedIndex(int index) {
    g_refused = index;
    g_askedCount = 0;
}

#ifndef OMIT_QUERY
FAKE_EXPORT int UnlhaQueryFunctionList(int index) {
    if (g_askedCount < 64) g_asked[g_askedCount++] = index;
    return index != g_refused;
}
#endif

FAKE_EXPORT uint16_t UnlhaGetVersion(void) { return 40; }
FAKE_EXPORT int UnlhaGetRunning(void) { return 0; }
FAKE_EXPORT int UnlhaSetBackGroundMode(int) { return 0; }
FAKE_EXPORT int UnlhaSetCursorMode(int) { return 0; }
FAKE_EXPORT int UnlhaCheckArchive(const char*, int) { return 0; }
FAKE_EXPORT HARC UnlhaOpenArchive(void*, const char*, uint32_t) { return nullptr; }
FAKE_EXPORT int UnlhaCloseArchive(HARC) { return 0; }
FAKE_EXPORT int UnlhaFindFirst(HARC, const char*, INDIVIDUALINFO*) { return -1; }
#ifndef OMIT_FIND_NEXT
FAKE_EXPORT int UnlhaFindNext(HARC, INDIVIDUALINFO*) { return -1; }
#endif
FAKE_EXPORT int Unlha(void*, const char*, char*, uint32_t) { return 0x8001; }

}  // extern "C"
