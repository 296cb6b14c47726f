#include "scope/ui/frmtrigstatus.h"

#include "app/ui/modalresult.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quenor {

TfrmTrigStatus::TfrmTrigStatus(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QStringLiteral("Sampling"));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("State:"), this));
    lblState_ = new QLabel(this);
    lblState_->setMinimumWidth(160);
    row->addWidget(lblState_, 1);
    btnAbort_ = new QPushButton(QStringLiteral("&Abort"), this);
    connect(btnAbort_, &QPushButton::clicked, this, [this] { done(kMrAbort); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnAbort_);
    buttons->addStretch();
    auto* top = new QVBoxLayout(this);
    top->addLayout(row);
    top->addLayout(buttons);
}

void TfrmTrigStatus::SetState(const QString& text) { lblState_->setText(text); }

QString TfrmTrigStatus::State() const { return lblState_->text(); }

void TfrmTrigStatus::reject() {}

}  // namespace quenor
