#include "update/loaderlink.h"

#include "platform/clock.h"
#include "update/firmwarefile.h"

#include <cerrno>
#include <algorithm>
#include <poll.h>
#include <unistd.h>

namespace quenor {

std::vector<std::uint8_t> BuildLoaderFrame(int command, const std::uint8_t* data, int n)
{
    std::vector<std::uint8_t> frame;
    frame.reserve(static_cast<std::size_t>(n) + 3);
    frame.push_back(static_cast<std::uint8_t>(command + 0xA0));
    frame.push_back(static_cast<std::uint8_t>(n));
    for (int i = 0; i < n; ++i)
        frame.push_back(data[i]);
    unsigned sum = 0;
    for (std::uint8_t b : frame)
        sum += b;
    frame.push_back(static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    return frame;
}

void LoaderLink::SendCommand(int command, const std::uint8_t* data, int n)
{
    const std::vector<std::uint8_t> frame = BuildLoaderFrame(command, data, n);
    for (std::uint8_t b : frame)
        port_.PutByte(b);
    port_.Flush();
}

void LoaderLink::SendRaw(const std::uint8_t* data, std::size_t n)
{
    port_.Flush();
    const std::size_t piece = static_cast<std::size_t>(std::max(1, std::min(4096, port_.BufferSize() - 1)));
    for (std::size_t done = 0; done < n;) {
        const std::size_t k = std::min(piece, n - done);
        port_.SendBuffer(data + done, static_cast<int>(k));
        done += k;
    }
}

void LoaderLink::SendZeros(std::size_t n)
{
    const std::vector<std::uint8_t> zeros(n, 0);
    SendRaw(zeros.data(), zeros.size());
}

int LoaderLink::WaitReply(int command, std::uint8_t* out, int outSize)
{
    // Whether or not input came, the frame is then read within the port's time-outs.
    if (waitMs_ > 0)
        port_.WaitForInput(waitMs_);
    return PollReply(command, out, outSize);
}

int LoaderLink::PollReply(int command, std::uint8_t* out, int outSize)
{
    port_.Receive(2);
    const int head = port_.TakeByte();
    const int length = port_.TakeByte();
    if (head != command + 0xA0)
        throw TErr("Error sending command: " + std::to_string(command));
    const int n = length & 0x0F;
    port_.Receive(n + 1);
    std::uint8_t data[16] = {};
    unsigned sum = static_cast<unsigned>(head + length);
    for (int i = 0; i < n; ++i) {
        data[i] = static_cast<std::uint8_t>(port_.TakeByte());
        sum += data[i];
    }
    sum += static_cast<unsigned>(port_.TakeByte());
    if ((sum & 0xFF) != 0)
        throw TErr("Error sending command: " + std::to_string(command));
    if (out != nullptr && outSize > 0)
        std::copy_n(data, std::min(n, outSize), out);
    Sleep(pauseMs_);
    return n > 0 ? data[0] : 0;
}

void LoaderLink::Sleep(int ms)
{
    if (ms <= 0)
        return;
    if (abortFd_ < 0) {
        usleep(static_cast<useconds_t>(ms) * 1000);
        return;
    }
    const std::int64_t deadline = MonotonicMs() + ms;
    for (std::int64_t left = ms; left > 0; left = deadline - MonotonicMs()) {
        pollfd p{abortFd_, POLLIN, 0};
        const int r = poll(&p, 1, static_cast<int>(left));
        if (r > 0)
            throw SerAborted{};
        if (r == 0)
            return;
        if (errno != EINTR)
            return;
    }
}

}  // namespace quenor
