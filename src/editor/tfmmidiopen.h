#pragma once
// TfmMidiOpen: the "File List" window. Created hidden at start-up; its controls arrive with its own work.

#include <QWidget>

namespace kyro {

class TfmMidiOpen : public QWidget {
    Q_OBJECT
public:
    explicit TfmMidiOpen(QWidget* owner = nullptr);
};

}  // namespace kyro
