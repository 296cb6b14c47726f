#pragma once
// The register protocol's frames on a serial port.
//
// A request: the command byte three times, then fields, each byte B sent as B
// and 255 - B (the first field is the motor address), then 0xAA 0xAA. A reply
// has the same shape with the echo byte in front; an acknowledgement is
// 0x11 0x11 0x11. A frame is collected in the port's output ring and leaves in
// one write.
//
// Three kinds of failure: a byte that breaks the frame throws FrameError
// ("Forkert data modtaget"), a well-formed reply that says no (status, register,
// length) throws ComIntException, and a byte that does not come throws the
// port's TSerErr.

#include "link/sercom.h"

#include <cstdint>
#include <initializer_list>
#include <stdexcept>

namespace quenor {

class StopSignal;

inline constexpr const char* kFrameErrorText = "Forkert data modtaget";

// A byte that is not the one expected: the frame is abandoned where it broke.
class FrameError : public std::runtime_error {
public:
    FrameError() : std::runtime_error(kFrameErrorText) {}
};

// The protocol's integer exception: a reply that is well formed but refuses or
// does not match, and the full request ring (value 1 in both cases).
struct ComIntException {
    int value = 1;
};

// Command bytes of the register protocol.
enum : std::uint8_t {
    CMD_READ_REGISTER = 0x50,
    CMD_READ_BLOCK = 0x51,
    CMD_WRITE_REGISTER = 0x52,
    CMD_SPECIAL_STOP = 0x54,
    CMD_RESUME = 0x55,
    CMD_MODULE_INFO = 0x5F,
    REPLY_REGISTER = 0x52,
    REPLY_ACK = 0x11,
    REPLY_BUSY = 0x22,
    FRAME_END = 0xAA,
};

// The fixed part of a register reply: status, register and length as sent.
struct RegisterReply {
    int reg = 0;
    int length = 0;          // data fields read (a length above 4 is read as 4)
    std::uint32_t raw = 0;   // the data, little endian, unsigned
};

class FrameLink {
public:
    // stop may be null; then waits cannot be cut short.
    FrameLink(TSerCom& port, StopSignal* stop) : port_(port), stop_(stop) {}

    // Options bit 1 of the link: sleep 1 ms after every reply's end marker.
    void SetSleepAfterReply(bool on) { sleepAfterReply_ = on; }

    void SendCommand(std::uint8_t command);  // the command three times
    void SendByte(std::uint8_t b);           // b and 255 - b
    void SendFrameEnd();                     // 0xAA 0xAA, then the frame leaves
    // A whole request: command three times, the fields, the end marker.
    void SendFrame(std::uint8_t command, std::initializer_list<std::uint8_t> fields);

    int ReceiveExpected(int expected);  // -1 takes any byte
    int ReceiveByte();                  // a field: byte and complement
    int ReceiveSignedByte();
    int ReceiveSignedWord();            // two fields, low first
    void ReceiveAck();
    void ReceiveFrameEnd();
    // Waits until more than 1 ms has passed since entry, sleeping.
    void WaitTick();

    // Reads a register reply up to and including the end marker: echo three
    // times, status (not 0: ComIntException), register, length, data, end.
    // The caller checks the register.
    RegisterReply ReceiveRegisterReply(std::uint8_t echo = REPLY_REGISTER);

    TSerCom& Port() { return port_; }
    void Sleep(std::int64_t ms);  // throws SerAborted when told to stop

private:
    TSerCom& port_;
    StopSignal* stop_;
    bool sleepAfterReply_ = false;
    std::int64_t wakeLatencyUs_ = 0;  // how late timed sleeps wake, smoothed

    void SleepUs(std::int64_t us);
};

// A register value as the reply gives it: a 2-byte register is sign-extended
// from 16 bits, a 4-byte register is taken as it is.
std::int32_t RegisterValue(std::uint32_t raw, int width);

}  // namespace quenor
