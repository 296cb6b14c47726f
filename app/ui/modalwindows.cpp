#include "app/ui/modalwindows.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

namespace quenor {

// The application's list of modal windows holds every one of them: widget
// dialogs and boxes, the hidden widget through which Qt keeps a native dialog
// (the desktop's file dialog), and any modal window that is no widget.
bool ModalWindowOpen() { return QGuiApplication::modalWindow() != nullptr; }

ModalWindowWatch::ModalWindowWatch(std::function<void()> closed) : closed_(std::move(closed))
{
    QCoreApplication::instance()->installEventFilter(this);
}

ModalWindowWatch::~ModalWindowWatch()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool ModalWindowWatch::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowUnblocked:
        closed_();
        break;
    case QEvent::Hide:
        if (watched->isWidgetType()) {
            const auto* widget = static_cast<const QWidget*>(watched);
            if (widget->isWindow() && widget->isModal())
                closed_();
        }
        break;
    default: break;
    }
    return false;
}

}  // namespace quenor
