#include "platform/linkmessages.h"

#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kyro {
namespace {

// Records every call and answers with a fixed result.
class RecordingTarget : public LinkTarget {
public:
    struct Call {
        LinkMessage msg;
        std::intptr_t wParam;
        LParam lParam;
    };

    std::intptr_t HandleLinkMessage(LinkMessage msg, std::intptr_t wParam, const LParam& lParam) override {
        calls.push_back({msg, wParam, lParam});
        if (std::string* text = LParamText(lParam)) *text = "answered";
        return 42;
    }

    std::vector<Call> calls;
};

TEST(SendLinkMessage, CallsTheHandlerAtOnceAndReturnsItsResult) {
    RecordingTarget target;
    std::string text;
    EXPECT_EQ(SendLinkMessage(&target, LinkMessage::UM_GET_DOC_PATH, 7, &text), 42);
    ASSERT_EQ(target.calls.size(), 1u);
    EXPECT_EQ(target.calls[0].msg, LinkMessage::UM_GET_DOC_PATH);
    EXPECT_EQ(target.calls[0].wParam, 7);
    EXPECT_EQ(text, "answered");  // a text variable is filled in by the receiver
}

TEST(SendLinkMessage, NoTargetAnswersZero) {
    EXPECT_EQ(SendLinkMessage(nullptr, LinkMessage::UM_LIST_CHANGED), 0);
}

TEST(PostLinkMessage, RunsLaterOnTheEventLoop) {
    RecordingTarget target;
    QObject context;
    PostLinkMessage(&context, &target, LinkMessage::UM_START_SEARCH, 3, std::intptr_t{9});
    EXPECT_TRUE(target.calls.empty());
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(target.calls.size(), 1u);
    EXPECT_EQ(target.calls[0].msg, LinkMessage::UM_START_SEARCH);
    EXPECT_EQ(target.calls[0].wParam, 3);
    EXPECT_EQ(LParamNumber(target.calls[0].lParam), 9);
}

TEST(PostLinkMessage, NothingRunsOnceTheContextIsGone) {
    RecordingTarget target;
    auto context = std::make_unique<QObject>();
    PostLinkMessage(context.get(), &target, LinkMessage::UM_START_SEARCH);
    context.reset();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(target.calls.empty());

    PostLinkMessage(nullptr, &target, LinkMessage::UM_START_SEARCH);
    QObject alive;
    PostLinkMessage(&alive, nullptr, LinkMessage::UM_START_SEARCH);  // must not crash
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(target.calls.empty());
}

TEST(LParamAccessors, GiveOnlyNonNullValuesOfTheirOwnKind) {
    int dummy = 0;  // stands for a control; the accessors never touch what they point at
    auto* list = reinterpret_cast<QListWidget*>(&dummy);
    auto* combo = reinterpret_cast<QComboBox*>(&dummy);
    std::string text;

    const LParam empty;
    EXPECT_EQ(LParamListBox(empty), nullptr);
    EXPECT_EQ(LParamComboBox(empty), nullptr);
    EXPECT_EQ(LParamText(empty), nullptr);
    EXPECT_EQ(LParamNumber(empty), 0);

    EXPECT_EQ(LParamListBox(list), list);
    EXPECT_EQ(LParamComboBox(list), nullptr);  // a list box is not a combo box
    EXPECT_EQ(LParamComboBox(combo), combo);
    EXPECT_EQ(LParamText(&text), &text);
    EXPECT_EQ(LParamNumber(&text), 0);
    EXPECT_EQ(LParamNumber(std::intptr_t{-5}), -5);

    EXPECT_EQ(LParamListBox(static_cast<QListWidget*>(nullptr)), nullptr);
    EXPECT_EQ(LParamText(static_cast<std::string*>(nullptr)), nullptr);
}

}  // namespace
}  // namespace kyro
