#pragma once
// TfmTitle: the "Title" window. Created hidden at start-up; its controls arrive with its own work.

#include "platform/linkmessages.h"

#include <QWidget>

namespace kyro {

class TfmTitle : public QWidget, public LinkTarget {
    Q_OBJECT
public:
    explicit TfmTitle(QWidget* owner = nullptr);

    // The list editor's notices; the window follows them once it has its controls.
    std::intptr_t HandleLinkMessage(LinkMessage, std::intptr_t, const LParam&) override { return 0; }
};

}  // namespace kyro
