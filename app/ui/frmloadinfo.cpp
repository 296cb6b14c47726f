#include "app/ui/frmloadinfo.h"

#include <QLabel>
#include <QPushButton>

namespace quenor {

LoadInfoLayout LayoutLoadInfo(const QRect& label, const QSize& button)
{
    const int width = label.width() + 2 * label.left();
    const int height = label.height() + 3 * label.top() + button.height();
    return {QSize(width, height), QPoint(width / 2 - button.width() / 2, label.height() + 2 * label.top())};
}

TfrmLoadInformation::TfrmLoadInformation(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmLoadInformation"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    lblText_ = new QLabel(this);
    lblText_->setObjectName(QStringLiteral("lblText"));
    lblText_->move(8, 8);
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
    const LoadInfoLayout layout = LayoutLoadInfo(lblText_->geometry(), btnOk_->size());
    btnOk_->move(layout.button);
    setFixedSize(layout.client);
}

int TfrmLoadInformation::ShowText(const QString& text, const QString& caption)
{
    SetText(text, caption);
    return exec();
}

}  // namespace quenor
