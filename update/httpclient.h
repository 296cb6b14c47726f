#pragma once
// The small HTTPS client of the update threads, on libcurl. Blocking: a client
// belongs to one worker thread, which waits in its calls. Every failure is
// thrown as an EWininet with one of four texts, or, when a setting of the
// user's keeps the request from going out at all (a file of trusted
// authorities that cannot be used), with the reason (Setting()).
//
// The file of trusted authorities is read by the rule for files from
// outside (a regular file only; a named pipe in its place is never waited
// for) and handed to the library as its contents, never as a path.
//
// Only https is spoken: certificate and host are always verified, redirects
// are followed to https only, answers are never taken from a cache. The proxy
// is the environment's (https_proxy, no_proxy); when it asks for credentials
// (407) the client asks its ProxyCredentials and tries again with what the user
// gave.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace quenor {

inline constexpr const char* kHttpConnectionError = "Connection error";
inline constexpr const char* kHttpAuthFailed = "Authtication failed";
inline constexpr const char* kHttpNoFileSize = "Error getting file size";
inline constexpr const char* kHttpReadError = "Error reading the file";

class EWininet : public std::runtime_error {
public:
    explicit EWininet(const std::string& text, bool cancelled = false, bool setting = false)
        : std::runtime_error(text), cancelled_(cancelled), setting_(setting) {}
    // The transfer ended because its owner asked it to stop.
    bool Cancelled() const { return cancelled_; }
    // Nothing went out: a setting is at fault, and the text says why.
    bool Setting() const { return setting_; }

private:
    bool cancelled_;
    bool setting_;
};

// Asked on the worker thread when the proxy wants credentials. Returns false
// when the user declines or the worker is being stopped.
class ProxyCredentials {
public:
    virtual ~ProxyCredentials() = default;
    virtual bool AskProxyCredentials(std::string& user, std::string& password) = 0;
};

struct HttpOptions {
    std::string caFile;                    // trusted authorities (PEM); empty: the system's
    std::optional<std::string> proxy;      // unset: the environment's; "": none
    long connectTimeoutMs = 30000;         // to set up the connection
    long stallTimeoutS = 60;               // no byte for this long ends a transfer
    const std::atomic<bool>* stop = nullptr;  // when set, the running transfer is cancelled
    ProxyCredentials* credentials = nullptr;
};

class THTTPClient {
public:
    // (kind, bytes done, total bytes); kind is always 1.
    using ProgressHandler = std::function<void(int, std::int64_t, std::int64_t)>;
    // Takes the next piece of a body; false fails the transfer.
    using Sink = std::function<bool(const char* data, std::size_t n)>;

    static constexpr std::size_t kMaxText = 8 * 1024 * 1024;

    explicit THTTPClient(const std::string& agent = "QUENOR", HttpOptions options = {});
    ~THTTPClient();
    THTTPClient(const THTTPClient&) = delete;
    THTTPClient& operator=(const THTTPClient&) = delete;

    // The whole body as text, whatever the status; status, when given, gets it.
    std::string ReadFile(const std::string& url, int* status = nullptr);
    // The whole body into sink. Fails before the first byte unless the status
    // is 200-299 and the length is announced; fails unless exactly that many
    // bytes arrive. Calls OnProgress. An exception thrown by sink or OnProgress
    // ends the transfer and comes out of this call unchanged.
    void ReadToStream(const std::string& url, const Sink& sink);

    ProgressHandler OnProgress;

    struct Transfer;

private:
    int Perform(const std::string& url, Transfer& t);
    // The contents of the file of trusted authorities; EWininet (Setting) when
    // it cannot be used.
    const std::string& TrustedAuthorities();

    std::string agent_;
    HttpOptions options_;
    std::string proxyUser_;
    std::string proxyPassword_;
    std::optional<std::string> authorities_;  // read once, at the first request
};

}  // namespace quenor
