#include "widgets/mpanel.h"

#include <QPainter>
#include <QStyle>

namespace kyro {

namespace {
const QChar kAmp = QLatin1Char('&');
}

QString DoubleAmpersands(const QString& text) {
    QString out;
    out.reserve(text.size() + text.count(kAmp));
    for (QChar c : text) {
        out += c;
        if (c == kAmp) out += kAmp;
    }
    return out;
}

QString HalveAmpersands(const QString& caption) {
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        out += caption[i];
        // Of a pair "&&" only the first is dropped; the scan goes on after the one that stays.
        if (caption[i] == kAmp && i + 1 < caption.size() && caption[i + 1] == kAmp) ++i;
    }
    return out;
}

MPanel::MPanel(QWidget* parent) : QFrame(parent) {
    // The windows use a flat panel; those that want no border switch the frame off.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
}

QString MPanel::DisplayedText(const QString& caption) {
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != kAmp) {
            out += caption[i];
            continue;
        }
        // "&&" shows one "&"; "&x" shows x (its underline stays hidden); a final "&" shows nothing.
        if (i + 1 < caption.size()) out += caption[++i];
    }
    return out;
}

void MPanel::SetCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    update();
}

void MPanel::SetCaption2(const QString& text) { SetCaption(DoubleAmpersands(text)); }

QString MPanel::Caption2() const { return HalveAmpersands(caption_); }

void MPanel::SetAlignment(Qt::Alignment a) {
    alignment_ = a;
    update();
}

void MPanel::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    QPainter p(this);
    const QRect r = contentsRect();
    p.setClipRect(r);  // a long path is cut at the border, never shortened with an ellipsis
    // The accelerator marks are resolved by DisplayedText, so the style gets no mnemonic flag and
    // draws every character as it is.
    style()->drawItemText(&p, r, int(alignment_ | Qt::TextSingleLine), palette(), isEnabled(),
                          DisplayedText(caption_), foregroundRole());
}

}  // namespace kyro
