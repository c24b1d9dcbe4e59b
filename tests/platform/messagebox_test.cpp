#include "platform/messagebox.h"

#include "support/messagerecorder.h"

#include <gtest/gtest.h>

namespace kyro {
namespace {

// Installs a presenter for one test and removes it again.
class ScopedPresenter {
public:
    explicit ScopedPresenter(MessageHandler presenter) { SetMessagePresenter(std::move(presenter)); }
    ~ScopedPresenter() { SetMessagePresenter(nullptr); }
};

TEST(DefaultAnswer, CancelThenNoThenTheFirstButton) {
    EXPECT_EQ(DefaultAnswer(MessageButtons::Ok), ModalResult::Ok);
    EXPECT_EQ(DefaultAnswer(MessageButtons::OkCancel), ModalResult::Cancel);
    EXPECT_EQ(DefaultAnswer(MessageButtons::YesNo), ModalResult::No);
    EXPECT_EQ(DefaultAnswer(MessageButtons::YesNoCancel), ModalResult::Cancel);
    EXPECT_EQ(DefaultAnswer(MessageButtons::RetryCancel), ModalResult::Cancel);
    EXPECT_EQ(DefaultAnswer(MessageButtons::AbortRetryIgnore), ModalResult::Abort);
}

TEST(ShowMessage, WithNothingInstalledTheDefaultAnswerIsTaken) {
    EXPECT_EQ(ShowMessage("x", MessageIcon::Question, MessageButtons::YesNo), ModalResult::No);
    EXPECT_EQ(ShowMessage("x", MessageIcon::Stop), ModalResult::Ok);
}

TEST(ShowMessage, TheResponderTakesPrecedenceOverThePresenter) {
    int presented = 0;
    ScopedPresenter presenter([&](const Message&) {
        ++presented;
        return ModalResult::Yes;
    });
    {
        test::MessageRecorder recorder;
        recorder.Answer(ModalResult::Retry);
        EXPECT_EQ(ShowMessage("first", MessageIcon::Exclamation, MessageButtons::RetryCancel), ModalResult::Retry);
        EXPECT_EQ(ShowMessage("second", MessageIcon::Question, MessageButtons::YesNoCancel), ModalResult::Cancel);
        ASSERT_EQ(recorder.Messages().size(), 2u);
        EXPECT_EQ(recorder.Messages()[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(recorder.Messages()[1].buttons, MessageButtons::YesNoCancel);
        EXPECT_EQ(presented, 0);
    }
    EXPECT_EQ(ShowMessage("third", MessageIcon::Question, MessageButtons::YesNo), ModalResult::Yes);
    EXPECT_EQ(presented, 1);
}

TEST(ShowMessage, RespondersNest) {
    test::MessageRecorder outer;
    {
        test::MessageRecorder inner;
        ShowMessage("inner", MessageIcon::Information);
        EXPECT_EQ(inner.Texts(), std::vector<QString>{"inner"});
    }
    ShowMessage("outer", MessageIcon::Information);
    EXPECT_EQ(outer.Texts(), std::vector<QString>{"outer"});
}

}  // namespace
}  // namespace kyro
