// The desktop asks its programs to keep their data before it ends the session, and the logout may
// still be cancelled. The program used to quit at once and drop the list being edited; it now
// keeps what its close keeps, asks about the unsaved list where the session manager lets it, and
// runs on until the session really ends.
#include "editor/editorwindow.h"

#include "app/resumestate.h"

#include <QSignalSpy>

namespace kyro {
namespace {

class SessionCommitTest : public test::EditorWindowTest {};

TEST_F(SessionCommitTest, KeepsTheDataAsksWhereItMayAndRunsOn) {
    const struct {
        const char* what;
        bool mayAsk;
        ModalResult answer;
        bool logoutGoesOn;
        bool asked, listSaved;
    } cases[] = {
        {"Cancel keeps the session", true, ModalResult::Cancel, false, true, false},
        {"Yes saves the list", true, ModalResult::Yes, true, true, true},
        {"No leaves it", true, ModalResult::No, true, true, false},
        {"nobody to ask", false, ModalResult::Yes, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Open(Numbered(3), kAsking);
        Select("lbEntryFile", {2});
        editor.pbDelListClick();  // an unsaved list
        mid->show();
        mid->ApplyTitle("Z:\\m\\0.MID", "read while playing");
        std::remove(folder.Native(kResumeFileName).c_str());
        QSignalSpy ending(mid.get(), &TfmMid::ProgramEnding);
        const std::size_t before = messages.Messages().size();
        messages.Answer(c.answer);

        EXPECT_EQ(mid->CommitSessionData(c.mayAsk), c.logoutGoesOn);
        EXPECT_EQ(messages.Messages().size(), before + (c.asked ? 1 : 0));
        EXPECT_TRUE(folder.Exists(kResumeFileName)) << "the play order was not kept";
        EXPECT_EQ(folder.Read(kTitleFileName).rfind("read while playing\r\n", 0), 0u) << "the title was not kept";
        EXPECT_EQ(folder.Read(kListFileName).find("2.MID") == std::string::npos, c.listSaved);
        EXPECT_TRUE(ending.isEmpty()) << "the program ended before the session did";
        EXPECT_TRUE(mid->isVisible());
        EXPECT_TRUE(editor.isVisible());
        editor.hide();
    }
}

}  // namespace
}  // namespace kyro
