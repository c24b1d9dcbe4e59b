#pragma once
// TfmSystem: the "System" settings dialog, opened modally by the main window's SYSTEM button.
// Its controls arrive with its own work.

#include <QDialog>

namespace kyro {

class TfmSystem : public QDialog {
    Q_OBJECT
public:
    explicit TfmSystem(QWidget* owner = nullptr);
};

}  // namespace kyro
