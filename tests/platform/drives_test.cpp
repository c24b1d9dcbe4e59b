#include "platform/drives.h"

#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace kyro {
namespace {

using test::TempFolder;

// Sets HOME for one test and puts the old value back.
class ScopedHome {
public:
    explicit ScopedHome(const char* value) {
        if (const char* old = std::getenv("HOME")) old_ = old;
        value ? setenv("HOME", value, 1) : unsetenv("HOME");
    }
    ~ScopedHome() { old_ ? setenv("HOME", old_->c_str(), 1) : unsetenv("HOME"); }

private:
    std::optional<std::string> old_;
};

// Changes the working directory for one test.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const std::string& folder) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~ScopedWorkingDirectory() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

TEST(DriveMapDefault, MapsZToRootAndCToHome) {
    {
        ScopedHome home("/home/someone/");
        const DriveMap map = DriveMap::Default();
        EXPECT_EQ(map.NativeFolder('Z'), "/");
        EXPECT_EQ(map.NativeFolder('c'), "/home/someone");
        EXPECT_EQ(map.Letters().size(), 2u);
    }
    {
        ScopedHome home("/");
        EXPECT_EQ(DriveMap::Default().NativeFolder('C'), std::nullopt);
    }
    {
        ScopedHome home(nullptr);
        EXPECT_EQ(DriveMap::Default().NativeFolder('C'), std::nullopt);
        EXPECT_EQ(DriveMap::Default().NativeFolder('Z'), "/");
    }
}

TEST(DriveMapSet, AcceptsOnlyLettersAndAbsoluteFolders) {
    DriveMap map;
    map.Set('d', "/mnt/midi/");
    map.Set('1', "/one");
    map.Set('E', "relative/folder");
    map.Set('F', "");
    EXPECT_EQ(map.NativeFolder('D'), "/mnt/midi");
    EXPECT_EQ(map.Letters().size(), 1u);
    EXPECT_EQ(map.NativeFolder('E'), std::nullopt);
    EXPECT_EQ(map.NativeFolder('1'), std::nullopt);
}

TEST(DriveMapOverrides, SectionDrivesAddsAndOverridesLetters) {
    TempFolder temp;
    temp.Write("KYRO32.INI",
               "[KYRO32]\r\nD=/not/this\r\n"
               "[drives]\r\nd = /mnt/midi \r\nC=/data\r\nLong=/x\r\n1=/y\r\nG=relative\r\n;E=/commented\r\n");
    DriveMap map = DriveMap::Default();
    map.LoadOverrides(temp.Native("KYRO32.INI"));
    EXPECT_EQ(map.NativeFolder('D'), "/mnt/midi");
    EXPECT_EQ(map.NativeFolder('C'), "/data");
    EXPECT_EQ(map.NativeFolder('Z'), "/");
    EXPECT_EQ(map.NativeFolder('E'), std::nullopt);
    EXPECT_EQ(map.NativeFolder('G'), std::nullopt);
    EXPECT_EQ(map.Letters().size(), 3u);

    DriveMap unchanged = DriveMap::Default();
    unchanged.LoadOverrides(temp.Native("missing.ini"));
    EXPECT_EQ(unchanged.Letters(), DriveMap::Default().Letters());
}

class DosToNative : public ::testing::Test {
protected:
    DosToNative() {
        temp.Write("Midi/Song.mid", "x");
        temp.Write("Midi/曲/ソ.MID", "x");
        map.Set('D', temp.Native());
    }
    std::string Under(const std::string& rest) const { return temp.Native() + rest; }

    TempFolder temp;
    DriveMap map;
};

TEST_F(DosToNative, DriveAloneAndRootAreTheFolderItself) {
    EXPECT_EQ(map.ToNative("D:"), temp.Native());
    EXPECT_EQ(map.ToNative("D:\\"), temp.Native() + "/");
    EXPECT_EQ(map.ToNative("d:\\"), temp.Native() + "/");
}

TEST_F(DosToNative, MatchesComponentsWithoutRegardToCase) {
    EXPECT_EQ(map.ToNative("D:\\MIDI\\SONG.MID"), Under("/Midi/Song.mid"));
    EXPECT_EQ(map.ToNative("D:\\midi\\song.mid"), Under("/Midi/Song.mid"));
    // A folder keeps its trailing separator.
    EXPECT_EQ(map.ToNative("D:\\MIDI\\"), Under("/Midi/"));
    EXPECT_EQ(map.ToNative("D:\\MIDI"), Under("/Midi"));
}

TEST_F(DosToNative, PrefersTheExactNameAndThenTheSmallestMatch) {
    temp.Write("Midi/SONG.MID", "y");
    EXPECT_EQ(map.ToNative("D:\\Midi\\SONG.MID"), Under("/Midi/SONG.MID"));
    EXPECT_EQ(map.ToNative("D:\\Midi\\Song.mid"), Under("/Midi/Song.mid"));
    EXPECT_EQ(map.ToNative("D:\\Midi\\song.MID"), Under("/Midi/SONG.MID"));  // "SONG.MID" < "Song.mid"
}

TEST_F(DosToNative, KeepsMissingComponentsAsWritten) {
    EXPECT_EQ(map.ToNative("D:\\MIDI\\New\\X.MID"), Under("/Midi/New/X.MID"));
}

TEST_F(DosToNative, ConvertsCp932NamesWhoseSecondByteIsABackslash) {
    // "曲" is 8B C8, "ソ" is 83 5C: the 5C must not split the name.
    EXPECT_EQ(map.ToNative("D:\\MIDI\\\x8B\xC8\\\x83\x5C.mid"), Under("/Midi/曲/ソ.MID"));
}

TEST_F(DosToNative, RefusesWhatIsNotAMappedDosPath) {
    EXPECT_EQ(map.ToNative("E:\\MIDI"), std::nullopt);
    EXPECT_EQ(map.ToNative("D"), std::nullopt);
    EXPECT_EQ(map.ToNative(""), std::nullopt);
    EXPECT_EQ(map.ToNative("\\MIDI\\SONG.MID"), std::nullopt);
    EXPECT_EQ(map.ToNative("D:\\bad\x80name"), std::nullopt);
    EXPECT_EQ(map.ToNative("D:\\lone\x83"), std::nullopt);
}

TEST(NativeToDos, TheLongestMappedPrefixWins) {
    DriveMap map;
    map.Set('Z', "/");
    map.Set('C', "/home/u");
    map.Set('D', "/home/u/midi");
    EXPECT_EQ(map.ToDos("/home/u/docs/a.mid"), "C:\\docs\\a.mid");
    EXPECT_EQ(map.ToDos("/home/u/midi/a.mid"), "D:\\a.mid");
    EXPECT_EQ(map.ToDos("/home/u2/a.mid"), "Z:\\home\\u2\\a.mid");  // not under /home/u
    EXPECT_EQ(map.ToDos("/etc/x"), "Z:\\etc\\x");
}

TEST(NativeToDos, RootsFoldersAndOddForms) {
    DriveMap map;
    map.Set('Z', "/");
    map.Set('C', "/home/u");
    EXPECT_EQ(map.ToDos("/"), "Z:\\");
    EXPECT_EQ(map.ToDos("/home/u"), "C:\\");
    EXPECT_EQ(map.ToDos("/home/u/"), "C:\\");
    EXPECT_EQ(map.ToDos("/home/u/midi/"), "C:\\midi\\");
    EXPECT_EQ(map.ToDos("/home//u/./midi"), "C:\\midi");
    EXPECT_EQ(map.ToDos("/home/u/../x"), "Z:\\home\\x");
    EXPECT_EQ(map.ToDos("relative/x"), std::nullopt);
    EXPECT_EQ(map.ToDos(""), std::nullopt);
}

TEST(NativeToDos, ConvertsToCp932AndRefusesWhatItCannotHold) {
    DriveMap map;
    map.Set('Z', "/");
    EXPECT_EQ(map.ToDos("/曲/ソ.mid"), "Z:\\\x8B\xC8\\\x83\x5C.mid");
    EXPECT_EQ(map.ToDos("/music/€.mid"), std::nullopt);

    DriveMap onlyD;
    onlyD.Set('D', "/mnt/midi");
    EXPECT_EQ(onlyD.ToDos("/etc/x"), std::nullopt);
}

TEST(DriveReadiness, ReadyOnlyWhenMappedAndPresent) {
    TempFolder temp;
    DriveMap map;
    map.Set('D', temp.Native());
    map.Set('E', temp.Native("missing"));
    temp.Write("file", "x");
    map.Set('F', temp.Native("file"));
    EXPECT_TRUE(map.IsReady('D'));
    EXPECT_TRUE(map.IsReady('d'));
    EXPECT_FALSE(map.IsReady('E'));
    EXPECT_FALSE(map.IsReady('F'));
    EXPECT_FALSE(map.IsReady('G'));
}

TEST(DriveReadiness, AnUnreadableFolderIsNotReady) {
    TempFolder temp;
    temp.Write("locked/x", "x");
    ::chmod(temp.Native("locked").c_str(), 0);
    if (::access(temp.Native("locked").c_str(), R_OK) == 0) GTEST_SKIP() << "permissions do not bind this user";
    DriveMap map;
    map.Set('D', temp.Native("locked"));
    EXPECT_FALSE(map.IsReady('D'));
}

TEST(CurrentDrive, IsTheDriveHoldingTheWorkingDirectory) {
    TempFolder temp;
    temp.Write("sub/x", "x");
    DriveMap map;
    map.Set('Z', "/");
    map.Set('D', temp.Native());
    {
        ScopedWorkingDirectory cwd(temp.Native("sub"));
        EXPECT_EQ(map.CurrentDrive(), 'D');
    }
    {
        ScopedWorkingDirectory cwd("/");
        EXPECT_EQ(map.CurrentDrive(), 'Z');
        DriveMap onlyD;
        onlyD.Set('D', temp.Native());
        EXPECT_EQ(onlyD.CurrentDrive(), 'Z');  // no letter holds it
    }
}

TEST(ActiveDriveMap, IsReplacedWhole) {
    const DriveMap saved = ActiveDriveMap();
    DriveMap map;
    map.Set('Q', "/q");
    SetActiveDriveMap(map);
    EXPECT_EQ(ActiveDriveMap().NativeFolder('Q'), "/q");
    EXPECT_EQ(ActiveDriveMap().NativeFolder('Z'), std::nullopt);
    SetActiveDriveMap(saved);
    EXPECT_EQ(ActiveDriveMap().NativeFolder('Z'), "/");
}

}  // namespace
}  // namespace kyro
