#pragma once
// The main window's icon in the desktop's notification area: its tip shows the playing title,
// a left double-click brings the window back and a right double-click closes it. Minimising
// hides the window into the icon only where a tray host exists; elsewhere the window could not
// be brought back, so minimising stays an ordinary minimise.

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>

namespace kyro {

inline constexpr int kTrayTipMaxBytes = 63;

// The tip for a title shown in edTitle: the title cut to its first 63 CP932 bytes (never ending
// in the first byte of a two-byte character) while a song plays, the application title otherwise.
QString TrayTipText(bool playing, const QString& title);

class TrayIcon : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<qint64()>;  // milliseconds, any fixed origin

    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    void Add();     // shows the icon with the application title as tip
    void Remove();  // takes the icon away
    bool Added() const { return added_; }
    void UpdateTip(bool playing, const QString& title);
    QString Tip() const;

    static bool HostAvailable();
    // True when the icon shows in a tray host, so that a window hidden into it can come back.
    bool CanHideWindow() const;

    // Tests replace the clock that pairs two context activations.
    void SetClock(Clock clock) { clock_ = std::move(clock); }
    // One activation at time nowMs; the icon's own activations arrive here with the clock's time.
    void Activate(QSystemTrayIcon::ActivationReason reason, qint64 nowMs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void restoreRequested();  // left double-click
    void closeRequested();    // right double-click

private:
    QSystemTrayIcon* icon_;
    Clock clock_;
    bool added_ = false;
    qint64 lastContextMs_ = -1;  // the context activation waiting for its second click
};

}  // namespace kyro
