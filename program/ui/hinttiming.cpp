#include "program/ui/hinttiming.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QWidget>

namespace quenor {
namespace {

// The pause before a hint shows is the style's to answer.
class HintPauseStyle : public QProxyStyle {
public:
    explicit HintPauseStyle(const QString& base) : QProxyStyle(base) {}
    int pause = 700;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return pause;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// How long a hint stays: each widget's showing time, given as its first hint
// is asked for, unless it has one of its own.
class HintHidePause : public QObject {
public:
    explicit HintHidePause(QObject* parent) : QObject(parent) {}
    int hidePause = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->toolTipDuration() < 0)
                widget->setToolTipDuration(hidePause);
        }
        return false;
    }
};

}  // namespace

void SetHintPauses(int hidePauseMs, int pauseMs)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    static QPointer<HintHidePause> hide;
    if (!hide) {
        hide = new HintHidePause(app);
        app->installEventFilter(hide);
    }
    hide->hidePause = hidePauseMs;
    auto* style = dynamic_cast<HintPauseStyle*>(QApplication::style());
    if (!style) {
        style = new HintPauseStyle(QApplication::style()->name());
        QApplication::setStyle(style);
    }
    style->pause = pauseMs;
}

}  // namespace quenor
