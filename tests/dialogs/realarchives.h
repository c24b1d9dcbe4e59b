#pragma once
// What the dialog tests that check archives share: the real archive library, finding the test's
// drive letters through the drive map as the program has it do, and one-member archives.

#include "platform/drives.h"
#include "songfiles/archivelibrary.h"

#include "lzhwriter.h"

#include <algorithm>
#include <memory>
#include <string>

namespace kyro::test {

inline const ArchiveLibrary* RealLibrary() {
    static std::unique_ptr<ArchiveLibrary> library = ArchiveLibrary::Load(KYRO_UNLHA32_DIR, KYRO_UNLHA32_DIR).library;
    return library.get();
}

inline int ResolveThroughDriveMap(const char* dosPath, char* out, size_t size) {
    auto native = ActiveDriveMap().ToNative(dosPath);
    if (!native || native->size() + 1 > size) return 0;
    *std::copy(native->begin(), native->end(), out) = '\0';
    return 1;
}

inline bool WriteArchive(const std::string& nativePath, const std::string& member) {
    LzhMember stored;
    stored.name = member;
    stored.data = SampleSong(1, 8);
    return WriteLzh(nativePath, {stored});
}

}  // namespace kyro::test
