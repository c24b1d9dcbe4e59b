#pragma once
// TfmMidiOpen: the "File List" window. Created hidden at start-up; its controls arrive with its own work.

#include "platform/linkmessages.h"

#include <QWidget>

namespace kyro {

class TfmMidiOpen : public QWidget, public LinkTarget {
    Q_OBJECT
public:
    explicit TfmMidiOpen(QWidget* owner = nullptr);

    // The editor's close query, asked by the main window before the program ends: false keeps the
    // program running. Nothing is edited yet, so there is nothing to ask about.
    virtual bool CloseQuery() { return true; }

    // Requests of the other windows; none is served yet.
    std::intptr_t HandleLinkMessage(LinkMessage msg, std::intptr_t wParam, const LParam& lParam) override;
};

}  // namespace kyro
