#include "app/trayicon.h"

#include "platform/cp932.h"

#include <QApplication>
#include <QMouseEvent>
#include <QElapsedTimer>
#include <QStyle>

#include <memory>

namespace kyro {

QString TrayTipText(bool playing, const QString& title) {
    if (!playing) return QApplication::applicationName();
    if (auto bytes = QStringToCp932(title)) return Cp932ToQString(CutCp932(*bytes, kTrayTipMaxBytes));
    return title.left(kTrayTipMaxBytes / 2);  // not CP932: at most 63 bytes whatever the characters
}

TrayIcon::TrayIcon(QObject* parent) : QObject(parent), icon_(new QSystemTrayIcon(this)) {
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_MediaPlay);
    icon_->setIcon(icon);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    clock_ = [started] { return started->elapsed(); };
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { Activate(reason, clock_()); });
    qApp->installEventFilter(this);
}

// On X11 the icon reports the first click of a right double-click as a context activation and
// keeps the second to itself (it passes double-clicks on only for the left button): that second
// click is taken here, so that the pair can close the window.
bool TrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick && watched->inherits("QSystemTrayIconSys") &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
        Activate(QSystemTrayIcon::Context, clock_());
    return false;
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::Add() {
    icon_->setToolTip(QApplication::applicationName());
    // Without a tray host there is nothing to show the icon in (and Qt would only warn).
    if (HostAvailable()) icon_->show();
    added_ = true;
}

void TrayIcon::Remove() {
    icon_->hide();
    added_ = false;
}

void TrayIcon::UpdateTip(bool playing, const QString& title) { icon_->setToolTip(TrayTipText(playing, title)); }

QString TrayIcon::Tip() const { return icon_->toolTip(); }

bool TrayIcon::CanHideWindow() const { return added_ && icon_->isVisible() && HostAvailable(); }

bool TrayIcon::HostAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void TrayIcon::Activate(QSystemTrayIcon::ActivationReason reason, qint64 nowMs) {
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        lastContextMs_ = -1;
        emit restoreRequested();
        break;
    case QSystemTrayIcon::Context:
        // No right double-click is reported: two context activations within the double-click
        // interval count as one.
        if (lastContextMs_ >= 0 && nowMs - lastContextMs_ <= QApplication::doubleClickInterval()) {
            lastContextMs_ = -1;
            emit closeRequested();
        } else {
            lastContextMs_ = nowMs;
        }
        break;
    default:
        break;
    }
}

}  // namespace kyro
