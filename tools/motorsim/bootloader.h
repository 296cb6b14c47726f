#pragma once
// The simulated motor's bootloader, one of the six variants.
//
// The motor enters it by the variant's jump command (a register-protocol frame
// to address 255) or by a simulated power cycle. It then waits for the
// attention byte, answers the reply code and speaks the bootloader frames:
// commands 0 (sync), 8 (identify), 11 (line speed), 2 (erase, with the status
// frame of variants 2, 3 and 5, variant 2's after a delay), 1 (write: header,
// payload, two status frames), 10 (verify, variant 1) and 7 (start the
// firmware: the motor leaves the bootloader).
//
// It holds a flash image of the bytes written. Bytes that arrive while the
// line runs at another speed than the bootloader expects are lost, as on a
// real line. Faults are seeded: failed writes, dropped replies.

#include "tools/motorsim/motorsim.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace quenor::motorsim {

struct BootloaderConfig {
    int variant = 0;
    int version = 0x0102;  // loader version word, sent high byte first
    int revision = 21;
    int hardware = 0;      // hardware type the identify command reports
    int moduleType = 0;    // picks variant 1's and 3's jump command like the loader does
    int eraseDelayMs = 0;  // variant 2: the erase status comes this late
    int byteTimeoutMs = 300;      // a payload with a longer pause in it is given up
    bool answerAttention = true;  // false: the reply code is lost (a keyed RS-485 line)
};

class SimBootloader {
public:
    // Installs the jump command's handler on the motor.
    SimBootloader(MotorSim& sim, BootloaderConfig config);
    ~SimBootloader();
    SimBootloader(const SimBootloader&) = delete;
    SimBootloader& operator=(const SimBootloader&) = delete;

    // The device is switched off and on: it starts in the bootloader and waits
    // for the attention byte.
    void PowerCycle();
    bool InBootloader() const;

    // The jump command of a variant (-1: none), as the firmware knows it.
    static int JumpCommandFor(int variant, int hardware, int moduleType);
    static int BaudFor(int variant);

    std::map<std::uint32_t, std::uint8_t> Flash() const;
    std::vector<int> Erased() const;
    int Starts() const;          // command 7 received
    int Writes() const;          // write commands whose data passed its checksum
    std::vector<int> Commands() const;  // every command received, in order
    int LostBytes() const;       // bytes that came at the wrong line speed

    // Faults. Writes (those whose data passes its checksum) are counted from 1:
    // writes first .. first + count - 1 answer the flash status `status`.
    void FailWrites(int first, int count, int status = 5);
    // Replies to this command: the next `after` are sent, the count after
    // them are not.
    void DropReplies(int command, int count = 1, int after = 0);
    // Every reply is dropped with this chance, drawn from a generator with this seed.
    void SetRandomDrops(std::uint32_t seed, double chance);

private:
    // The state lives as long as the motor holds a handler that uses it, so a
    // byte that arrives while the bootloader goes away finds it still there.
    struct Core;
    MotorSim& sim_;
    int jump_ = -1;
    std::shared_ptr<Core> core_;
};

}  // namespace quenor::motorsim
