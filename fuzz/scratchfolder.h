#pragma once
// For targets whose reader takes a path: a folder of this process's own, made at the first use
// under $TMPDIR (else /tmp) and removed with its contents when the process ends, so that fuzzers
// running side by side never share files. scripts/fuzz.sh points TMPDIR into its own scratch
// folder, so even the folder of a process that crashed is cleared away.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

inline const std::string& ScratchFolder() {
    // Never destroyed: the removal at exit still needs the name.
    static const std::string* folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kyro-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        auto* name = new std::string(pattern);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchFolder(), ignored);
        });
        return name;
    }();
    return *folder;
}

// "/tmp/x/y" -> "Z:\tmp\x\y": the DOS form under the default drive map, where Z: is "/".
inline std::string DosFormOf(const std::string& native) {
    std::string dos = "Z:" + native;
    for (char& c : dos)
        if (c == '/') c = '\\';
    return dos;
}

inline void WriteBytes(const std::string& nativePath, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out.flush()) std::abort();
}
