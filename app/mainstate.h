#pragma once
// What the main window knows about the link, the motor and its module: the
// values its message handlers store and its status line, warnings and motor
// information read. The main window owns one and keeps it current.

#include "link/sercom.h"

#include <array>
#include <cstdint>
#include <string>

namespace quenor {

// Module type codes of the module information block's byte 0.
enum ModuleType : int {
    kModuleNone = 0,
    kModuleMR = 1,   // logic module
    kModuleMP = 2,   // Profibus
    kModuleMC = 3,   // CANopen
    kModuleMRP = 4,  // programmable module
    kModuleMD = 5,   // DeviceNet
    kModuleMS = 6,   // FS
};

struct MainWindowState {
    // Link (link-state and notice messages).
    bool connected = false;
    bool reconnecting = false;     // reconnect scan running
    bool portError = false;        // link error reported (notice 4), cleared by notice 5
    bool baudUnsupported = false;  // with portError: the baud rate is not supported
    std::string portErrorDetail;   // with portError: the device and why it did not open (may be empty)
    PortFault portFault = PortFault::None;  // with portError: the kind of reason
    int errorCount = 0;            // communication errors reported by the link
    int portIndex = 0;             // COM port number minus one
    int baudIndex = 1;             // 0..7 for 9600..921600

    // The motor.
    int generation = 0;          // motor family 0, 1 or 2
    int motorType = 3;           // type code
    bool motorTypeUnknown = false;      // connected: the motor's code is no type of its family
    std::int64_t reportedTypeCode = 0;  // the code it reported then
    int firmware = 0;            // register 1, bits 0-12
    bool beta = false;           // register 1, bit 13
    std::int64_t serial = -1;    // -1 (or 0) while unknown
    int currentMode = -1;        // register 2; -1 before the first value
    int startupMode = 0;         // register 37 AND 31

    // The module (module information block).
    int moduleType = kModuleNone;
    std::array<std::uint8_t, 102> moduleInfo{};  // copy of the last block
    std::uint32_t moduleBootloader = 0;          // set by the module setup handler

    int ModuleVersion() const { return moduleInfo[1]; }      // high nibble major, low minor
    int ModuleStartupMode() const { return moduleInfo[6]; }  // the logic module's expected start-up mode

    // Stored register values.
    std::uint32_t statusWord = 0;  // register 35 (families 0 and 1)
    std::uint32_t register36 = 0;  // family 0
    int gearNumerator = 1;         // family 0 register 14, signed 16 bits
    int gearDenominator = 1;       // family 0 register 15, unsigned 16 bits
    int homingMode = 0;            // family 0 register 42, low 16 bits
    std::uint32_t sCurve = 0;      // family 1 register 156
    double samplePeriod = 0.0;     // family 1: seconds, from register 157

    // Motor information (see motorinfo.h for the registers).
    std::uint32_t firmwareChecksum = 0;
    std::int64_t hardwareRevision = 0;
    std::int64_t bootloaderVersion = 0;
    std::uint32_t encoderBits = 0;     // family 2 register 99
    std::uint32_t maxBusVoltage = 0;   // family 2 register 157
    std::uint32_t optionBits = 0;      // family 2 register 165

    // Flags set by the write path and cleared on every link state change.
    bool saveInFlashRequired = false;
    bool sCurvePending = false;

    bool viewHidden = false;  // "View hidden pages" checked
};

// What a stored register value asks the main window to refresh.
struct StoredValueEffects {
    bool warnings = false;       // UpdateWarnings
    bool statusText = false;     // UpdateStatusText
    bool motorInfo = false;      // ShowMotorInformation
    bool displayScales = false;  // SetFamily1DisplayScales
    bool startupMask = false;    // ModeToGroupMask(start-up mode) and ArrangeControls
};

// Stores a register value that the status line, warnings or motor information
// read, by the state's generation. Registers with further effects (mode, motor
// type, filter choice, ...) are the main window's own; this keeps only values.
StoredValueEffects StoreRegisterValue(MainWindowState& state, int reg, std::int64_t value);

// Link state changes that touch this state: 2 connected (with the register-1
// value; the generation must already be switched), 1 lost, 6 scan started,
// 7 reconnected, 8 error count. Returns true when the status text needs a refresh.
bool ApplyLinkState(MainWindowState& state, int linkState, std::int64_t value);

}  // namespace quenor
