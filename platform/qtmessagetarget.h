#pragma once
// Delivers posted messages on the thread of a QObject (the GUI thread for a
// window), in posting order, as a custom event.

#include "platform/messages.h"

#include <QEvent>
#include <QObject>
#include <functional>

namespace quenor {

class MessageEvent : public QEvent {
public:
    static QEvent::Type EventType();
    explicit MessageEvent(Message m) : QEvent(EventType()), message(std::move(m)) {}
    Message message;
};

class QtMessageTarget : public QObject, public MessageTarget {
    Q_OBJECT
public:
    using Handler = std::function<void(const Message&)>;
    explicit QtMessageTarget(Handler handler, QObject* parent = nullptr);

    void Post(Message m) override;  // any thread

protected:
    void customEvent(QEvent* event) override;

private:
    Handler handler_;
};

}  // namespace quenor
