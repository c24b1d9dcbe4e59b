#pragma once
// TfmListMove: the "List Move" window. Created hidden at start-up; its controls arrive with its own work.

#include <QWidget>

namespace kyro {

class TfmListMove : public QWidget {
    Q_OBJECT
public:
    explicit TfmListMove(QWidget* owner = nullptr);
};

}  // namespace kyro
