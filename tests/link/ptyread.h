#pragma once
// Reads what the port under test sent, from the far end of a pseudo-terminal.

#include "platform/clock.h"

#include <algorithm>
#include <cstdint>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace quenor::linktest {

// Up to n bytes from fd, waiting at most ms for them.
inline std::vector<std::uint8_t> ReadFar(int fd, std::size_t n, int ms)
{
    std::vector<std::uint8_t> out;
    const std::int64_t end = MonotonicMs() + ms;
    while (out.size() < n && MonotonicMs() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0)
            continue;
        std::uint8_t buf[512];
        const ssize_t r = ::read(fd, buf, std::min(sizeof buf, n - out.size()));
        if (r > 0)
            out.insert(out.end(), buf, buf + r);
    }
    return out;
}

}  // namespace quenor::linktest
