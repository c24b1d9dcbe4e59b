#pragma once
// MListBox: a list box with a horizontal scroll bar over a settable width (ScrWidth), for items
// that are long paths and titles.

#include <QListWidget>

#include <string>
#include <vector>

namespace kyro {

class MListBox : public QListWidget {
    Q_OBJECT
    Q_PROPERTY(int ScrWidth READ ScrWidth WRITE SetScrWidth)
public:
    explicit MListBox(QWidget* parent = nullptr);

    int ScrWidth() const { return scrWidth_; }
    void SetScrWidth(int pixels);  // 0 removes the horizontal scroll range

protected:
    void updateGeometries() override;

private:
    int scrWidth_ = 0;
};

// The average width of the capital letters A to Z in the font (sum of the 26 widths divided by
// 26, remainder dropped); 0 when the widths cannot be obtained.
int AverageCapitalWidth(const QFont& font);

// The horizontal extent for a list of CP932 items: the length in bytes of the longest item times
// the average capital width.
int HorizontalExtent(const std::vector<std::string>& items, int averageCapitalWidth);

// Sets the list box's ScrWidth from its items, as the windows do after filling it; leaves it as it
// was when the font's widths cannot be obtained.
void UpdateHorizontalExtent(MListBox& box, const std::vector<std::string>& items);

}  // namespace kyro
