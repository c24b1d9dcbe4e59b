// TfmDocRead: the document the editor names is unpacked with the real archive library, shown as
// Japanese text and its copy deleted; what is not text, or too large, is refused. Drive D holds
// the archive DOCS.LZH and the temporary folder TEMP\.
#include "dialogs/tfmdocread.h"

#include "platform/drives.h"
#include "platform/linkmessages.h"
#include "songfiles/archivelibrary.h"

#include "realarchives.h"
#include "support/messagerecorder.h"
#include "support/tempfolder.h"

#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace kyro {
namespace {

using test::RealLibrary;

// Answers UM_GET_DOC_PATH with `documentPath` (nothing when it is empty, as while busy).
class FakeEditor : public LinkTarget {
public:
    std::intptr_t HandleLinkMessage(LinkMessage msg, std::intptr_t, const LParam& lParam) override {
        received.push_back(msg);
        if (msg != LinkMessage::UM_GET_DOC_PATH || documentPath.empty()) return 0;
        *LParamText(lParam) = documentPath;
        return 1;
    }
    std::string documentPath;
    std::vector<LinkMessage> received;
};

class TfmDocReadTest : public ::testing::Test {
protected:
    void SetUp() override {
        DriveMap map = DriveMap::Default();
        map.Set('D', disk_.Native());
        SetActiveDriveMap(map);
        ASSERT_NE(RealLibrary(), nullptr) << "libunlha32.so did not load";
        RealLibrary()->Functions().SetPathResolver(&test::ResolveThroughDriveMap);
        disk_.MakeFolder("TEMP");
        std::string withNul = "MZ";
        withNul += '\0';
        ASSERT_TRUE(test::WriteLzh(disk_.Native("DOCS.LZH"),
                                   {{"README.TXT", "", "\x93\xfa\x96\x7b\x8c\xea\r\nline 2\rline 3\n", 0},  // 日本語
                                    {"BIG.DOC", "", std::string(TfmDocRead::kMaxDocumentBytes + 1, 'a'), 0},
                                    {"TOOL.DOC", "", withNul, 0}}));
        reader_.SetEditor(&editor_);
        reader_.SetUnpacking([] { return DocumentUnpacking{RealLibrary(), "D:\\TEMP\\", 0}; });
    }
    void TearDown() override {
        RealLibrary()->Functions().SetPathResolver(nullptr);
        SetActiveDriveMap(saved_);
    }
    QString Shown() const { return reader_.findChild<QPlainTextEdit*>(QStringLiteral("edMemo"))->toPlainText(); }

    DriveMap saved_ = ActiveDriveMap();
    test::TempFolder disk_;
    test::MessageRecorder recorder_;
    FakeEditor editor_;
    TfmDocRead reader_;
};

TEST_F(TfmDocReadTest, ShowsTheDocumentAndDeletesItsCopy) {
    editor_.documentPath = "D:\\DOCS.LZH->README.TXT";
    reader_.show();
    EXPECT_EQ(Shown(), QStringLiteral("日本語\nline 2\nline 3\n"));
    EXPECT_TRUE(disk_.Entries("TEMP").empty());
    EXPECT_EQ(editor_.received, (std::vector<LinkMessage>{LinkMessage::UM_DOC_DISABLE, LinkMessage::UM_GET_DOC_PATH}));

    reader_.close();
    EXPECT_EQ(editor_.received.back(), LinkMessage::UM_DOC_ENABLE);
    EXPECT_TRUE(recorder_.Messages().empty());
}

TEST_F(TfmDocReadTest, ShowsNothingItCannotOrShouldNot) {
    const std::pair<const char*, const char*> cases[] = {
        {"D:\\DOCS.LZH->BIG.DOC", "文書が大きすぎるため表示できません。"},
        {"D:\\DOCS.LZH->TOOL.DOC", "テキスト文書ではないため表示できません。"},
        {"D:\\DOCS.LZH->GONE.TXT", nullptr},  // the library fails: the window stays empty
        {"", nullptr},                        // the editor was busy and named no document
    };
    for (const auto& [path, message] : cases) {
        const std::size_t before = recorder_.Texts().size();
        editor_.documentPath = path;
        reader_.show();
        EXPECT_TRUE(Shown().isEmpty()) << path;
        EXPECT_TRUE(disk_.Entries("TEMP").empty()) << path;
        const std::vector<QString> all = recorder_.Texts();
        const std::vector<QString> texts(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        EXPECT_EQ(texts, message ? std::vector<QString>{QString::fromUtf8(message)} : std::vector<QString>{}) << path;
        reader_.close();
    }
}

}  // namespace
}  // namespace kyro
