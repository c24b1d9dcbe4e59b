#pragma once
// Link messages: the numbered requests and notices that the program's windows send one another.
//
// A send is a synchronous call of the target's HandleLinkMessage with two arguments and returns
// its result; a post queues the same call on the target's event loop. LParam carries what the
// original passed by reference: a list box, a combo box, a text variable, or a plain number.

#include <QObject>

#include <cstdint>
#include <string>
#include <variant>

class QListWidget;
class QComboBox;

namespace kyro {

enum class LinkMessage : int {
    UM_LIST_CHANGED = 1025,
    UM_COPY_TITLES = 1026,
    UM_SYNC_SELECTION = 1027,
    UM_GET_DOC_PATH = 1028,
    UM_DOC_ENABLE = 1029,
    UM_DOC_DISABLE = 1030,
    UM_SET_TITLE = 1031,
    UM_RELOAD_TITLES = 1032,
    UM_COPY_GROUP_NAMES = 1033,
    UM_SYNC_GROUP = 1034,
    UM_TITLE_MOVE_DOWN = 1035,
    UM_TITLE_MOVE_UP = 1036,
    UM_TITLE_ADD = 1037,
    UM_TITLE_DELETE = 1038,
    UM_GET_ENTRY_PATH = 1040,
    UM_MOVE_TO_GROUP = 1041,
    UM_RELOAD_SOURCE = 1042,
    UM_GROUP_COUNTS = 1043,
    UM_LOAD_FRONT = 1044,
    UM_START_SEARCH = 1045,
    UM_EDITOR_ENABLE = 1046,
    UM_TRAY_NOTICE = 1047,
};

// Empty, a number, a list box, a combo box or a CP932 text variable. A null pointer of any kind
// is as unusable as a missing one; handlers check with the accessors below.
using LParam = std::variant<std::monostate, std::intptr_t, QListWidget*, QComboBox*, std::string*>;

QListWidget* LParamListBox(const LParam& l);   // nullptr unless a non-null list box
QComboBox* LParamComboBox(const LParam& l);    // nullptr unless a non-null combo box
std::string* LParamText(const LParam& l);      // nullptr unless a non-null text variable
std::intptr_t LParamNumber(const LParam& l);   // 0 unless a number

// Implemented by every window that receives link messages.
class LinkTarget {
public:
    virtual ~LinkTarget() = default;
    virtual std::intptr_t HandleLinkMessage(LinkMessage msg, std::intptr_t wParam, const LParam& lParam) = 0;
};

// Synchronous: calls the target's handler and returns its result; 0 for no target.
std::intptr_t SendLinkMessage(LinkTarget* target, LinkMessage msg, std::intptr_t wParam = 0, LParam lParam = {});

// Queued: the call runs later on the thread of `context` (the target's window), unless the
// context has been destroyed by then.
void PostLinkMessage(QObject* context, LinkTarget* target, LinkMessage msg, std::intptr_t wParam = 0,
                     LParam lParam = {});

}  // namespace kyro
