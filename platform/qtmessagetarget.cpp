#include "platform/qtmessagetarget.h"

#include <QCoreApplication>

namespace quenor {

QEvent::Type MessageEvent::EventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QtMessageTarget::QtMessageTarget(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler))
{
}

void QtMessageTarget::Post(Message m)
{
    QCoreApplication::postEvent(this, new MessageEvent(std::move(m)));
}

void QtMessageTarget::customEvent(QEvent* event)
{
    if (event->type() == MessageEvent::EventType()) {
        if (handler_)
            handler_(static_cast<MessageEvent*>(event)->message);
        return;
    }
    QObject::customEvent(event);
}

}  // namespace quenor
