#include "app/ui/frmloadinfo.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

#include <algorithm>

namespace quenor {

LoadInfoLayout LayoutLoadInfo(const QRect& label, const QSize& button, const QSize& room, int scrollBar)
{
    QSize text = label.size();
    if (room.isValid()) {
        const int width = std::max(room.width() - 2 * label.left(), button.width());
        const int height = std::max(room.height() - 3 * label.top() - button.height(), button.height());
        if (text.width() > width)
            text = QSize(width, text.height() + scrollBar);
        if (text.height() > height)
            text = QSize(std::min(text.width() + scrollBar, width), height);
    }
    const int width = text.width() + 2 * label.left();
    const int height = text.height() + 3 * label.top() + button.height();
    return {QSize(width, height), QPoint(width / 2 - button.width() / 2, text.height() + 2 * label.top()), text};
}

TfrmLoadInformation::TfrmLoadInformation(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmLoadInformation"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    text_ = new QScrollArea(this);
    text_->setFrameShape(QFrame::NoFrame);
    text_->move(8, 8);
    lblText_ = new QLabel;
    lblText_->setObjectName(QStringLiteral("lblText"));
    text_->setWidget(lblText_);
    btnOk_ = new QPushButton(QStringLiteral("&Ok"), this);
    btnOk_->setObjectName(QStringLiteral("btnOk"));
    btnOk_->setDefault(true);
    btnOk_->resize(75, 25);
    connect(btnOk_, &QPushButton::clicked, this, [this] { done(1); });
}

void TfrmLoadInformation::SetText(const QString& text, const QString& caption)
{
    setWindowTitle(caption);
    lblText_->setText(text);
    lblText_->adjustSize();
    // Room for the window's frame is left on the screen: it is not known
    // before the box is shown.
    const QWidget* owner = parentWidget() ? parentWidget()->window() : this;
    QSize room;
    if (const QScreen* screen = owner->screen())
        room = screen->availableGeometry().size() * 3 / 4;
    const LoadInfoLayout layout = LayoutLoadInfo(QRect(text_->pos(), lblText_->size()), btnOk_->size(), room,
                                                 style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, text_));
    text_->resize(layout.text);
    btnOk_->move(layout.button);
    setFixedSize(layout.client);
}

int TfrmLoadInformation::ShowText(const QString& text, const QString& caption)
{
    SetText(text, caption);
    return exec();
}

}  // namespace quenor
