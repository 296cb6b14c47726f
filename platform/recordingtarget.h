#pragma once
// A message target that keeps what it is given, for tests and for code that
// collects replies without a window. Thread-safe.

#include "platform/messages.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace quenor {

class RecordingTarget : public MessageTarget {
public:
    void Post(Message m) override;

    std::vector<Message> Snapshot() const;
    std::vector<Message> Take();  // snapshot and clear
    void Clear();
    std::size_t Size() const;

    // Waits until pred(messages so far) holds or the time-out passes; returns pred's last result.
    bool WaitFor(const std::function<bool(const std::vector<Message>&)>& pred,
                 std::chrono::milliseconds timeout) const;
    // Waits for a message with this number (and, when given, this wParam) to arrive.
    bool WaitForMessage(int msg, std::chrono::milliseconds timeout) const;
    bool WaitForMessage(int msg, std::int64_t wParam, std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::vector<Message> messages_;
};

}  // namespace quenor
