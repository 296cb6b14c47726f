#pragma once
// Proxy credentials asked of the GUI thread by a worker. The worker calls
// AskProxyCredentials, which posts UM_PROXYCREDENTIALS to the dialog and
// waits; the dialog asks the user and calls Answer. Cancel (the worker is
// being stopped) ends the wait at once, and every later ask, with "no".

#include "platform/messages.h"
#include "update/httpclient.h"

#include <condition_variable>
#include <mutex>

namespace quenor {

// To the dialog that owns the worker: please call Answer on the prompt.
inline constexpr int UM_PROXYCREDENTIALS = WM_USER + 103;

class ProxyPrompt : public ProxyCredentials {
public:
    explicit ProxyPrompt(MessageTarget* target) : target_(target) {}

    bool AskProxyCredentials(std::string& user, std::string& password) override;  // worker
    void Answer(bool ok, const std::string& user, const std::string& password);    // GUI
    void Cancel();                                                                  // any thread

private:
    MessageTarget* target_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool cancelled_ = false;
    bool waiting_ = false;
    bool answered_ = false;
    bool ok_ = false;
    std::string user_;
    std::string password_;
};

}  // namespace quenor
