#include "program/ui/runcontrolbar.h"

#include <QLabel>
#include <QPushButton>

namespace quenor {

TRunControlBar::TRunControlBar(CVizuRunControl& control, QWidget* parent) : QWidget(parent), control_(control)
{
    setObjectName(QStringLiteral("RunControlBar"));
    int x = 4;
    auto button = [&](const char* name, const char* caption, int width, void (CVizuRunControl::*click)()) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, 4, width, 25);
        x += width + 4;
        connect(b, &QPushButton::clicked, this, [this, click] {
            (control_.*click)();
            Refresh();
        });
        return b;
    };
    TransferButton = button("TransferButton", "&Transfer && Start", 110, &CVizuRunControl::TransferButtonClick);
    StartButton = button("StartButton", "&Start", 60, &CVizuRunControl::StartButtonClick);
    StopButton = button("StopButton", "S&top", 60, &CVizuRunControl::StopButtonClick);
    PauseButton = button("PauseButton", "&Pause", 64, &CVizuRunControl::PauseButtonClick);
    SingleStepButton = button("SingleStepButton", "S&ingle Step", 80, &CVizuRunControl::SingleStepButtonClick);
    StopButton->setEnabled(false);
    PauseButton->setEnabled(false);
    SingleStepButton->setEnabled(false);

    DebugInfoLabel = new QLabel(this);
    DebugInfoLabel->setObjectName(QStringLiteral("DebugInfoLabel"));
    DebugInfoLabel->move(x + 6, 9);
    CHSLabel = new QLabel(this);
    CHSLabel->setObjectName(QStringLiteral("CHSLabel"));
    CHSLabel->move(x + 160, 9);
    TransferedLabel = new QLabel(QStringLiteral("Program not transferred"), this);
    TransferedLabel->setObjectName(QStringLiteral("TransferedLabel"));
    TransferedLabel->setStyleSheet(QStringLiteral("color: red"));
    TransferedLabel->adjustSize();
    TransferedLabel->hide();
}

void TRunControlBar::Refresh()
{
    const RunControlButtons& b = control_.Buttons();
    TransferButton->setEnabled(b.transfer);
    StartButton->setEnabled(b.start);
    StopButton->setEnabled(b.stop);
    PauseButton->setEnabled(b.pause);
    PauseButton->setText(b.pauseSaysResume ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
    SingleStepButton->setEnabled(b.singleStep);
    DebugInfoLabel->setText(QString::fromLatin1(control_.DebugInfoText().c_str()));
    DebugInfoLabel->adjustSize();
    CHSLabel->setText(QString::fromLatin1(control_.ChecksumText().c_str()));
    CHSLabel->adjustSize();
    CHSLabel->move(DebugInfoLabel->geometry().right() + 24, CHSLabel->y());
    // At the checksum's top, 7 pixels right of its right edge.
    TransferedLabel->move(CHSLabel->geometry().right() + 1 + 7, CHSLabel->y());
    TransferedLabel->setVisible(control_.TransferredWarningVisible());
}

}  // namespace quenor
