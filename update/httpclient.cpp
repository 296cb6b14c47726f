#include "update/httpclient.h"

#include "platform/regularfile.h"

#include <curl/curl.h>

#include <cctype>
#include <chrono>
#include <exception>
#include <memory>
#include <mutex>

namespace quenor {

namespace {

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool StartsWithNoCase(const char* s, std::size_t n, const char* prefix)
{
    std::size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= n || std::tolower(static_cast<unsigned char>(s[i])) != prefix[i])
            return false;
    }
    return true;
}

}  // namespace

struct THTTPClient::Transfer {
    bool toStream = false;
    const Sink* sink = nullptr;
    std::string* text = nullptr;
    const ProgressHandler* progress = nullptr;
    const std::atomic<bool>* stop = nullptr;

    // The response being received (reset at each status line).
    int status = 0;
    std::int64_t contentLength = -1;
    bool headersDone = false;  // the final response's headers have all arrived
    std::int64_t done = 0;
    std::string error;         // set by a callback that ends the transfer
    // An exception thrown by a sink or a progress handler: it never crosses the
    // library, which ends the transfer and lets it go on from Perform.
    std::exception_ptr exception;

    // Stall watch: the time the byte count last moved.
    std::chrono::steady_clock::duration stallLimit{};
    std::chrono::steady_clock::time_point lastMove{};
    curl_off_t lastBytes = -1;
    bool stalled = false;
};

namespace {

using Transfer = THTTPClient::Transfer;

// Checks a finished header block. Redirects are followed by the library and
// their blocks ignored; the first other block is the answer.
bool EndOfHeaders(Transfer& t)
{
    if (t.status < 200 || (t.status >= 300 && t.status < 400))
        return true;
    t.headersDone = true;
    if (!t.toStream)
        return true;
    // An answer outside 2xx carries no content: its body is the server's error
    // page, which must never be taken for a firmware file or a list.
    if (t.status > 299) {
        t.error = kHttpReadError;
        return false;
    }
    if (t.contentLength < 0) {
        t.error = kHttpNoFileSize;
        return false;
    }
    if (t.progress && *t.progress)
        (*t.progress)(1, 0, t.contentLength);
    return true;
}

std::size_t HeaderLine(Transfer& t, char* data, std::size_t n)
{
    if (StartsWithNoCase(data, n, "http/")) {
        // "HTTP/1.1 200 OK", "HTTP/2 404"
        std::size_t i = 5;
        while (i < n && data[i] != ' ')
            ++i;
        while (i < n && data[i] == ' ')
            ++i;
        int code = 0;
        int digits = 0;
        while (i < n && digits < 3 && std::isdigit(static_cast<unsigned char>(data[i]))) {
            code = code * 10 + (data[i] - '0');
            ++i;
            ++digits;
        }
        t.status = digits == 3 ? code : 0;
        t.contentLength = -1;
        t.headersDone = false;
    } else if (StartsWithNoCase(data, n, "content-length:")) {
        std::size_t i = 15;
        while (i < n && (data[i] == ' ' || data[i] == '\t'))
            ++i;
        std::int64_t v = 0;
        bool any = false;
        bool overflow = false;
        while (i < n && std::isdigit(static_cast<unsigned char>(data[i]))) {
            if (v > (INT64_MAX - 9) / 10)
                overflow = true;
            else
                v = v * 10 + (data[i] - '0');
            any = true;
            ++i;
        }
        while (i < n && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
            ++i;
        t.contentLength = (any && !overflow && i == n) ? v : -1;
    } else if (n <= 2 && (n == 0 || data[0] == '\r' || data[0] == '\n')) {
        if (!EndOfHeaders(t))
            return 0;
    }
    return n;
}

std::size_t Body(Transfer& t, char* data, std::size_t n)
{
    if (!t.headersDone) {
        t.error = kHttpReadError;
        return 0;
    }
    if (t.toStream) {
        if (t.done + static_cast<std::int64_t>(n) > t.contentLength) {
            t.error = kHttpReadError;
            return 0;
        }
        if (!(*t.sink)(data, n)) {
            t.error = kHttpReadError;
            return 0;
        }
        t.done += static_cast<std::int64_t>(n);
        if (t.progress && *t.progress)
            (*t.progress)(1, t.done, t.contentLength);
    } else {
        if (t.text->size() + n > THTTPClient::kMaxText) {
            t.error = kHttpReadError;
            return 0;
        }
        t.text->append(data, n);
        t.done += static_cast<std::int64_t>(n);
    }
    return n;
}

// A callback for the library: an exception of the handler never crosses the
// library's C code; it ends the transfer and goes on from Perform.
template <std::size_t (*Handle)(Transfer&, char*, std::size_t)>
std::size_t Callback(char* data, std::size_t size, std::size_t count, void* user)
{
    auto& t = *static_cast<Transfer*>(user);
    try {
        return Handle(t, data, size * count);
    } catch (...) {
        t.exception = std::current_exception();
        return 0;
    }
}

int ProgressCallback(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow)
{
    auto& t = *static_cast<Transfer*>(user);
    if (t.exception)
        return 1;
    if (t.stop && t.stop->load())
        return 1;
    const auto now = std::chrono::steady_clock::now();
    if (dlnow + ulnow != t.lastBytes) {
        t.lastBytes = dlnow + ulnow;
        t.lastMove = now;
    } else if (now - t.lastMove > t.stallLimit) {
        t.stalled = true;
        return 1;
    }
    return 0;
}

bool Stopped(const Transfer& t) { return t.stop && t.stop->load(); }

struct EasyCleanup {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

struct ListCleanup {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using HeaderList = std::unique_ptr<curl_slist, ListCleanup>;

// Sets an option; one the library refuses ends the request before it starts,
// as a transfer without its checks or its callbacks must never run.
template <typename T>
void Set(CURL* c, CURLoption option, T value)
{
    if (curl_easy_setopt(c, option, value) != CURLE_OK)
        throw EWininet(kHttpConnectionError);
}

}  // namespace

THTTPClient::THTTPClient(const std::string& agent, HttpOptions options)
    : agent_(agent.empty() ? std::string("QUENOR") : agent), options_(std::move(options))
{
    GlobalInit();
}

THTTPClient::~THTTPClient() = default;

const std::string& THTTPClient::TrustedAuthorities()
{
    if (!authorities_) {
        // A bundle of every public authority is a few hundred KB.
        constexpr std::size_t kLimit = 16 * 1024 * 1024;
        ReadFault fault = ReadFault::None;
        std::optional<std::string> text = ReadWholeFile(options_.caFile, kLimit, &fault);
        if (!text)
            throw EWininet("CAFile " + options_.caFile + ": " +
                               ReadFaultReason(fault, kLimit, "a file of certificate authorities"),
                           false, true);
        authorities_ = std::move(text);
    }
    return *authorities_;
}

int THTTPClient::Perform(const std::string& url, Transfer& t)
{
    t.stop = options_.stop;

    for (;;) {
        if (Stopped(t))
            throw EWininet(kHttpConnectionError, true);
        // Every request has a handle of its own, made with the library's
        // defaults and freed when the request ends, so nothing one transfer
        // left behind (buffers, redirect or connection state) reaches the next.
        const EasyHandle handle(curl_easy_init());
        CURL* c = handle.get();
        if (!c)
            throw EWininet(kHttpConnectionError);
        HeaderList headers(curl_slist_append(nullptr, "Cache-Control: no-cache"));
        if (!headers || !curl_slist_append(headers.get(), "Pragma: no-cache"))
            throw EWininet(kHttpConnectionError);
        Set(c, CURLOPT_URL, url.c_str());
        Set(c, CURLOPT_USERAGENT, agent_.c_str());
        Set(c, CURLOPT_PROTOCOLS_STR, "https");
        Set(c, CURLOPT_REDIR_PROTOCOLS_STR, "https");
        Set(c, CURLOPT_FOLLOWLOCATION, 1L);
        Set(c, CURLOPT_MAXREDIRS, 8L);
        Set(c, CURLOPT_SSL_VERIFYPEER, 1L);
        Set(c, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_blob authorities{};
        if (!options_.caFile.empty()) {
            const std::string& pem = TrustedAuthorities();
            authorities = {const_cast<char*>(pem.data()), pem.size(), CURL_BLOB_NOCOPY};
            Set(c, CURLOPT_CAINFO_BLOB, &authorities);
        }
        if (options_.proxy)
            Set(c, CURLOPT_PROXY, options_.proxy->c_str());
        Set(c, CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_ANY));
        if (!proxyUser_.empty() || !proxyPassword_.empty()) {
            Set(c, CURLOPT_PROXYUSERNAME, proxyUser_.c_str());
            Set(c, CURLOPT_PROXYPASSWORD, proxyPassword_.c_str());
        }
        Set(c, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
        Set(c, CURLOPT_FRESH_CONNECT, 1L);
        Set(c, CURLOPT_NOSIGNAL, 1L);
        Set(c, CURLOPT_CONNECTTIMEOUT_MS, options_.connectTimeoutMs);
        Set(c, CURLOPT_HTTPHEADER, headers.get());
        Set(c, CURLOPT_HEADERFUNCTION, &Callback<HeaderLine>);
        Set(c, CURLOPT_HEADERDATA, static_cast<void*>(&t));
        Set(c, CURLOPT_WRITEFUNCTION, &Callback<Body>);
        Set(c, CURLOPT_WRITEDATA, static_cast<void*>(&t));
        Set(c, CURLOPT_NOPROGRESS, 0L);
        Set(c, CURLOPT_XFERINFOFUNCTION, &ProgressCallback);
        Set(c, CURLOPT_XFERINFODATA, static_cast<void*>(&t));

        t.status = 0;
        t.contentLength = -1;
        t.headersDone = false;
        t.done = 0;
        t.error.clear();
        t.exception = nullptr;
        t.stallLimit = std::chrono::seconds(options_.stallTimeoutS);
        t.lastMove = std::chrono::steady_clock::now();
        t.lastBytes = -1;
        t.stalled = false;
        if (t.text)
            t.text->clear();

        const CURLcode rc = curl_easy_perform(c);
        if (t.exception)
            std::rethrow_exception(t.exception);

        long connectCode = 0;
        curl_easy_getinfo(c, CURLINFO_HTTP_CONNECTCODE, &connectCode);
        const bool proxyRefused = connectCode == 407 || (rc == CURLE_OK && t.status == 407);
        if (proxyRefused && !Stopped(t)) {
            std::string user;
            std::string password;
            if (!options_.credentials || !options_.credentials->AskProxyCredentials(user, password))
                throw EWininet(kHttpAuthFailed, Stopped(t));
            proxyUser_ = std::move(user);
            proxyPassword_ = std::move(password);
            continue;
        }
        if (Stopped(t))
            throw EWininet(kHttpConnectionError, true);
        if (t.stalled)
            throw EWininet(t.headersDone ? kHttpReadError : kHttpConnectionError);
        if (!t.error.empty())
            throw EWininet(t.error);
        if (rc != CURLE_OK) {
            if (t.headersDone)
                throw EWininet(kHttpReadError);
            throw EWininet(kHttpConnectionError);
        }
        if (!t.headersDone)
            throw EWininet(kHttpConnectionError);
        if (t.toStream && t.done != t.contentLength)
            throw EWininet(kHttpReadError);
        return t.status;
    }
}

std::string THTTPClient::ReadFile(const std::string& url, int* status)
{
    std::string text;
    Transfer t;
    t.text = &text;
    const int code = Perform(url, t);
    if (status)
        *status = code;
    return text;
}

void THTTPClient::ReadToStream(const std::string& url, const Sink& sink)
{
    Transfer t;
    t.toStream = true;
    t.sink = &sink;
    t.progress = &OnProgress;
    Perform(url, t);
}

}  // namespace quenor
