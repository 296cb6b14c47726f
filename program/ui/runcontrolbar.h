#pragma once
// The run-control bar on the editor's top panel: transfer and start, start,
// stop, pause or resume, single step, the module's status and checksum, and
// the red warning when the module holds another program.
//
// The labels follow the buttons in their row when the widest texts of every
// state fit there; on a narrower bar they take a row of their own below the
// buttons (and the checksum with its warning a third one where even that
// row is too narrow), so that no text is ever cut. The bar tells its height
// for a width (heightForWidth), which the editor gives its top panel.

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

    // The rows the bar takes at a width: 1 (labels beside the buttons), 2 or 3.
    int RowsFor(int width) const;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

    QPushButton* TransferButton = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* StopButton = nullptr;
    QPushButton* PauseButton = nullptr;
    QPushButton* SingleStepButton = nullptr;
    QLabel* DebugInfoLabel = nullptr;
    QLabel* CHSLabel = nullptr;
    QLabel* TransferedLabel = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The widest text each label can show, in its own font.
    struct LabelWidths {
        int status = 0;
        int checksum = 0;
        int warning = 0;
    };
    LabelWidths WidestTexts() const;
    int LabelRowHeight() const;
    void PlaceLabels();

    CVizuRunControl& control_;
    int buttonsRight_ = 0;  // first pixel right of the last button
};

}  // namespace quenor
