#include "link/frames.h"

#include "platform/clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace quenor {

void FrameLink::SendCommand(std::uint8_t command)
{
    port_.PutByte(command);
    port_.PutByte(command);
    port_.PutByte(command);
}

void FrameLink::SendByte(std::uint8_t b)
{
    port_.PutByte(b);
    port_.PutByte(static_cast<std::uint8_t>(255 - b));
}

void FrameLink::SendFrameEnd()
{
    port_.PutByte(FRAME_END);
    port_.PutByte(FRAME_END);
    port_.Flush();
}

void FrameLink::SendFrame(std::uint8_t command, std::initializer_list<std::uint8_t> fields)
{
    SendCommand(command);
    for (std::uint8_t f : fields)
        SendByte(f);
    SendFrameEnd();
}

int FrameLink::ReceiveExpected(int expected)
{
    const int b = port_.ReadByte(0);
    if (expected != -1 && b != expected)
        throw FrameError();
    return b;
}

int FrameLink::ReceiveByte()
{
    const int b = ReceiveExpected(-1);
    ReceiveExpected(255 - b);
    return b;
}

int FrameLink::ReceiveSignedByte()
{
    const int b = ReceiveByte();
    return b >= 128 ? b - 256 : b;
}

int FrameLink::ReceiveSignedWord()
{
    const int lo = ReceiveByte();
    const int hi = ReceiveByte();
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

void FrameLink::ReceiveAck()
{
    ReceiveExpected(REPLY_ACK);
    ReceiveExpected(REPLY_ACK);
    ReceiveExpected(REPLY_ACK);
    WaitTick();
}

void FrameLink::ReceiveFrameEnd()
{
    ReceiveExpected(FRAME_END);
    ReceiveExpected(FRAME_END);
    if (sleepAfterReply_)
        Sleep(1);
    WaitTick();
}

void FrameLink::Sleep(std::int64_t ms)
{
    if (stop_) {
        if (!stop_->SleepMs(ms))
            throw SerAborted{};
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

void FrameLink::SleepUs(std::int64_t us)
{
    const auto d = std::chrono::microseconds(us);
    if (stop_) {
        if (!stop_->SleepFor(d))
            throw SerAborted{};
    } else {
        std::this_thread::sleep_for(d);
    }
}

void FrameLink::WaitTick()
{
    // The motor needs more than 1 ms after each reply. A timed sleep wakes a
    // little late; the first sleep aims early by most of the lateness seen so
    // far, so the wait ends just past the mark without spinning.
    const std::int64_t mark = MonotonicUs() + 1000;
    bool first = true;
    for (;;) {
        const std::int64_t now = MonotonicUs();
        if (now > mark)
            return;
        const std::int64_t early = first ? wakeLatencyUs_ * 3 / 4 : 0;
        const std::int64_t target = std::max(now + 1, mark + 1 - early);
        SleepUs(target - now);
        const std::int64_t late = std::clamp<std::int64_t>(MonotonicUs() - target, 0, 200);
        wakeLatencyUs_ += (late - wakeLatencyUs_) / 8;
        first = false;
    }
}

RegisterReply FrameLink::ReceiveRegisterReply(std::uint8_t echo)
{
    port_.Receive(9);  // echo three times and the status, register and length fields
    ReceiveExpected(echo);
    ReceiveExpected(echo);
    ReceiveExpected(echo);
    if (ReceiveByte() != 0)
        throw ComIntException{1};
    RegisterReply r;
    r.reg = ReceiveByte();
    r.length = ReceiveByte();
    if (r.length > 4)
        r.length = 4;
    port_.Receive(2 * r.length + 2);
    for (int i = 0; i < r.length; ++i)
        r.raw |= static_cast<std::uint32_t>(ReceiveByte()) << (8 * i);
    ReceiveFrameEnd();
    return r;
}

std::int32_t RegisterValue(std::uint32_t raw, int width)
{
    if (width == 4)
        return static_cast<std::int32_t>(raw);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(raw & 0xFFFF));
}

}  // namespace quenor
