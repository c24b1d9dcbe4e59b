#pragma once
// TfmTitle: the "Title" window. Created hidden at start-up; its controls arrive with its own work.

#include <QWidget>

namespace kyro {

class TfmTitle : public QWidget {
    Q_OBJECT
public:
    explicit TfmTitle(QWidget* owner = nullptr);
};

}  // namespace kyro
