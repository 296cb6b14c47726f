#include "platform/recordingtarget.h"

#include <algorithm>
#include <utility>

namespace quenor {

void RecordingTarget::Post(Message m)
{
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(std::move(m));
    }
    cv_.notify_all();
}

std::vector<Message> RecordingTarget::Snapshot() const
{
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<Message> RecordingTarget::Take()
{
    std::lock_guard lock(mutex_);
    std::vector<Message> out;
    out.swap(messages_);
    return out;
}

void RecordingTarget::Clear()
{
    std::lock_guard lock(mutex_);
    messages_.clear();
}

std::size_t RecordingTarget::Size() const
{
    std::lock_guard lock(mutex_);
    return messages_.size();
}

bool RecordingTarget::WaitFor(const std::function<bool(const std::vector<Message>&)>& pred,
                              std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return pred(messages_); });
}

bool RecordingTarget::WaitForMessage(int msg, std::chrono::milliseconds timeout) const
{
    return WaitFor(
        [msg](const std::vector<Message>& ms) {
            return std::any_of(ms.begin(), ms.end(), [msg](const Message& m) { return m.msg == msg; });
        },
        timeout);
}

bool RecordingTarget::WaitForMessage(int msg, std::int64_t wParam, std::chrono::milliseconds timeout) const
{
    return WaitFor(
        [msg, wParam](const std::vector<Message>& ms) {
            return std::any_of(ms.begin(), ms.end(),
                               [&](const Message& m) { return m.msg == msg && m.wParam == wParam; });
        },
        timeout);
}

}  // namespace quenor
