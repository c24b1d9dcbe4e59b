#pragma once
// TfmDocList: the "Document List" window. Created hidden at start-up; its controls arrive with its own work.

#include <QDialog>

namespace kyro {

class TfmDocList : public QDialog {
    Q_OBJECT
public:
    explicit TfmDocList(QWidget* owner = nullptr);
};

}  // namespace kyro
