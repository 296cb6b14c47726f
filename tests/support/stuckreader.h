#pragma once
// A guard for tests of readers that must never wait on a named pipe.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <unistd.h>

namespace quenor::test {

// Should a reader be stuck opening the named pipe at path (nobody writes to
// it), its other end is opened after 10 s, so that the test ends, and fails:
// released tells that it was needed. For a writer stuck the same way (nobody
// reads), openFlags is O_RDONLY.
inline std::jthread ReleaseStuckReader(std::string path, std::atomic<bool>& released, int openFlags = O_WRONLY)
{
    return std::jthread([path = std::move(path), &released, openFlags](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait_for(lock, stop, std::chrono::seconds(10), [] { return false; });
        while (!stop.stop_requested()) {
            // A writer's open fails while nobody reads; a reader's always
            // succeeds, so it is tried once the time is up only.
            if (const int fd = ::open(path.c_str(), openFlags | O_NONBLOCK); fd >= 0) {
                released = true;
                ::close(fd);
            }
            wake.wait_for(lock, stop, std::chrono::milliseconds(50), [] { return false; });
        }
    });
}

}  // namespace quenor::test
