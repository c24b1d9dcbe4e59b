// TfmFindDlg: what each warning bit asks before a find is taken, the archive checks, the buttons
// and the close box during the walk, and a search that finds nothing. Drives D: and E: are test
// folders, made afresh for each case.
#include "dialogs/tfmfinddlg.h"

#include "library/settings.h"
#include "platform/drives.h"
#include "widgets/mpanel.h"

#include "realarchives.h"
#include "support/messagerecorder.h"
#include "support/tempfolder.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace kyro {
namespace {

using test::TempFolder;
using Answers = std::vector<ModalResult>;
using MakeDrives = std::function<void(const TempFolder& d, const TempFolder& e)>;

const ModalResult Yes = ModalResult::Yes;
const ModalResult No = ModalResult::No;

QString Found(const char* found) {
    return QStringLiteral("ファイルを発見しました。\n[") + QString::fromLatin1(found) +
           QStringLiteral("]\n登録リストをこのファイルに置き換えますか？");
}

// Answers every message with `answer` and then, once the search goes on, does `then`: the way
// to act while the walk runs.
class AnswerThen {
public:
    AnswerThen(QObject* context, ModalResult answer, std::function<void()> then) {
        previous_ = SetMessageResponder([=](const Message&) {
            QTimer::singleShot(0, context, then);
            return answer;
        });
    }
    ~AnswerThen() { SetMessageResponder(previous_); }

private:
    MessageHandler previous_;
};

class TfmFindDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(test::RealLibrary(), nullptr) << "libunlha32.so did not load";
        test::RealLibrary()->Functions().SetPathResolver(&test::ResolveThroughDriveMap);
    }
    void TearDown() override {
        if (test::RealLibrary()) test::RealLibrary()->Functions().SetPathResolver(nullptr);
        SetActiveDriveMap(saved_);
    }

    // Fresh drives D: and E:, made by `make`, for the next search.
    void NewDrives(const MakeDrives& make) {
        d_ = std::make_unique<TempFolder>();
        e_ = std::make_unique<TempFolder>();
        make(*d_, *e_);
        DriveMap drives;
        drives.Set('D', d_->Native());
        drives.Set('E', e_->Native());
        SetActiveDriveMap(drives);
    }

    ModalResult Run() {
        QTimer stuck;  // a search that fails to close must not hang the test
        QObject::connect(&stuck, &QTimer::timeout, [&] {
            ADD_FAILURE() << "the dialog did not close";
            dlg_.done(0);
        });
        stuck.start(10000);
        return dlg_.Run();
    }

    QString Panel(const char* name) { return dlg_.findChild<MPanel*>(name)->Caption2(); }

    DriveMap saved_ = ActiveDriveMap();
    std::unique_ptr<TempFolder> d_, e_;
    TfmFindDlg dlg_;
};

TEST_F(TfmFindDlgTest, EachFindIsTakenOrPassedOverAsTheWarningBitsSay) {
    const MakeDrives loose = [](const TempFolder& d, const TempFolder& e) {
        d.Write("SONGS/A.MID", "song");
        e.Write("a.mid", "song");
    };
    const MakeDrives withSong = [](const TempFolder& d, const TempFolder&) {
        ASSERT_TRUE(test::WriteArchive(d.MakeFolder("NEW") + "/P.LZH", "song.mid"));
    };
    const MakeDrives withoutSongThenWith = [](const TempFolder& d, const TempFolder& e) {
        ASSERT_TRUE(test::WriteArchive(d.MakeFolder("NEW") + "/P.LZH", "other.mid"));
        ASSERT_TRUE(test::WriteArchive(e.MakeFolder("SUB") + "/P.LZH", "song.mid"));
    };
    const MakeDrives brokenThenWith = [](const TempFolder& d, const TempFolder& e) {
        d.Write("NEW/P.LZH", "not an archive");
        ASSERT_TRUE(test::WriteArchive(e.MakeFolder("SUB") + "/P.LZH", "song.mid"));
    };
    const QString noSong = QStringLiteral("圧縮ファイルを発見しましたが、\n圧縮ファイル内に該当ファイルが存在しません。\n"
                                          "検索を続行しますか？");
    const QString broken = QStringLiteral("ﾌｧｲﾙが異常です。\nCheckArchive ERROR\n\n[ D:\\NEW\\P.LZH ]");
    const QString unchecked = QStringLiteral("圧縮ファイルを発見しましたが、\n"
                                             "UNLHA32.DLLがロードされていない為 圧縮ファイル内を検索できません。\n"
                                             "[D:\\NEW\\P.LZH->song.mid]\n登録リストをこのファイルに置き換えますか？");
    struct Case {
        MakeDrives make;
        bool archived;
        bool libraryLoaded;
        int warningMsg;
        Answers answers;
        ModalResult result;
        const char* resultFolder;  // nullptr: not looked at
        std::vector<QString> messages;
    };
    // One dialog throughout: every showing starts the search again.
    const QString declined[] = {Found("D:\\SONGS\\a.mid"), Found("E:\\a.mid")};
    const Case cases[] = {
        {loose, false, true, 0, {}, ModalResult::Ok, "D:\\SONGS\\", {}},
        {loose, false, true, ~kWarnFileFound, {}, ModalResult::Ok, "D:\\SONGS\\", {}},
        {loose, false, true, kWarnFileFound, {Yes}, ModalResult::Ok, "D:\\SONGS\\", {Found("D:\\SONGS\\a.mid")}},
        {loose, false, true, kWarnFileFound, {No, Yes}, ModalResult::Ok, "E:\\", {declined[0], declined[1]}},
        {loose, false, true, kWarnFileFound, {No, No}, ModalResult::No, nullptr, {declined[0], declined[1]}},
        {withSong, true, true, 0, {}, ModalResult::Ok, "D:\\NEW\\", {}},
        {withSong, true, true, kWarnLzhFound, {Yes}, ModalResult::Ok, "D:\\NEW\\", {Found("D:\\NEW\\P.LZH->song.mid")}},
        {withoutSongThenWith, true, true, 0, {}, ModalResult::Ok, "E:\\SUB\\", {}},
        {withoutSongThenWith, true, true, kWarnLzhNotFound, {Yes}, ModalResult::Ok, "E:\\SUB\\", {noSong}},
        {withoutSongThenWith, true, true, kWarnLzhNotFound, {No}, ModalResult::No, nullptr, {noSong}},
        {brokenThenWith, true, true, 0, {}, ModalResult::Ok, "E:\\SUB\\", {broken}},
        {withSong, true, false, 0, {}, ModalResult::Ok, "D:\\NEW\\", {}},
        {withSong, true, false, kWarnCantLzh, {Yes}, ModalResult::Ok, "D:\\NEW\\", {unchecked}},
    };
    for (const Case& c : cases) {
        const int row = static_cast<int>(&c - cases);
        NewDrives(c.make);
        test::MessageRecorder recorder;
        for (ModalResult answer : c.answers) recorder.Answer(answer);
        if (c.archived)
            dlg_.SetLostFile("D:\\OLD\\P.LZH", "P.LZH", "song.mid", true);
        else
            dlg_.SetLostFile("D:\\OLD\\a.mid", "a.mid", "", false);
        dlg_.SetArchiveLibrary(c.libraryLoaded ? test::RealLibrary() : nullptr);
        dlg_.SetWarningMsg(c.warningMsg);
        EXPECT_EQ(Run(), c.result) << "row " << row;
        EXPECT_EQ(recorder.Texts(), c.messages) << "row " << row;
        for (const Message& m : recorder.Messages())  // questions ask; the library's failure warns
            EXPECT_EQ(m.icon, m.buttons == MessageButtons::YesNo ? MessageIcon::Question : MessageIcon::Exclamation);
        if (!c.resultFolder) continue;
        EXPECT_EQ(dlg_.ResultFolder(), c.resultFolder) << "row " << row;
        EXPECT_EQ(Panel("lblFolder").toStdString(), c.resultFolder) << "the folder of the find stays on show";
    }
    EXPECT_EQ(Panel("lblSrc"), QStringLiteral("D:\\OLD\\P.LZH->song.mid"));
    EXPECT_EQ(Panel("lblFile"), QStringLiteral("P.LZH->song.mid"));
}

TEST_F(TfmFindDlgTest, ButtonsAndTheCloseBoxStopTheWalk) {
    // D:\a.mid is declined; the walk of E:'s 60 folders then meets the button.
    const std::pair<const char*, ModalResult> cases[] = {
        {"pbEnd", ModalResult::Abort},
        {"pbSelf", ModalResult::Retry},
        {"pbCancel", ModalResult::Cancel},
        {nullptr, ModalResult::Cancel},  // the close box
    };
    for (const auto& [button, result] : cases) {
        NewDrives([](const TempFolder& d, const TempFolder& e) {
            d.Write("a.mid", "song");
            for (int i = 0; i < 60; ++i) e.MakeFolder("F" + std::to_string(i));
        });
        const AnswerThen declineThenPress(&dlg_, No, [this, button = button] {
            if (button)
                QTest::mouseClick(dlg_.findChild<QPushButton*>(button), Qt::LeftButton);
            else
                dlg_.close();
        });
        dlg_.SetLostFile("D:\\a.mid", "a.mid", "", false);
        dlg_.SetWarningMsg(kWarnFileFound);
        EXPECT_EQ(Run(), result) << (button ? button : "close box");
        EXPECT_NE(Panel("lblFolder"), QStringLiteral("E:\\F9\\")) << "stopped before the last folder";
    }
}

TEST_F(TfmFindDlgTest, NothingFoundKeepsTheEarlierResultFolder) {
    NewDrives([](const TempFolder& d, const TempFolder& e) {
        d.Write("SONGS/a.mid", "song");
        e.MakeFolder("X/Y");
    });
    dlg_.SetLostFile("D:\\OLD\\a.mid", "a.mid", "", false);
    ASSERT_EQ(Run(), ModalResult::Ok);
    ASSERT_EQ(dlg_.ResultFolder(), "D:\\SONGS\\");

    std::remove(d_->Native("SONGS/a.mid").c_str());
    EXPECT_EQ(Run(), ModalResult::No);
    EXPECT_EQ(dlg_.ResultFolder(), "D:\\SONGS\\");
    EXPECT_EQ(Panel("lblFolder"), QStringLiteral("E:\\X\\Y\\")) << "the last folder walked stays on show";
}

}  // namespace
}  // namespace kyro
