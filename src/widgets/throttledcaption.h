#pragma once
// A caption panel that a long loop updates at every step (the entry or folder being examined).
// The newest text is kept and painted at once when the last paint is 50 ms old, else by a
// single-shot timer, so that the loop never waits for the screen and the text it stops at is
// the one shown.

#include <QElapsedTimer>
#include <QObject>

#include <string>

class QTimer;

namespace kyro {

class MPanel;

class ThrottledCaption : public QObject {
public:
    static constexpr int kPaintInterval = 50;  // ms

    explicit ThrottledCaption(MPanel* panel);

    void Set(const std::string& cp932);
    void Flush();  // paints the newest text now

private:
    MPanel* panel_;
    std::string pending_;
    QElapsedTimer painted_;  // since the last paint
    QTimer* timer_;
};

}  // namespace kyro
