// Loading the archive library: where it is looked for, and the function check that decides
// whether it is used.

#include "songfiles/archivelibrary.h"

#include "support/tempfolder.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace kyro {
namespace {

using test::TempFolder;
using Status = ArchiveLibrary::Status;

const std::string kFakes = KYRO_FAKE_UNLHA_DIR;

std::string FakeFile(const std::string& name) { return "lib" + name + ".so"; }

// The indexes the fake was asked, read through a handle of our own (the loader's handle to the
// same file shares its state).
std::vector<int> AskedIndexes(void* handle) {
    auto asked = reinterpret_cast<int (*)(int*, int)>(dlsym(handle, "FakeAskedIndexes"));
    if (!asked) return {};
    std::vector<int> indexes(64);
    indexes.resize(static_cast<size_t>(asked(indexes.data(), 64)));
    return indexes;
}

// Keeps a fake loaded for the whole test so that its recorded state outlives the loader's
// dlclose.
class PinnedFake {
public:
    explicit PinnedFake(const std::string& name) : handle_(dlopen((kFakes + "/" + FakeFile(name)).c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~PinnedFake() {
        if (handle_) dlclose(handle_);
    }
    void* Handle() const { return handle_; }
    void Refuse(int index) const {
        reinterpret_cast<void (*)(int)>(dlsym(handle_, "FakeSetRefusedIndex"))(index);
    }

private:
    void* handle_;
};

TEST(ArchiveLibraryLoad, MissingFileIsNotFound) {
    TempFolder exe, program;
    auto result = ArchiveLibrary::Load(exe.Native(), program.Native());
    EXPECT_EQ(result.status, Status::NotFound);
    EXPECT_TRUE(result.failureName.empty());
    EXPECT_EQ(result.library, nullptr);
}

TEST(ArchiveLibraryLoad, FileThatIsNoLibraryIsNotFound) {
    TempFolder exe;
    exe.Write(kArchiveLibraryFile, "not a shared object\n");
    EXPECT_EQ(ArchiveLibrary::Load(exe.Native(), "").status, Status::NotFound);
}

TEST(ArchiveLibraryLoad, LackingQueryFunctionListIsNamed) {
    auto result = ArchiveLibrary::Load(kFakes, "", FakeFile("fake_unlha_noquery"));
    EXPECT_EQ(result.status, Status::MissingFunction);
    EXPECT_EQ(result.failureName, "ISARC_QUERY_FUNCTION_LIST");
    EXPECT_EQ(result.library, nullptr);
}

TEST(ArchiveLibraryLoad, RefusedIndexIsNamedAndAskingStopsThere) {
    PinnedFake fake("fake_unlha_refuse23");
    ASSERT_NE(fake.Handle(), nullptr);
    auto result = ArchiveLibrary::Load(kFakes, "", FakeFile("fake_unlha_refuse23"));
    EXPECT_EQ(result.status, Status::MissingFunction);
    EXPECT_EQ(result.failureName, "ISARC_OPEN_ARCHIVE");
    EXPECT_EQ(AskedIndexes(fake.Handle()), (std::vector<int>{0, 1, 5, 7, 8, 16, 23}));
}

TEST(ArchiveLibraryLoad, EachRefusedIndexGivesItsOwnName) {
    PinnedFake fake("fake_unlha_full");
    ASSERT_NE(fake.Handle(), nullptr);
    const std::vector<int> order = {0, 1, 5, 7, 8, 16, 23, 24, 25, 26};
    for (size_t i = 0; i < order.size(); ++i) {
        fake.Refuse(order[i]);
        auto result = ArchiveLibrary::Load(kFakes, "", FakeFile("fake_unlha_full"));
        EXPECT_EQ(result.status, Status::MissingFunction);
        EXPECT_EQ(result.failureName, kRequiredArchiveFunctions[i].name);
        EXPECT_EQ(AskedIndexes(fake.Handle()), std::vector<int>(order.begin(), order.begin() + static_cast<long>(i) + 1));
    }
    EXPECT_STREQ(kRequiredArchiveFunctions[0].name, "ISARC");
    EXPECT_STREQ(kRequiredArchiveFunctions[9].name, "ISARC_FIND_NEXT");
}

TEST(ArchiveLibraryLoad, GrantedButMissingFunctionIsNamed) {
    auto result = ArchiveLibrary::Load(kFakes, "", FakeFile("fake_unlha_nofindnext"));
    EXPECT_EQ(result.status, Status::MissingFunction);
    EXPECT_EQ(result.failureName, "ISARC_FIND_NEXT");
}

TEST(ArchiveLibraryLoad, CompleteLibraryLoadsWithEveryFunction) {
    PinnedFake fake("fake_unlha_full");
    fake.Refuse(-1);
    auto result = ArchiveLibrary::Load(kFakes, "", FakeFile("fake_unlha_full"));
    ASSERT_EQ(result.status, Status::Loaded);
    ASSERT_NE(result.library, nullptr);
    EXPECT_TRUE(result.failureName.empty());
    EXPECT_EQ(AskedIndexes(fake.Handle()), (std::vector<int>{0, 1, 5, 7, 8, 16, 23, 24, 25, 26}));
    const ArchiveFunctions& fn = result.library->Functions();
    EXPECT_EQ(fn.GetVersion(), 40);
    EXPECT_EQ(fn.Command(nullptr, "", nullptr, 0), 0x8001);
    EXPECT_NE(fn.FindNext, nullptr);
    EXPECT_EQ(fn.SetPathResolver, nullptr);  // optional, and the fake has none
}

TEST(ArchiveLibraryLoad, ExeFolderComesBeforeProgramFolder) {
    TempFolder exe, program;
    const std::string fake = kFakes + "/" + FakeFile("fake_unlha_full");
    std::filesystem::copy_file(fake, exe.Native(kArchiveLibraryFile));
    std::filesystem::copy_file(fake, program.Native(kArchiveLibraryFile));

    auto first = ArchiveLibrary::Load(exe.Native(), program.Native() + "/");
    ASSERT_EQ(first.status, Status::Loaded);
    EXPECT_EQ(first.library->NativePath(), exe.Native(kArchiveLibraryFile));
    first.library.reset();

    std::filesystem::remove(exe.Native(kArchiveLibraryFile));
    auto second = ArchiveLibrary::Load(exe.Native(), program.Native() + "/");
    ASSERT_EQ(second.status, Status::Loaded);
    EXPECT_EQ(second.library->NativePath(), program.Native(kArchiveLibraryFile));
    second.library.reset();

    // A file that does not load is passed over like a missing one.
    exe.Write(kArchiveLibraryFile, "garbage");
    auto third = ArchiveLibrary::Load(exe.Native(), program.Native());
    ASSERT_EQ(third.status, Status::Loaded);
    EXPECT_EQ(third.library->NativePath(), program.Native(kArchiveLibraryFile));
}

// An installed copy: bin/kyrotune, the library in lib/kyrotune, looked at after the program folder.
TEST(ArchiveLibraryLoad, InstalledLibraryIsFoundFromTheBinFolder) {
    TempFolder prefix;
    const std::string installed = prefix.MakeFolder("lib/kyrotune") + "/" + kArchiveLibraryFile;
    std::filesystem::copy_file(kFakes + "/" + FakeFile("fake_unlha_full"), installed);
    auto result = ArchiveLibrary::Load(prefix.MakeFolder("bin"), prefix.Native());
    ASSERT_EQ(result.status, Status::Loaded);
    EXPECT_EQ(result.library->NativePath(), installed);
}

TEST(ArchiveLibraryLoad, RealLibraryPassesTheStartUpCheck) {
    auto result = ArchiveLibrary::Load("", KYRO_UNLHA32_DIR);
    ASSERT_EQ(result.status, Status::Loaded) << result.failureName;
    const ArchiveFunctions& fn = result.library->Functions();
    EXPECT_GE(fn.GetVersion(), 40);
    EXPECT_NE(fn.SetPathResolver, nullptr);
    EXPECT_EQ(fn.QueryFunctionList(2), 0);
    EXPECT_EQ(fn.GetRunning(), 0);
}

}  // namespace
}  // namespace kyro
