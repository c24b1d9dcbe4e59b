#pragma once
// MPanel: a caption panel that shows its text literally. Paths, titles and group names may hold
// "&", which an ordinary caption would turn into a keyboard accelerator; Caption2 doubles every
// "&" on the way in and halves every "&&" on the way out.

#include <QFrame>
#include <QString>

namespace kyro {

class MPanel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString Caption2 READ Caption2 WRITE SetCaption2)
public:
    explicit MPanel(QWidget* parent = nullptr);

    // The caption with accelerator marks: "&x" underlines x (hidden), "&&" shows "&".
    void SetCaption(const QString& caption);
    QString Caption() const { return caption_; }

    void SetCaption2(const QString& text);  // shown exactly as given
    QString Caption2() const;

    void SetAlignment(Qt::Alignment a);

    // The text a caption shows on screen: "&&" as "&", "&x" as x.
    static QString DisplayedText(const QString& caption);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString caption_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};

// "A&B&&C" -> "A&&B&&&&C" and back.
QString DoubleAmpersands(const QString& text);
QString HalveAmpersands(const QString& caption);

}  // namespace kyro
