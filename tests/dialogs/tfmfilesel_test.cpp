// TfmFileSel: OK only where the lost file (or the archive holding the member) is, and what each
// way of closing returns. Drive D is a test folder holding
//   a.mid, SONGS\a.mid, SONGS\P.LZH (song.mid), OTHER\P.LZH (other.mid).
#include "dialogs/tfmfilesel.h"

#include "platform/drives.h"
#include "songfiles/archivelibrary.h"
#include "widgets/drivefolder.h"

#include "realarchives.h"
#include "support/messagerecorder.h"
#include "support/tempfolder.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace kyro {
namespace {

using test::RealLibrary;
using test::ResolveThroughDriveMap;
using test::WriteArchive;

class TfmFileSelTest : public ::testing::Test {
protected:
    void SetUp() override {
        disk_.Write("a.mid", "song");
        disk_.Write("SONGS/a.mid", "song");
        disk_.MakeFolder("OTHER");
        ASSERT_TRUE(WriteArchive(disk_.Native("SONGS/P.LZH"), "song.mid"));
        ASSERT_TRUE(WriteArchive(disk_.Native("OTHER/P.LZH"), "other.mid"));
        DriveMap drives;
        drives.Set('D', disk_.Native());
        SetActiveDriveMap(drives);
        ASSERT_NE(RealLibrary(), nullptr) << "libunlha32.so did not load";
        RealLibrary()->Functions().SetPathResolver(&ResolveThroughDriveMap);
        sel_.SetArchiveLibrary(RealLibrary());
        sel_.SetLostFile("a.mid", "", false);
    }
    void TearDown() override {
        if (RealLibrary()) RealLibrary()->Functions().SetPathResolver(nullptr);
        SetActiveDriveMap(saved_);
    }

    FolderTree* Folders() { return sel_.findChild<FolderTree*>(QStringLiteral("lvFolder")); }
    void Click(const char* button) { QTest::mouseClick(sel_.findChild<QPushButton*>(button), Qt::LeftButton); }

    DriveMap saved_ = ActiveDriveMap();
    test::TempFolder disk_;
    test::MessageRecorder recorder_;
    TfmFileSel sel_;
};

TEST_F(TfmFileSelTest, OkOnlyWhereTheFileIs) {
    const std::tuple<const char*, bool, const char*, bool> cases[] = {  // file, archived, folder, OK
        {"a.mid", false, "D:\\SONGS", true},
        {"a.mid", false, "D:\\OTHER", false},
        {"P.LZH", true, "D:\\SONGS", true},
        {"P.LZH", true, "D:\\OTHER", false},  // an archive of that name without the member
        {"P.LZH", true, "D:\\", false},
    };
    for (const auto& [file, archived, folder, ok] : cases) {
        sel_.SetLostFile(file, archived ? "song.mid" : "", archived);
        sel_.show();
        ASSERT_TRUE(Folders()->SetFolder(folder));
        EXPECT_EQ(sel_.findChild<QLineEdit*>(QStringLiteral("edFile"))->text(),
                  archived ? QStringLiteral("P.LZH->song.mid") : QStringLiteral("a.mid"));
        EXPECT_EQ(sel_.findChild<QPushButton*>("pbOK")->isEnabled(), ok) << file << " in " << folder;
        sel_.hide();
    }
}

TEST_F(TfmFileSelTest, EachWayOfClosingGivesItsResult) {
    struct Case {
        const char* way;
        const char* folder;
        std::function<void()> close;
        ModalResult result;
        std::string resultFolder;
    };
    // One dialog throughout: every showing starts again from "not chosen".
    const Case cases[] = {
        {"pbOK", "D:\\SONGS", [this] { Click("pbOK"); }, ModalResult::Ok, "D:\\SONGS\\"},
        {"pbEnd", "D:\\SONGS", [this] { Click("pbEnd"); }, ModalResult::Abort, ""},
        {"close box", "D:\\SONGS", [this] { sel_.close(); }, ModalResult::No, ""},
        {"pbOK at the root", "D:\\", [this] { Click("pbOK"); }, ModalResult::Ok, "D:\\"},
        {"pbAuto", "D:\\", [this] { Click("pbAuto"); }, ModalResult::Retry, ""},
        {"pbCancel", "D:\\", [this] { Click("pbCancel"); }, ModalResult::No, ""},
        {"no drive ready", "D:\\", [this] {
             DriveMap notReady;
             notReady.Set('E', disk_.Native("gone"));
             notReady.Set('Q', disk_.Native("gone too"));
             SetActiveDriveMap(notReady);
             sel_.findChild<DriveComboBox*>(QStringLiteral("cmbDrive"))->Refill();
             QTest::keyClick(sel_.findChild<DriveComboBox*>(QStringLiteral("cmbDrive")), Qt::Key_Down);
         }, ModalResult::No, ""},
    };
    for (const Case& c : cases) {
        QTimer::singleShot(0, &sel_, [&] {
            EXPECT_TRUE(Folders()->SetFolder(c.folder));
            c.close();
        });
        QTimer stuck;  // a way that fails to close must not hang the test
        QObject::connect(&stuck, &QTimer::timeout, [&] { ADD_FAILURE() << c.way << " did not close"; sel_.done(0); });
        stuck.start(5000);
        EXPECT_EQ(sel_.exec(), static_cast<int>(c.result)) << c.way;
        EXPECT_EQ(sel_.ResultFolder(), c.resultFolder) << c.way;
    }
    EXPECT_EQ(recorder_.Messages().size(), 2u) << "the last drive is not ready, and none is";
}

}  // namespace
}  // namespace kyro
