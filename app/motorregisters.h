#pragma once
// The motor registers the session reads and writes by name, one block per
// motor family. Registers that every family has in the same place come first.

namespace quenor::regs {

// Every family.
inline constexpr int PROG_VERSION = 1;  // firmware value and family bits, read on connect
inline constexpr int MODE_REG = 2;      // operating mode
inline constexpr int P_SOLL = 3;        // requested position
inline constexpr int V_SOLL = 5;        // velocity
inline constexpr int A_SOLL = 6;        // acceleration
inline constexpr int T_SOLL = 7;        // torque
inline constexpr int P_FNC = 8;         // position offset (older firmware)
inline constexpr int P_IST = 10;        // actual position
inline constexpr int KVOUT = 13;        // load
inline constexpr int I2T = 16;          // motor load (mean); its scale follows I2TLIM
inline constexpr int I2TLIM = 17;
inline constexpr int TRQ = 18;          // regulator load; its scale follows UIT
inline constexpr int UIT = 19;
inline constexpr int OUTLOC = 33;       // outputs
inline constexpr int ERR_STAT = 35;     // error and status bits
inline constexpr int SETUP_BITS = 36;   // setup bits (reset position, filter and more)
inline constexpr int STARTMODE = 37;    // start-up mode

// The programmable module's status block feeds these pseudo registers.
inline constexpr int MODULE_INPUTS = 256;
inline constexpr int MODULE_OUTPUTS = 257;

// Motor family 0.
namespace f0 {
inline constexpr int MOTOR_TYPE = 153;
inline constexpr int SERIAL_NUMBER = 154;
inline constexpr int ZERO_SEARCH_POS = 162;  // read again after a zero search
inline constexpr int P_OFFSET = 163;         // position offset (firmware 112 and later)
inline constexpr int FILTER_CHOICE = 165;
}  // namespace f0

// Motor family 1.
namespace f1 {
inline constexpr int P_NEW = 4;              // new actual position
inline constexpr int ZERO_SEARCH_POS = 9;
inline constexpr int SETUP_FLASH = 39;       // takes effect after a save in flash
inline constexpr int FILTER_CHOICE = 155;
inline constexpr int S_CURVE = 156;          // takes effect in passive mode
inline constexpr int MOTOR_TYPE = 203;
inline constexpr int SERIAL_NUMBER = 204;
}  // namespace f1

// Motor family 2.
namespace f2 {
inline constexpr int COMMAND = 24;           // command register
inline constexpr int ENCODER_BITS = 99;
inline constexpr int ZERO_SEARCH_POS = 120;
inline constexpr int P_ENCODER = 144;        // encoder position
inline constexpr int MOTOR_TYPE = 151;
inline constexpr int SERIAL_NUMBER = 152;
inline constexpr int HW_VERSION = 154;
inline constexpr int BOOT_VERSION = 156;
inline constexpr int MAX_BUS_VOLTAGE = 157;
inline constexpr int FW_CHECKSUM = 159;
inline constexpr int RESTART_TOKEN = 160;    // written on connect; another value means the motor restarted
inline constexpr int OPTION_BITS = 165;

inline constexpr int CMD_RESET_POSITION = 119;  // command register value
}  // namespace f2

}  // namespace quenor::regs
