#pragma once
// Details of the active warnings: a title and an explanation for each. From
// the status bar it only closes; before a save in motor it asks to abort or to
// save anyway (Ignore), and leaves out the save-in-flash warning.

#include <QDialog>

#include <span>
#include <string>
#include <vector>

class QPushButton;
class QScrollArea;
class QShowEvent;

namespace quenor {

class TfrmWarningInfo : public QDialog {
    Q_OBJECT
public:
    explicit TfrmWarningInfo(QWidget* parent = nullptr);

    // The flag of each warning bit, its argument text, and how many bits to look at.
    void SetWarnings(std::span<const bool> flags, std::span<const std::string> args, int count);
    // Close only (the status bar), or Abort and Ignore (save in motor).
    void SetCloseOnly(bool closeOnly);
    bool CloseOnly() const { return closeOnly_; }

    QScrollArea* sbWarnings = nullptr;
    QPushButton* btnAbort = nullptr;   // kMrAbort
    QPushButton* btnIgnore = nullptr;  // kMrIgnore
    QPushButton* btnClose = nullptr;   // kMrOk

public slots:
    // Closing the window without a button counts as Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildList();

    std::vector<bool> flags_;
    std::vector<std::string> args_;
    int count_ = 0;
    bool closeOnly_ = false;
};

}  // namespace quenor
