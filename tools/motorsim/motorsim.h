#pragma once
// A simulated motor on a pseudo-terminal.
//
// The motor's side of the register protocol: it reads request frames (the
// command byte three times, fields as byte and complement, the first field the
// address, then 0xAA 0xAA), ignores bytes that do not form a frame until the
// next valid one, and answers as a motor would. Commands are table driven:
// SetHandler adds or replaces the answer to a command byte, so module,
// transfer, sampling and bootloader commands can be added by the tests and
// tools that need them.
//
// Fault injection (a dropped reply, a corrupted byte, a delay) is seeded, so a
// run can be repeated; every frame in and out is kept in a thread-safe log.

#include "platform/pty.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quenor::motorsim {

// A request as the motor received it; fields[0] is the address.
struct SimFrame {
    std::uint8_t command = 0;
    std::vector<std::uint8_t> fields;
};

enum class FaultKind { Drop, Corrupt, Delay };

// Random faults, drawn per reply from a generator with the given seed.
struct FaultConfig {
    std::uint32_t seed = 1;
    double dropChance = 0.0;
    double corruptChance = 0.0;
    double delayChance = 0.0;
    int delayMs = 0;
};

struct LogEntry {
    std::int64_t timeUs = 0;  // monotonic
    bool request = true;      // true: master to motor; false: motor to master
    std::vector<std::uint8_t> bytes;
    std::string note;         // "garbled", "ignored", "dropped", "corrupted", "delayed", "lost"
};

class MotorSim {
public:
    // Returns the reply bytes for a request; empty for no reply.
    using Handler = std::function<std::vector<std::uint8_t>(MotorSim&, const SimFrame&)>;

    // family 0, 1 or 2; address 1 to 254 (the motor also answers 255, "all").
    explicit MotorSim(int family = 0, std::uint16_t firmware = 0x0123, int address = 1);
    ~MotorSim();
    MotorSim(const MotorSim&) = delete;
    MotorSim& operator=(const MotorSim&) = delete;

    // Takes every byte that arrives instead of the register protocol while set
    // (a bootloader speaks its own protocol); called on the motor's thread.
    using RawHandler = std::function<void(MotorSim&, const std::uint8_t*, std::size_t)>;

    // Opens the pseudo-terminal and starts answering. False when no terminal could be had.
    // Stop takes the device away (its terminal closes, a link path is removed);
    // Start after Stop plugs the motor in again, registers and log kept.
    bool Start();
    void Stop();
    // A stable name for the device: Start makes path a symbolic link to the
    // terminal it opens and Stop removes it, so the motor can be unplugged and
    // plugged in again under the same name. Set before Start.
    void SetLinkPath(std::string path);
    // The device a serial port opens to reach this motor.
    const std::string& DevicePath() const { return devicePath_; }

    // Identity. Register 1 holds the firmware value with the family in bits
    // 14-15 (0: family 0, 1: family 2, 2: family 1).
    void SetFamily(int family);
    int Family() const;
    void SetFirmware(std::uint16_t firmware);
    void SetAddress(int address);

    // The register image. Values are kept as 32 bits; a register answers with
    // its width unless set otherwise: the family's register width, or 4 for
    // family 0's 32-bit values (positions 3, 8, 10, the error limits 20 to 30,
    // 38, the position registers 49 to 63, the serial number 154, the firmware
    // checksum 158 and the filter word 165). A block read of 16-bit registers
    // holds such a value's low word at its number and its high word at the next.
    std::int32_t Register(int reg) const;
    void SetRegister(int reg, std::int32_t value);
    int RegisterWidth(int reg) const;
    void SetRegisterWidth(int reg, int width);
    int FamilyWidth() const;  // 4 in family 1, else 2

    // The fitted module's information block (byte 0 the module type); empty
    // when no module is fitted, and then 0x5F stays unanswered.
    void SetModuleInfo(std::vector<std::uint8_t> info);

    // Behaviour.
    void SetSilent(bool silent);
    void SetHandler(std::uint8_t command, Handler handler);
    void SetFaults(const FaultConfig& config);
    // The next count replies get this fault (before any random one).
    void InjectFault(FaultKind kind, int count = 1, int delayMs = 0);
    // The motor takes the next count requests that match and loses their
    // replies on the line: writes (0x52) of register `selector`, or
    // programmable-module commands (0x61) of kind `selector`; -1 matches any
    // request of the command. Rules add up.
    void LoseReplies(std::uint8_t command, int selector, int count);
    void LoseWriteAcks(int reg, int count) { LoseReplies(0x52, reg, count); }

    // --- special commands -----------------------------------------------------
    // A save (0x56) or reset (0x57) is acknowledged `acks` times, then the
    // motor restarts: it answers nothing for restartMs. The load-defaults write
    // (register 2 := 256, 4 bytes) restarts it at once after its acknowledgement.
    void SetRestart(int acks, int restartMs);
    void SilenceFor(int ms);
    bool Restarting() const;
    int Restarts() const;
    // After a stop (0x54) register 2 reads 15 from the n-th read on.
    void SetStopSettleReads(int n);

    // --- modules -------------------------------------------------------------------
    // Fits a module of this type (0 none, 1 logic, 2 Profibus, 3 CANopen,
    // 4 programmable, 5 DeviceNet, 6 FS) with a typical information block.
    void SetModuleType(int type);
    static std::vector<std::uint8_t> ModuleInfoFor(int type);
    std::vector<std::uint8_t> ModuleInfo() const;
    // An EEPROM write (0x35) keeps the module busy for ms (-1: for ever); the
    // busy module answers the information poll 0x5F with 0x22 three times.
    void SetEepromBusyMs(int ms);
    // Status blocks and texts the module answers with.
    void SetModuleIo(std::vector<std::uint8_t> block);        // 0x30, 8 bytes
    void SetProfibusStatus(std::vector<std::uint8_t> block);  // 0x40
    void SetModuleStatus(std::vector<std::uint8_t> block);    // 0x72 / 0x82
    void SetDebugText(std::string text);                      // 0x20 / 0x70 / 0x80, sent once
    // The logic module's format as received (512 bytes) and the blocks written.
    std::vector<std::uint8_t> SeqletFormat() const;
    int FormatBlocksWritten() const;
    // DeviceNet settings (node, baud-rate index) and the FS setup as received.
    std::pair<int, int> DeviceNetSettings() const;
    std::vector<std::uint8_t> FsSetup() const;

    // --- programmable module ------------------------------------------------------
    // Program memory as the download left it (the first two bytes the length).
    std::vector<std::uint8_t> ProgramMemory() const;
    void SetProgramMemory(std::vector<std::uint8_t> memory);
    int RunState() const;       // the module's states: 0 passive, 1 running, 2 single step, 3 paused
    int ProgramCounter() const;
    int Outputs() const;        // bits set by the set/clear outputs command
    // The checksum the module reports: the sum of the code block's bytes, 0 without one.
    static std::uint16_t CodeChecksum(const std::vector<std::uint8_t>& memory);
    // Replies longer than asked: the status reply's length, extra upload bytes.
    void SetProgramStatusLength(int length);
    void SetUploadExtraBytes(int n);

    // --- sampling -----------------------------------------------------------------------
    // The synthetic waveform of channel c (0..3) at sample r counted from the
    // trigger (negative before it): c0 a sawtooth of +-2000, c1 a sawtooth of
    // +-30000 (steps of more than half the 16-bit range), c2 a 32-bit ramp from
    // 0x12000 in steps of 300, c3 a small square wave.
    static std::int32_t Wave(int channel, int r);
    // Recordings started by the register writes of the family.
    int Recordings() const;

    // --- raw access, for a bootloader ---------------------------------------------------
    void SetRawHandler(RawHandler handler);
    // Writes bytes as they stand; false when the motor is stopping.
    bool WriteRaw(const std::vector<std::uint8_t>& bytes);
    // Sleeps on the motor's thread; false when the motor is stopping.
    bool Pause(int ms);
    // The line speed the serial side last set (all descriptors of a terminal
    // share its settings); 0 when unknown.
    int LineBaud() const;

    // The log.
    std::vector<LogEntry> Log() const;
    std::vector<SimFrame> Requests() const;  // valid frames, in order
    int CountRequests(std::uint8_t command) const;
    bool WaitForRequests(std::uint8_t command, int count, std::chrono::milliseconds timeout) const;
    void ClearLog();
    // Called on the motor's thread with every valid request, once it is
    // logged and before it is answered; replyLost tells that its reply goes
    // astray (LoseReplies). Set it before Start.
    using RequestWatcher = std::function<void(const SimFrame&, bool replyLost)>;
    void SetRequestWatcher(RequestWatcher watcher) { watcher_ = std::move(watcher); }

    // Reply builders: echo three times, fields with complements, end marker;
    // the acknowledgement 0x11 x3; the busy answer 0x22 x3.
    static std::vector<std::uint8_t> Reply(std::uint8_t echo, const std::vector<std::uint8_t>& fields);
    // The value of a well-formed register write (command 0x52: address,
    // register, width 2 or 4, the value low byte first); 2 bytes are signed.
    static std::optional<std::int32_t> WrittenValue(const SimFrame& f);
    static std::vector<std::uint8_t> Ack();
    static std::vector<std::uint8_t> Busy();
    // Splits a value into width little-endian bytes.
    static void AppendLE(std::vector<std::uint8_t>& out, std::uint32_t value, int width);

    // Parses one frame at the start of buf. Returns 1 with the frame and its
    // length, 0 when more bytes are needed, -1 when buf does not start a frame.
    static int ParseFrame(const std::uint8_t* buf, std::size_t size, SimFrame& frame, std::size_t& used);

private:
    struct Fault {
        FaultKind kind;
        int delayMs;
    };

    void Run();
    void Handle(const SimFrame& frame, const std::vector<std::uint8_t>& raw);
    bool PassRaw(std::vector<std::uint8_t>& buf);
    void SendReply(std::vector<std::uint8_t> reply);
    bool WriteAll(const std::vector<std::uint8_t>& bytes);
    bool SleepMs(int ms);
    void AddLog(bool request, std::vector<std::uint8_t> bytes, std::string note);
    void UpdateRegister1();
    void InstallDefaultHandlers();

    std::vector<std::uint8_t> OnRead(const SimFrame& f);
    std::vector<std::uint8_t> OnBlockRead(const SimFrame& f);
    std::vector<std::uint8_t> OnWrite(const SimFrame& f);
    std::vector<std::uint8_t> OnModuleInfo(const SimFrame& f);
    void InstallJobHandlers();
    std::vector<std::uint8_t> OnJobRead(const SimFrame& f);
    std::vector<std::uint8_t> OnJobWrite(const SimFrame& f);
    std::vector<std::uint8_t> OnSpecial(const SimFrame& f);
    std::vector<std::uint8_t> OnModuleCommand(const SimFrame& f);
    std::vector<std::uint8_t> OnModulePoll(const SimFrame& f);
    std::vector<std::uint8_t> OnProgram(const SimFrame& f);
    std::vector<std::uint8_t> OnSamples(const SimFrame& f);
    bool SilentNow() const;  // under mutex_
    int WidthLocked(int reg) const;  // under mutex_
    void RestartLocked(int ms);

    PtyPair pty_;  // keeps a slave end open, so the master sees no hang-up while the port is reopened
    int master_ = -1;
    int stopFd_ = -1;
    std::string devicePath_;
    std::string linkPath_;
    std::thread thread_;
    std::atomic<bool> running_{false};

    mutable std::mutex mutex_;  // everything below
    mutable std::condition_variable logCv_;
    int family_;
    std::uint16_t firmware_;
    int address_;
    bool silent_ = false;
    std::array<std::int32_t, 256> regs_{};
    std::array<int, 256> widths_{};  // 0: the family's width
    std::vector<std::uint8_t> moduleInfo_;
    std::map<std::uint8_t, Handler> handlers_;
    RawHandler raw_;
    FaultConfig faults_;
    std::mt19937 rng_;
    std::deque<Fault> pending_;
    std::vector<LogEntry> log_;
    std::vector<SimFrame> requests_;
    RequestWatcher watcher_;  // set before Start, read by the motor's thread
    struct ReplyLoss {
        std::uint8_t command;
        int selector;
        int count;
    };
    std::vector<ReplyLoss> losses_;
    bool TakeReplyLoss(const SimFrame& f);  // under mutex_

    // Special commands.
    std::int64_t silentUntilUs_ = 0;
    int restartAcks_ = 3;
    int restartMs_ = 300;
    int acksSinceCommand_ = 0;
    int restarts_ = 0;
    int stopSettleReads_ = 2;
    int stopCountdown_ = -1;
    // Modules.
    int eepromBusyMs_ = 100;
    std::int64_t eepromBusyUntilUs_ = 0;
    bool eepromForever_ = false;
    std::vector<std::uint8_t> moduleIo_ = std::vector<std::uint8_t>(8, 0);
    std::vector<std::uint8_t> profibus_;
    std::vector<std::uint8_t> netStatus_;
    std::string debugText_;
    std::vector<std::uint8_t> format_ = std::vector<std::uint8_t>(512, 0);
    int formatBlocks_ = 0;
    std::pair<int, int> deviceNet_{-1, -1};
    std::vector<std::uint8_t> fsSetup_;
    std::vector<std::uint8_t> program_ = std::vector<std::uint8_t>(8192, 0);
    int runState_ = 0;
    int programCounter_ = 0;
    int outputs_ = 0;
    int statusLength_ = 64;
    int uploadExtra_ = 0;
    // Sampling.
    int recordings_ = 0;
    int sampleCursor_ = 0;
};

}  // namespace quenor::motorsim
