#include "app/ui/dialogplacement.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QScreen>

#include <algorithm>
#include <vector>

namespace quenor {
namespace {

// Centres a dialog when it is shown, before its window appears, and again
// when the dialog changes its size while it opens (the move dialog shows only
// the parameter groups of its move type): it opens centred at its final size.
// Later changes of size, made while the user sees the dialog, leave it where
// it is.
class DialogPlacer : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Show:
            if (auto* dialog = qobject_cast<QDialog*>(watched); dialog && dialog->isWindow() && !event->spontaneous()) {
                opening_.emplace_back(dialog);
                Centre(*dialog);
            }
            break;
        case QEvent::Resize:
            if (Opening(watched))
                Centre(*static_cast<QWidget*>(watched));
            break;
        case QEvent::ShowToParent:
        case QEvent::Hide:
            std::erase_if(opening_, [watched](const QPointer<QWidget>& w) { return !w || w == watched; });
            break;
        default: break;
        }
        return false;
    }

private:
    bool Opening(const QObject* object) const
    {
        return std::any_of(opening_.begin(), opening_.end(),
                           [object](const QPointer<QWidget>& w) { return w == object; });
    }

    static void Centre(QWidget& dialog)
    {
        const QWidget* owner = dialog.parentWidget() ? dialog.parentWidget()->window() : nullptr;
        const bool ownerShown = owner && owner->isVisible() && !owner->isMinimized();
        QScreen* screen = ownerShown ? owner->screen() : dialog.screen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        const QRect around = ownerShown ? owner->frameGeometry() : area;
        if (around.isEmpty())
            return;
        dialog.move(CentredTopLeft(around, dialog.frameGeometry().size(), area));
    }

    // The dialogs between their show event and their appearance.
    std::vector<QPointer<QWidget>> opening_;
};

}  // namespace

void CentreDialogsOnOwners(QApplication& app)
{
    const QString name = QStringLiteral("quenorDialogPlacer");
    if (app.findChild<QObject*>(name, Qt::FindDirectChildrenOnly))
        return;
    auto* placer = new DialogPlacer(&app);
    placer->setObjectName(name);
    app.installEventFilter(placer);
}

QPoint CentredTopLeft(const QRect& owner, const QSize& frameSize, const QRect& area)
{
    int x = owner.x() + (owner.width() - frameSize.width()) / 2;
    int y = owner.y() + (owner.height() - frameSize.height()) / 2;
    if (!area.isEmpty()) {
        x = std::max(std::min(x, area.x() + area.width() - frameSize.width()), area.x());
        y = std::max(std::min(y, area.y() + area.height() - frameSize.height()), area.y());
    }
    return {x, y};
}

}  // namespace quenor
