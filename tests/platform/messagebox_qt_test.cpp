// The modal QMessageBox that shows the program's messages to the user.
#include "platform/messagebox_qt.h"
#include "support/qtprinters.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace kyro {
namespace {

TEST(QtMessageBox, CaptionIconAndButtonsFollowTheMessage) {
    struct Case {
        MessageIcon icon;
        MessageButtons buttons;
        QMessageBox::Icon qtIcon;
        QMessageBox::StandardButtons qtButtons;
    };
    const Case cases[] = {
        {MessageIcon::Stop, MessageButtons::Ok, QMessageBox::Critical, QMessageBox::Ok},
        {MessageIcon::Exclamation, MessageButtons::Ok, QMessageBox::Warning, QMessageBox::Ok},
        {MessageIcon::Information, MessageButtons::Ok, QMessageBox::Information, QMessageBox::Ok},
        {MessageIcon::Question, MessageButtons::YesNoCancel, QMessageBox::Question,
         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel},
        {MessageIcon::Question, MessageButtons::YesNo, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No},
    };
    for (const auto& c : cases) {
        std::unique_ptr<QMessageBox> box(CreateMessageBox({QStringLiteral("演奏する曲がありません。"), c.icon, c.buttons}));
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Kyrotune LZH"));
        EXPECT_EQ(box->text(), QStringLiteral("演奏する曲がありません。"));
        EXPECT_EQ(box->icon(), c.qtIcon);
        EXPECT_EQ(box->standardButtons(), c.qtButtons);
    }
}

// The answer is the button the user clicked; a box closed without one gives the default answer.
TEST(QtMessageBox, ShowMessageReturnsTheClickedButton) {
    InstallQtMessagePresenter();
    auto clickWhenShown = [](QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            if (button == QMessageBox::NoButton)
                box->reject();
            else
                box->button(button)->click();
        });
    };
    clickWhenShown(QMessageBox::No);
    EXPECT_EQ(ShowMessage(QStringLiteral("?"), MessageIcon::Question, MessageButtons::YesNoCancel), ModalResult::No);
    clickWhenShown(QMessageBox::Yes);
    EXPECT_EQ(ShowMessage(QStringLiteral("?"), MessageIcon::Question, MessageButtons::YesNoCancel), ModalResult::Yes);
    clickWhenShown(QMessageBox::NoButton);
    EXPECT_EQ(ShowMessage(QStringLiteral("?"), MessageIcon::Question, MessageButtons::YesNoCancel),
              ModalResult::Cancel);
    SetMessagePresenter(nullptr);
}

}  // namespace
}  // namespace kyro
