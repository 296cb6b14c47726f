#pragma once
// The connection trouble-shooting help: what to check when a motor does not
// answer, the wiring schematic, and the two buttons that reload a motor's
// firmware (modal results 100 and 101; the caller opens the firmware dialog).

#include <QDialog>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quenor {

class TfrmRS232Inter;

class TfrmConnHelp : public QDialog {
    Q_OBJECT
public:
    // schematic: the schematic dialog that "Schematic" shows; without one the
    // help makes its own.
    explicit TfrmConnHelp(QWidget* parent = nullptr, TfrmRS232Inter* schematic = nullptr);

    // Shows the help modally with "Don't show this again." preset from
    // dontShow; returns the modal result and leaves the box's state in dontShow.
    int ShowHelp(bool& dontShow);

    TfrmRS232Inter* Schematic() const
    {
        return frmRS232Inter_;
    }

    QLabel* lblInfo = nullptr;
    QPlainTextEdit* meText = nullptr;
    QPushButton* btnSchematic = nullptr;
    QPushButton* btnUpdateMini = nullptr;  // kConnHelpLoadSmall
    QPushButton* btnUpdateBig = nullptr;   // kConnHelpLoadLarge
    QPushButton* btnClose = nullptr;       // kConnHelpClose
    QCheckBox* cbDisplay = nullptr;

private:
    void btnSchematicClick();

    TfrmRS232Inter* frmRS232Inter_;
};

}  // namespace quenor
