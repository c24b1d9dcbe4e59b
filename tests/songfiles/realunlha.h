#pragma once
// The real libunlha32.so, loaded once through the program's loader, for tests on LZH files.

#include "songfiles/archivelibrary.h"

#include "lzhwriter.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace kyro::test {

// "/tmp/a b/x.lzh" -> "Z:\tmp\a b\x.lzh" (ASCII paths only).
inline std::string DosPath(const std::string& native) {
    std::string dos = "Z:" + native;
    for (char& c : dos)
        if (c == '/') c = '\\';
    return dos;
}

// A folder in DOS form, ending in "\".
inline std::string DosFolder(const std::string& native) { return DosPath(native) + "\\"; }

// The library as built into the program folder.
inline const ArchiveFunctions* RealUnlha() {
    static std::unique_ptr<ArchiveLibrary> library = [] {
        auto result = ArchiveLibrary::Load(KYRO_UNLHA32_DIR, KYRO_UNLHA32_DIR);
        return std::move(result.library);
    }();
    return library ? &library->Functions() : nullptr;
}

class RealUnlhaTest : public ::testing::Test {
protected:
    void SetUp() override {
        fn_ = RealUnlha();
        ASSERT_NE(fn_, nullptr) << "libunlha32.so did not load";
        fn_->SetPathResolver(nullptr);
    }
    void TearDown() override {
        if (fn_) fn_->SetPathResolver(nullptr);
    }

    const ArchiveFunctions& Fn() const { return *fn_; }

    // Member names as FindFirst/FindNext give them; {"<open failed>"} when the archive does not open.
    // `ending` receives the result that ended the search.
    std::vector<std::string> List(const std::string& archive, const char* pattern = "*.*",
                                  int* ending = nullptr) const {
        HARC harc = fn_->OpenArchive(nullptr, archive.c_str(), 0x00400202);
        if (!harc) return {"<open failed>"};
        std::vector<std::string> names;
        INDIVIDUALINFO info;
        int r = fn_->FindFirst(harc, pattern, &info);
        for (; r == 0; r = fn_->FindNext(harc, &info)) names.emplace_back(info.szFileName);
        if (ending) *ending = r;
        fn_->CloseArchive(harc);
        return names;
    }

    // Runs the extraction command as the program builds it (no quotes).
    int Extract(const std::string& archiveDos, const std::string& folderDos, const std::string& member,
                std::string* message = nullptr) const {
        std::string command = "e -n1 " + archiveDos + " " + folderDos + " " + member;
        char output[200];
        std::memset(output, 'x', sizeof output);
        int result = fn_->Command(nullptr, command.c_str(), output, sizeof output);
        EXPECT_NE(std::memchr(output, '\0', sizeof output), nullptr) << "output not terminated";
        if (message) *message = output;
        return result;
    }

    TempFolder dir_;

private:
    const ArchiveFunctions* fn_ = nullptr;
};

}  // namespace kyro::test
