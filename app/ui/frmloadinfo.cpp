#include "app/ui/frmloadinfo.h"

#include <QLabel>
#include <QPushButton>

namespace quenor {

TfrmLoadInformation::TfrmLoadInformation(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmLoadInformation"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    lblText_ = new QLabel(this);
    lblText_->setObjectName(QStringLiteral("lblText"));
    lblText_->move(16, 16);
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
    const int left = lblText_->x();
    const int top = lblText_->y();
    const int width = lblText_->width() + 2 * left;
    const int height = lblText_->height() + 3 * top + btnOk_->height();
    btnOk_->move(width / 2 - btnOk_->width() / 2, lblText_->height() + 2 * top);
    setFixedSize(width, height);
}

int TfrmLoadInformation::ShowText(const QString& text, const QString& caption)
{
    SetText(text, caption);
    return exec();
}

}  // namespace quenor
