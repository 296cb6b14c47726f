#pragma once
// The plug-in modules' pages: Profibus (VekMP), CANopen (VekMC), DeviceNet
// (VekMD), FS (VekMS) and the logic module (VekMR, TSeqletPage). They are fed
// with the payloads of the communication thread's messages and send their
// requests through ModuleRequests.

#include "app/moduleblocks.h"
#include "platform/messages.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quenor {

class TSeqletPage;

// The two setup dialogs: preset their combos, show them modally and read the
// combos back. The chosen indexes on OK, nothing when cancelled.
struct ModuleSetupDialogs {
    std::function<std::optional<DeviceNetChoice>(const DeviceNetChoice& preset)> deviceNet;
    std::function<std::optional<FsChoice>(const FsChoice& preset)> fs;
};

class TModulePages : public QObject {
    Q_OBJECT
public:
    // The pages are made without a parent: the window adds them as tabs.
    TModulePages(ModuleRequests& requests, ModuleSetupDialogs dialogs, QObject* parent = nullptr);
    ~TModulePages() override;

    // The tab pages and their captions ("VekMP", "VekMC", "VekMD", "VekMS", "VekMR").
    QWidget* tsProfi = nullptr;
    QWidget* tsCanOpen = nullptr;
    QWidget* tsDeviceNet = nullptr;
    QWidget* tsFS = nullptr;
    TSeqletPage* tsSeqlet = nullptr;
    static QString Caption(const QWidget* page);

    // Takes UM_MODULESETUP, UM_PROFISTATUS, UM_MODULEIO, UM_CANOPENDEBUG,
    // UM_MODULEDEBUG and UM_DEVICENETSTATUS; false for any other message.
    bool HandleMessage(const Message& m);

    // The handlers, fed with the messages' payloads. OnModuleSetup fills the
    // labels of the module just reported and returns what the block says
    // (pages to show, bootloader version).
    ModuleSetupView OnModuleSetup(std::span<const std::uint8_t> block);
    void OnProfiStatus(std::span<const std::uint8_t> block);
    void OnModuleIO(std::span<const std::uint8_t> block);
    void OnCanOpenDebug(const std::string& text);
    void OnModuleDebug(const std::string& text);
    void OnDeviceNetStatus(std::span<const std::uint8_t> block);
    int ModuleType() const { return moduleType_; }
    std::optional<std::uint32_t> ModuleBootloaderVersion() const { return bootloaderVersion_; }

    void btnDeviceNetSetupClick();
    void btnFSSetupClick();

    // Profibus.
    QLabel* lblProfiStatus = nullptr;
    QLabel* lblProfiAddress = nullptr;
    std::array<QLabel*, 6> lblProfiInputs{};  // lblIN1..lblIN4, lblNL, lblPL
    QLabel* lblInPosition = nullptr;
    QLabel* lblError = nullptr;
    QLabel* lblAccelerating = nullptr;
    QLabel* lblDecelerating = nullptr;
    // CANopen.
    QLabel* lblStationAddr = nullptr;
    QLabel* lblBaudrate = nullptr;
    QPlainTextEdit* meCanOpenDebug = nullptr;
    QPushButton* btnDebugClear = nullptr;
    // DeviceNet.
    QLabel* lblDeviceNetPower = nullptr;
    QLabel* lblDeviceNetBaudrate = nullptr;
    QLabel* lblDeviceNetNode = nullptr;
    QPlainTextEdit* meDeviceNetDebug = nullptr;
    QPushButton* btnClearDeviceNetDebug = nullptr;
    QPushButton* btnDeviceNetSetup = nullptr;
    // FS.
    QPlainTextEdit* meFSDebug = nullptr;
    QPushButton* btnFSDebugClear = nullptr;
    QLabel* lblFSAddress = nullptr;
    QLabel* lblFSBaudrate = nullptr;
    QLabel* lblFSGroupID = nullptr;
    std::array<QLabel*, 5> lblFSInputs{};  // lblFSInput1..4, lblFSInputAIN
    QPushButton* btnFSSetup = nullptr;

private:
    void BuildProfi();
    void BuildCanOpen();
    void BuildDeviceNet();
    void BuildFs();

    ModuleRequests& requests_;
    ModuleSetupDialogs dialogs_;
    int moduleType_ = 0;
    std::optional<std::uint32_t> bootloaderVersion_;
    std::uint8_t deviceNetNode_ = 0;
    std::uint8_t deviceNetBaud_ = 0;
    FsStatusRecord fsStatus_;
    std::array<QPointer<QWidget>, 5> owned_;
};

}  // namespace quenor
