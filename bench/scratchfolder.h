#pragma once
// A fresh folder under /tmp for a benchmark's files, removed with everything in it at the end;
// with its DOS name for the benchmarks that hand paths to the archive library or the list files.

#include "platform/filesystem.h"

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace kyro::bench {

struct ScratchFolder {
    std::string native;  // empty when it could not be made
    std::string dos;     // with its trailing backslash; empty when it has no DOS name
    explicit ScratchFolder(const std::string& name) {
        std::string pattern = "/tmp/" + name + "-XXXXXX";
        if (!mkdtemp(pattern.data())) return;
        native = pattern;
        if (auto dosForm = DosPath(native)) dos = WithTrailingBackslash(*dosForm);
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!native.empty()) std::filesystem::remove_all(native, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    bool Made() const { return !native.empty() && !dos.empty(); }
};

}  // namespace kyro::bench
