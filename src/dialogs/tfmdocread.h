#pragma once
// TfmDocRead: the "Document Reader" window. Created hidden at start-up; its controls arrive with its own work.

#include <QWidget>

namespace kyro {

class TfmDocRead : public QWidget {
    Q_OBJECT
public:
    explicit TfmDocRead(QWidget* owner = nullptr);
};

}  // namespace kyro
