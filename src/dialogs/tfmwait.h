#pragma once
// TfmWait: the "Just a Moment ..." dialog. Modal in wait mode 1, a countdown while the archive
// library is busy (result OK: try again; Cancel: give up); modeless in wait modes 2 to 4, over a
// long loop of the caller, which processes events now and then and reads the cancel flag.

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;
class QTimer;

namespace kyro {

class MPanel;
class ThrottledCaption;

class TfmWait : public QDialog {
    Q_OBJECT
public:
    // 1 archive library busy, 2 searching files, 3 duplicate check, 4 lost-file check.
    enum WaitMode { kArchiveBusy = 1, kSearchingFiles = 2, kDuplicateCheck = 3, kLostFileCheck = 4 };

    explicit TfmWait(QWidget* owner = nullptr);

    void SetWaitMode(int mode) { waitMode_ = mode; }
    int WaitMode() const { return waitMode_; }
    void SetUnlhaBusy(int seconds) { unlhaBusy_ = seconds; }  // the countdown of wait mode 1

    // Modeless use: shows the dialog without waiting (the cancel flag is cleared); the caller
    // hides it when its loop ends.
    void ShowModeless();
    bool Cancelled() const { return cancelled_; }

    // Wait mode 4: the group and the entry being examined (CP932). The entry changes for every
    // entry of a long walk; it is painted at most every 50 ms, so that painting does not slow it.
    void SetGroupName(const std::string& name);
    void SetListName(const std::string& path);

    // The handlers.
    void FormShow();
    void Timer1Timer();
    void CancelBtnClick();
    void DummyClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void hideEvent(QHideEvent* event) override;

    int waitMode_ = kArchiveBusy;
    int unlhaBusy_ = 0;
    int countdown_ = 0;
    bool cancelled_ = false;

    MPanel* edMode_ = nullptr;
    QLabel* lblJust_ = nullptr;
    MPanel* edStatus_ = nullptr;
    MPanel* edGrpName_ = nullptr;
    MPanel* edListName_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
    QPushButton* dummy_ = nullptr;
    QTimer* timer1_ = nullptr;

    ThrottledCaption* listName_ = nullptr;  // edListName during a long walk
};

}  // namespace kyro
