#pragma once
// TfmWait: the "Just a Moment ..." window. Created hidden at start-up; its controls arrive with its own work.

#include <QDialog>

namespace kyro {

class TfmWait : public QDialog {
    Q_OBJECT
public:
    explicit TfmWait(QWidget* owner = nullptr);
};

}  // namespace kyro
