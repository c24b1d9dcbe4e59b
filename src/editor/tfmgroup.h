#pragma once
// TfmGroup: the "Group" window. Created hidden at start-up; its controls arrive with its own work.

#include <QDialog>

namespace kyro {

class TfmGroup : public QDialog {
    Q_OBJECT
public:
    explicit TfmGroup(QWidget* owner = nullptr);
};

}  // namespace kyro
