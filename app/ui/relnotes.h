#pragma once
// The release notes of a firmware file, filled and shown by the firmware
// update dialog.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace quenor {

class TfrmReleaseNotes : public QDialog {
    Q_OBJECT
public:
    explicit TfrmReleaseNotes(QWidget* parent = nullptr);

    QPlainTextEdit* meRelNotes = nullptr;
    QPushButton* Button1 = nullptr;  // "&Close"

public slots:
    void Button1Click();
    // Closing counts as Cancel.
    void reject() override;
};

}  // namespace quenor
