#include "update/proxyprompt.h"

namespace quenor {

bool ProxyPrompt::AskProxyCredentials(std::string& user, std::string& password)
{
    std::unique_lock lock(mutex_);
    if (cancelled_)
        return false;
    waiting_ = true;
    answered_ = false;
    lock.unlock();
    PostMessage(target_, UM_PROXYCREDENTIALS, 0, 0);
    lock.lock();
    cv_.wait(lock, [this] { return answered_ || cancelled_; });
    waiting_ = false;
    if (cancelled_ || !ok_)
        return false;
    user = user_;
    password = password_;
    return true;
}

void ProxyPrompt::Answer(bool ok, const std::string& user, const std::string& password)
{
    std::lock_guard lock(mutex_);
    if (!waiting_)
        return;
    ok_ = ok;
    user_ = user;
    password_ = password;
    answered_ = true;
    cv_.notify_all();
}

void ProxyPrompt::Cancel()
{
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    cv_.notify_all();
}

}  // namespace quenor
