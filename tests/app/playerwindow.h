#pragma once
// A main window started on a folder of small song files with a recording player control: both
// play modes SEQUENTIAL, so the queue is the list's order; every reset file present.

#include "app/fakeplayer.h"
#include "app/tfmmid.h"
#include "library/listfiles.h"
#include "platform/cp932.h"
#include "support/messagerecorder.h"
#include "support/tempfolder.h"
#include "widgets/mpanel.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kyro::test {

// The bytes of a song file as the title reader scans them: a header, then a name event.
inline std::string MidiWithName(const std::string& name) {
    static const char kHead[] = "MThd\0\0\0\x06\0\0\0\x01\0\x60" "MTrk\0\0\0\x10" "\0\xFF\x03";
    static const char kEnd[] = "\0\xFF\x2F\0";
    return std::string(kHead, sizeof kHead - 1) + char(name.size()) + name + std::string(kEnd, sizeof kEnd - 1);
}

class PlayerWindowTest : public ::testing::Test {
protected:
    static constexpr const char* kSequential = "[KYRO32]\r\nWarningMsg=0\r\nListRandomType=3\r\nGroupRandomType=2\r\n";

    void SetUp() override {
        folder.Write("ALPHA.MID", MidiWithName("Alpha"));
        folder.Write("BETA.MID", MidiWithName("Beta in file"));
        folder.Write("GAMMA.MID", MidiWithName(Utf8ToCp932("ガンマ").value()));
        for (const char* reset : {"GM.MID", "88MAP.MID", "55MAP.MID", "88Pro.MID"}) folder.Write(reset, "MThd");
        folder.MakeFolder("temp");
    }

    std::string Song(const std::string& name) const { return folder.Dos() + name; }

    // Group1: ALPHA (untitled, GM), BETA (titled, no map); Group2: GAMMA (untitled, 88).
    SongList ThreeSongs() const {
        SongList songs;
        songs.groups[0].Append({Song("ALPHA.MID"), kUntitledMarker, '3'});
        songs.groups[0].Append({Song("BETA.MID"), "Beta", '0'});
        songs.groups[1].Append({Song("GAMMA.MID"), kUntitledMarker, '1'});
        return songs;
    }

    std::unique_ptr<TfmMid> Start(const SongList& songs, const std::string& settings = kSequential) {
        folder.Write("KYRO32.INI", settings);
        EXPECT_TRUE(SaveSongList(folder.Dos(), songs));
        AppContext context;
        context.programFolderNative = folder.Native();
        context.exeFolderNative = archiveFolder.empty() ? folder.Native() : archiveFolder;
        if (!archiveFile.empty()) context.archiveLibraryFile = archiveFile;
        context.env.vars["TEMP"] = folder.Native("temp");
        context.newProgramFolder = newProgramFolder;
        context.musicFolderNative = musicFolder;
        if (!realPlayer)
            context.makePlayer = [log = log](const std::string&) { return std::make_unique<FakePlayer>(log); };
        auto mid = std::make_unique<TfmMid>(context);
        log->Clear();
        return mid;
    }

    static QString Panel(const TfmMid& mid, const char* name) {
        const auto* panel = mid.findChild<MPanel*>(QString::fromLatin1(name));
        return panel->Caption().isEmpty() ? panel->Caption2() : panel->Caption();
    }
    static QString Status(const TfmMid& mid) { return Panel(mid, "edStatus"); }
    static QString Title(const TfmMid& mid) { return mid.findChild<QLineEdit*>("edTitle")->text(); }
    static QPushButton* Button(const TfmMid& mid, const char* name) {
        return mid.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    static bool TimerActive(const TfmMid& mid) { return mid.findChild<QTimer*>("Timer1")->isActive(); }

    using Commands = std::vector<std::string>;

    TempFolder folder;
    MessageRecorder messages;
    std::shared_ptr<FakePlayerLog> log = std::make_shared<FakePlayerLog>();
    std::string archiveFolder;  // where the archive library is looked for first
    std::string archiveFile;
    bool realPlayer = false;  // the sequencer itself, playing to the output the settings name
    bool newProgramFolder = false;  // a first start
    std::string musicFolder;
};

}  // namespace kyro::test
