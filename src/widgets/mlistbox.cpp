#include "widgets/mlistbox.h"

#include <QFontMetrics>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace kyro {

MListBox::MListBox(QWidget* parent) : QListWidget(parent) {
    // The scroll range is ScrWidth, not the items' own widths, so it moves by pixels; items are
    // cut at the edge rather than shortened with an ellipsis.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideNone);
}

void MListBox::SetScrWidth(int pixels) {
    scrWidth_ = std::max(0, pixels);
    updateGeometries();
}

void MListBox::updateGeometries() {
    // The bar is shown exactly when the extent is wider than the list. Left "as needed", the view
    // would decide from the items' widths and fight the range set below.
    const Qt::ScrollBarPolicy policy = scrWidth_ > viewport()->width() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (horizontalScrollBarPolicy() != policy) setHorizontalScrollBarPolicy(policy);  // relays out the viewport

    QListWidget::updateGeometries();
    QScrollBar* bar = horizontalScrollBar();
    const int viewportWidth = viewport()->width();
    bar->setRange(0, scrWidth_ > 0 ? std::max(0, scrWidth_ - viewportWidth) : 0);
    bar->setPageStep(std::max(1, viewportWidth));
    bar->setSingleStep(std::max(1, fontMetrics().averageCharWidth()));
}

int AverageCapitalWidth(const QFont& font) {
    const QFontMetrics metrics(font);
    int sum = 0;
    for (char c = 'A'; c <= 'Z'; ++c) sum += metrics.horizontalAdvance(QLatin1Char(c));
    return sum > 0 ? sum / 26 : 0;
}

int HorizontalExtent(const std::vector<std::string>& items, int averageCapitalWidth) {
    std::size_t longest = 0;
    for (const std::string& item : items) longest = std::max(longest, item.size());
    if (averageCapitalWidth <= 0) return 0;
    // Lengths count CP932 bytes: a two-byte character is about two capitals wide.
    const long long extent = static_cast<long long>(longest) * averageCapitalWidth;
    return static_cast<int>(std::min<long long>(extent, INT_MAX));
}

void UpdateHorizontalExtent(MListBox& box, const std::vector<std::string>& items) {
    const int average = AverageCapitalWidth(box.font());
    if (average == 0) return;
    box.SetScrWidth(HorizontalExtent(items, average));
}

}  // namespace kyro
