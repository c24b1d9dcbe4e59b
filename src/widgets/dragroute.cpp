#include "widgets/dragroute.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QPointer>

namespace kyro {

bool RouteDragEvent(QEvent* event, QObject* context, const std::function<bool(QObject* source)>& accepts,
                    const std::function<void(QObject* source)>& drop) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (accepts(drag->source())) drag->acceptProposedAction();
        else drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* dropEvent = static_cast<QDropEvent*>(event);
        QPointer<QObject> source = dropEvent->source();
        dropEvent->setDropAction(Qt::IgnoreAction);  // nothing for the dragged list to remove
        dropEvent->accept();
        QMetaObject::invokeMethod(context, [drop, source] { drop(source.data()); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace kyro
