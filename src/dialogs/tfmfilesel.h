#pragma once
// TfmFileSel: the "File Select" window. Created hidden at start-up; its controls arrive with its own work.

#include <QDialog>

namespace kyro {

class TfmFileSel : public QDialog {
    Q_OBJECT
public:
    explicit TfmFileSel(QWidget* owner = nullptr);
};

}  // namespace kyro
