#pragma once
// TfmFindDlg: the "File Sertch" window. Created hidden at start-up; its controls arrive with its own work.

#include <QDialog>

namespace kyro {

class TfmFindDlg : public QDialog {
    Q_OBJECT
public:
    explicit TfmFindDlg(QWidget* owner = nullptr);
};

}  // namespace kyro
