#include "params/ui/paramwidgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace quenor {

void ClickLabel::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click && onClick)
        onClick();
}

SpinButtons::SpinButtons(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this))
{
    setFixedSize(15, 20);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setGeometry(0, 0, 15, 10);
    down_->setGeometry(0, 10, 15, 10);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    QObject::connect(up_, &QToolButton::clicked, this, [this] {
        if (onStep)
            onStep(true);
    });
    QObject::connect(down_, &QToolButton::clicked, this, [this] {
        if (onStep)
            onStep(false);
    });
}

LampView::LampView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
}

void LampView::SetCanvas(QImage image)
{
    canvas_ = std::move(image);
    setFixedSize(canvas_.size());
    update();
}

void LampView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, canvas_);
}

void LampView::mouseMoveEvent(QMouseEvent* event)
{
    if (onMouseMove) {
        const QPoint p = event->position().toPoint();
        onMouseMove(p.x(), p.y());
    }
    QWidget::mouseMoveEvent(event);
}

void LampView::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
    if (onMouseMove) {
        const QPoint p = event->position().toPoint();
        onMouseMove(p.x(), p.y());
    }
}

void LampView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(p);
    pressed_ = false;
    if (click && onClick)
        onClick();
}

void ParamComboBox::showPopup()
{
    open_ = true;
    QComboBox::showPopup();
}

void ParamComboBox::hidePopup()
{
    QComboBox::hidePopup();
    const bool was = open_;
    open_ = false;
    if (was && onListClosed)
        onListClosed();
}

QSize ScrollContent::minimumSizeHint() const
{
    const QRect r = childrenRect();
    return {std::max(0, r.right() + 5), std::max(0, r.bottom() + 5)};
}

QColor ColourFromTColor(int colour)
{
    if (colour < 0)  // a system colour: the palette's own
        return {};
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

}  // namespace quenor
