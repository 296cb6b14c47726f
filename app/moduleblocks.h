#pragma once
// What the plug-in modules report, turned into what their pages show. The
// communication thread posts the module information block when it finds a
// module, and while a module's page is visible it polls the module's status;
// these functions decode those blocks without any widget. A label that a
// block does not fill is left out (std::nullopt): the page keeps what it shows.

#include "app/moduledialogs.h"
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quenor {

// Module type codes (byte 0 of the information block).
enum ModuleTypeCode : int {
    kModuleTypeNone = 0,
    kModuleTypeMR = 1,   // logic module
    kModuleTypeMP = 2,   // Profibus
    kModuleTypeMC = 3,   // CANopen
    kModuleTypeMRP = 4,  // programmable module
    kModuleTypeMD = 5,   // DeviceNet
    kModuleTypeMS = 6,   // FS
};

// Module information block.
struct ModuleSetupView {
    int moduleType = 0;
    // Pages the block shows (the rest are hidden).
    bool profiTab = false;
    bool canOpenTab = false;
    bool deviceNetTab = false;
    bool fsTab = false;
    bool seqletTab = false;
    bool vizuTab = false;  // the programmable module's page and its menu
    // Profibus.
    std::optional<std::string> profiAddress;
    // CANopen.
    std::optional<std::string> stationAddress;
    std::optional<std::string> canOpenBaudrate;
    // Logic module.
    std::optional<std::string> seqletFormat;
    std::optional<std::string> seqletVersion;
    std::optional<std::string> seqletPowerup;
    std::optional<std::string> seqletAddress;
    // The module's bootloader version (Profibus: 32 bits, programmable module: one byte).
    std::optional<std::uint32_t> bootloaderVersion;
};
ModuleSetupView DecodeModuleSetup(std::span<const std::uint8_t> block);

// Profibus status block.
struct ProfiStatusView {
    std::string status;
    std::array<bool, 6> inputs{};  // IN1, IN2, IN3, IN4, NL, PL
    bool inPosition = false;
    bool error = false;
    bool accelerating = false;
    bool decelerating = false;
};
std::string ProfibusStatusText(int code);
ProfiStatusView DecodeProfiStatus(std::span<const std::uint8_t> block);

// The logic module's input and output block.
struct ModuleIoView {
    std::array<bool, 6> inputs{};   // IN1..IN6
    std::array<bool, 4> outputs{};  // OUT1..OUT4
    std::string state;
    std::string running;  // "Yes" or "No"
};
ModuleIoView DecodeModuleIo(std::span<const std::uint8_t> block);

// Where a module debug text goes by the fitted module type.
enum class DebugMemo { None, DeviceNet, Fs };
DebugMemo ModuleDebugMemo(int moduleType);

// DeviceNet status block. A byte beyond the block's length is absent: its
// labels (and the kept setting) stay as they were.
struct DeviceNetStatusView {
    std::optional<std::string> power;
    std::optional<std::string> node;
    std::optional<std::string> baudrate;
    std::optional<std::uint8_t> nodeSetting;
    std::optional<std::uint8_t> baudSetting;
};
DeviceNetStatusView DecodeDeviceNetStatus(std::span<const std::uint8_t> block);

// FS status record: the form keeps a copy of the block (cut to its size).
struct FsStatusRecord {
    static constexpr std::size_t kSize = 16;
    std::array<std::uint8_t, kSize> bytes{};
    std::size_t length = 0;  // bytes the last block filled
    // Copies a block in; bytes it does not reach keep their earlier values.
    void Assign(std::span<const std::uint8_t> block);
    bool Has(std::size_t i) const { return i < length; }
};
struct FsStatusView {
    std::optional<std::string> groupId;
    std::optional<std::string> address;
    std::optional<std::string> baudrate;
    std::optional<std::array<bool, 5>> inputs;  // IN1..IN4, AIN
};
FsStatusView DecodeFsStatus(std::span<const std::uint8_t> block);

// The VekMS dialog's preset from the kept setup record.
FsChoice FsPresetOf(const FsStatusRecord& record);

// The requests the module pages and the logic module's format page make. The
// session implements them on the communication thread; a request that the
// full request ring refuses is reported to the user by the session (never
// thrown to the page). False: nothing was queued.
class ModuleRequests {
public:
    virtual ~ModuleRequests() = default;
    // The page has shown a Profibus status or a logic-module I/O block: the
    // poller may post the next one.
    virtual void ClearProfibusPending() = 0;
    virtual void ClearModuleIoPending() = 0;
    virtual bool RequestDeviceNetSettings(int baudIndex, int node) = 0;
    virtual bool RequestFsSetup(std::span<const std::uint8_t> bytes) = 0;
    virtual bool RequestModuleCommand(int command) = 0;
    // The logic module's 512-byte format image, the power-up zero search
    // choice and the module address; the request keeps its own copy.
    virtual bool RequestSeqletFormatWrite(std::span<const std::uint8_t> format, bool powerUp, int address) = 0;
};

}  // namespace quenor
