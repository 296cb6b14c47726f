#pragma once
// TfrmUpdate, "Firmware Update": lists the firmware files of the program's
// folder and of the per-user firmware folder, and runs the loader thread on a
// serial port of its own while the communication thread's link is suspended.
//
// The caller suspends the link, runs the dialog and resumes the link:
//
//     FirmwareUpdateRequest r;  // port, family, connected, module, sub-type, auto-start
//     link.SuspendLink(true);
//     frmUpdate->Run(r);
//     link.ResumeLink(true);
//
// The background check for new firmware files is started by the hook given
// to SetFirstShowHook, once, at the dialog's first showing; it reports to the
// dialog's message target with UM_FIRMWAREFILES (1 nothing new, 2 no connection,
// 3 new files: the list is built again).

#include "platform/qtmessagetarget.h"
#include "update/firmwarelist.h"

#include <QDialog>
#include <QMessageBox>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace quenor {

class TVekLoad;

// What the main window hands the dialog for one showing.
struct FirmwareUpdateRequest {
    int comIndex = 0;        // the port index; the loader opens COM index + 1
    int family = 0;          // motor family (generation) 0, 1 or 2
    bool connected = false;  // a motor answers: enter the bootloader through its firmware
    int moduleType = 0;      // the connected module, 0 to 6 (0 in family 2)
    int subTypeFilter = 0;   // the hardware byte (family 2 while connected), else 0
    bool autoStart = false;  // select the first file and start at once
};

class TfrmUpdate : public QDialog {
    Q_OBJECT
public:
    explicit TfrmUpdate(QWidget* parent = nullptr);
    ~TfrmUpdate() override;

    // Sets the fields of the request and shows the dialog modally.
    int Run(const FirmwareUpdateRequest& request);

    void SetComIndex(int index) { comIndex_ = index; }
    void SetFamily(int family) { family_ = family; }
    void SetEnterThroughFirmware(bool on) { enterThroughFirmware_ = on; }
    void SetModuleType(int type) { moduleType_ = type; }
    void SetSubTypeFilter(int filter) { subTypeFilter_ = filter; }
    void SetAutoStart(bool on) { autoStart_ = on; }
    // The folders the list is built from; by default the program's own and
    // the per-user firmware folder.
    void SetFolders(std::vector<std::string> folders) { folders_ = std::move(folders); }
    // Called once, at the first showing, with the dialog's message target.
    void SetFirstShowHook(std::function<void(MessageTarget*)> hook) { firstShowHook_ = std::move(hook); }

    MessageTarget* Target() { return target_; }
    bool Loading() const { return loader_ != nullptr; }
    const std::vector<SFileInfo>& ListedFiles() const { return listed_; }

    // Controls.
    QTreeWidget* lvFiles = nullptr;
    QCheckBox* cbShowAll = nullptr;
    QPushButton* btnViewRelNotes = nullptr;
    QLabel* lblLoadVersion = nullptr;
    QLabel* lblCurVersion = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* btnStart = nullptr;
    QPushButton* btnAbort = nullptr;
    QPushButton* btnExit = nullptr;
    QPushButton* btnRS485Start = nullptr;
    QStatusBar* sbInfo = nullptr;

public slots:
    void btnStartClick();
    void btnAbortClick();
    void btnExitClick();
    void btnRS485StartClick();
    void cbShowAllClick();
    void btnViewRelNotesClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

    // Message boxes and the release notes, replaceable by tests.
    virtual void ShowBox(QMessageBox::Icon icon, const QString& caption, const QString& text);
    virtual void ShowReleaseNotes(const QString& notes);

private:
    void Dispatch(const Message& m);
    void OnLoaderStatus(int code, int value, const std::string& errors);
    void BuildList();
    void SetIdle(bool idle);
    void EndLoad();

    QtMessageTarget* target_ = nullptr;
    std::unique_ptr<TVekLoad> loader_;
    std::vector<SFileInfo> listed_;
    std::vector<std::string> folders_;
    std::function<void(MessageTarget*)> firstShowHook_;
    bool shownOnce_ = false;

    int comIndex_ = 0;
    int family_ = 0;
    bool enterThroughFirmware_ = false;
    int moduleType_ = 0;
    int subTypeFilter_ = 0;
    bool autoStart_ = false;
};

}  // namespace quenor
