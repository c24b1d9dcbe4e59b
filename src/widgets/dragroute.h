#pragma once
// The drag and drop of the program's lists: a drag over a control is accepted when the control's
// window says so for the drag's source, and a drop only tells the window, after the drag's own
// event loop has ended (so that its questions come up as after a click). The lists never move or
// copy items by themselves.

#include <QObject>

#include <functional>

class QEvent;

namespace kyro {

// For an event filter: true when `event` was a drag event and has been handled.
bool RouteDragEvent(QEvent* event, QObject* context, const std::function<bool(QObject* source)>& accepts,
                    const std::function<void(QObject* source)>& drop);

}  // namespace kyro
