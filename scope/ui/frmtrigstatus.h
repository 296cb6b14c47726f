#pragma once
// The state box of a sample run: "Sampling", the job's phase, and "&Abort"
// (result 3). It closes only by "&Abort" or when the run's upload is done.

#include <QDialog>

class QLabel;
class QPushButton;

namespace quenor {

class TfrmTrigStatus : public QDialog {
    Q_OBJECT
public:
    explicit TfrmTrigStatus(QWidget* parent = nullptr);

    void SetState(const QString& text);
    QString State() const;
    QPushButton* AbortButton() const { return btnAbort_; }

public slots:
    void reject() override;  // Esc does not close it

private:
    QLabel* lblState_;
    QPushButton* btnAbort_;
};

}  // namespace quenor
