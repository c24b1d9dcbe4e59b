#pragma once
// TfmFileMove: the "File Move" window. Created hidden at start-up; its controls arrive with its own work.

#include <QWidget>

namespace kyro {

class TfmFileMove : public QWidget {
    Q_OBJECT
public:
    explicit TfmFileMove(QWidget* owner = nullptr);
};

}  // namespace kyro
