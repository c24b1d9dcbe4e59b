#include "widgets/throttledcaption.h"

#include "platform/cp932.h"
#include "widgets/mpanel.h"

#include <QTimer>

namespace kyro {

ThrottledCaption::ThrottledCaption(MPanel* panel) : QObject(panel), panel_(panel), timer_(new QTimer(this)) {
    timer_->setSingleShot(true);
    timer_->setInterval(kPaintInterval);
    connect(timer_, &QTimer::timeout, this, &ThrottledCaption::Flush);
}

void ThrottledCaption::Set(const std::string& cp932) {
    pending_ = cp932;
    if (!painted_.isValid() || painted_.elapsed() >= kPaintInterval) Flush();
    else if (!timer_->isActive()) timer_->start();
}

void ThrottledCaption::Flush() {
    timer_->stop();
    panel_->SetCaption2(Cp932ToQString(pending_));
    // The loop runs on this thread and processes events only now and then: paint now.
    if (panel_->isVisible()) panel_->repaint();
    painted_.start();
}

}  // namespace kyro
