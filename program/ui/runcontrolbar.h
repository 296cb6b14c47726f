#pragma once
// The run-control bar on the editor's top panel: transfer and start, start,
// stop, pause or resume, single step, the module's status and checksum, and
// the red warning when the module holds another program.

#include "program/runcontrol.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace quenor {

class TRunControlBar : public QWidget {
    Q_OBJECT
public:
    TRunControlBar(CVizuRunControl& control, QWidget* parent);

    // Shows the run control's state (after a module status).
    void Refresh();

    QPushButton* TransferButton = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* StopButton = nullptr;
    QPushButton* PauseButton = nullptr;
    QPushButton* SingleStepButton = nullptr;
    QLabel* DebugInfoLabel = nullptr;
    QLabel* CHSLabel = nullptr;
    QLabel* TransferedLabel = nullptr;

private:
    CVizuRunControl& control_;
};

}  // namespace quenor
