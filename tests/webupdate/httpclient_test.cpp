// The HTTPS client against the test server: statuses, lengths, cut and stalled
// bodies, trust, redirects and the proxy's credentials.

#include "platform/recordingtarget.h"
#include "update/httpclient.h"
#include "update/proxyprompt.h"
#include "updateserver.h"

#include <chrono>

namespace quenor {
namespace {

using test::UpdateServer;

QByteArray Pattern(int n)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return b;
}

TEST(HttpClient, AnswersAndFailures)
{
    UpdateServer server;
    ASSERT_TRUE(server.Ok());
    const QByteArray big = Pattern(30011);
    server.Put("big.bin", big);
    server.Put("missing.txt", "<html>Gone</html>", "status 404");
    server.Put("broken.maf", "<html>Oops</html>", "status 500");
    server.Put("nolength.maf", big, "nolength");
    server.Put("short.maf", big, "short");
    server.Put("tohttp.maf", "x", "redirect http://127.0.0.1:{http}/big.bin");
    server.Put("tohttps.maf", "x", "redirect https://127.0.0.1:{https}/big.bin");

    // Text: any status, every byte, whatever the chunking.
    {
        THTTPClient client("QUENOR", server.Options());
        int status = 0;
        EXPECT_EQ(client.ReadFile(server.Url("missing.txt"), &status), "<html>Gone</html>");
        EXPECT_EQ(status, 404);
        EXPECT_EQ(QByteArray::fromStdString(client.ReadFile(server.Url("big.bin"), &status)), big);
        EXPECT_EQ(status, 200);
    }

    struct Case {
        const char* path;
        const char* error;  // nullptr: the whole body arrives
    };
    const Case cases[] = {
        {"big.bin", nullptr},
        {"tohttps.maf", nullptr},
        {"broken.maf", kHttpReadError},
        {"missing.txt", kHttpReadError},
        {"nolength.maf", kHttpNoFileSize},
        {"short.maf", kHttpReadError},
        {"tohttp.maf", kHttpConnectionError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        THTTPClient client("QUENOR", server.Options());
        std::int64_t lastDone = -1;
        std::int64_t lastTotal = -1;
        client.OnProgress = [&](int kind, std::int64_t done, std::int64_t total) {
            EXPECT_EQ(kind, 1);
            lastDone = done;
            lastTotal = total;
        };
        QByteArray got;
        auto sink = [&got](const char* p, std::size_t n) {
            got.append(p, static_cast<qsizetype>(n));
            return true;
        };
        if (!c.error) {
            client.ReadToStream(server.Url(c.path), sink);
            EXPECT_EQ(got, big);
            EXPECT_EQ(lastDone, big.size());
            EXPECT_EQ(lastTotal, big.size());
            continue;
        }
        try {
            client.ReadToStream(server.Url(c.path), sink);
            ADD_FAILURE() << "no error";
        } catch (const EWininet& e) {
            EXPECT_STREQ(e.what(), c.error);
            EXPECT_FALSE(e.Cancelled());
        }
        // An error page, or a body of unknown length, never reaches the stream.
        if (std::string(c.path) != "short.maf") {
            EXPECT_TRUE(got.isEmpty());
        }
    }

    // A sink that throws ends the transfer: its exception comes out of the
    // call once the library is done, and the client serves the next request.
    {
        THTTPClient client("QUENOR", server.Options());
        int pieces = 0;
        try {
            client.ReadToStream(server.Url("big.bin"), [&pieces](const char*, std::size_t) -> bool {
                ++pieces;
                throw std::runtime_error("disk full");
            });
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "disk full");
            EXPECT_EQ(dynamic_cast<const EWininet*>(&e), nullptr);
        }
        EXPECT_EQ(pieces, 1);
        QByteArray got;
        client.ReadToStream(server.Url("big.bin"), [&got](const char* p, std::size_t n) {
            got.append(p, static_cast<qsizetype>(n));
            return true;
        });
        EXPECT_EQ(got, big);
    }

    // A server whose authority we do not know is refused.
    HttpOptions untrusted = server.Options();
    untrusted.caFile.clear();
    THTTPClient client("QUENOR", untrusted);
    try {
        client.ReadFile(server.Url("big.bin"));
        ADD_FAILURE() << "untrusted server accepted";
    } catch (const EWininet& e) {
        EXPECT_STREQ(e.what(), kHttpConnectionError);
    }
}

TEST(HttpClient, AStallEndsAtTheLimit)
{
    UpdateServer server;
    ASSERT_TRUE(server.Ok());
    server.Put("stall.maf", Pattern(5000), "stall");

    THTTPClient client("QUENOR", server.Options());  // 2 s without a byte
    const auto start = std::chrono::steady_clock::now();
    try {
        client.ReadToStream(server.Url("stall.maf"), [](const char*, std::size_t) { return true; });
        ADD_FAILURE() << "no error";
    } catch (const EWininet& e) {
        EXPECT_STREQ(e.what(), kHttpReadError);
        EXPECT_FALSE(e.Cancelled());
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(1500));
    EXPECT_LT(took, std::chrono::seconds(20));

}

class FixedCredentials : public ProxyCredentials {
public:
    explicit FixedCredentials(bool give) : give_(give) {}
    bool AskProxyCredentials(std::string& user, std::string& password) override
    {
        ++asked;
        user = "user";
        password = "secret";
        return give_;
    }
    int asked = 0;

private:
    bool give_;
};

TEST(HttpClient, AProxyAsksForCredentials)
{
    UpdateServer server;
    ASSERT_TRUE(server.Ok());
    server.Put("list.txt", "a.maf\n");
    for (bool give : {true, false}) {
        SCOPED_TRACE(give);
        FixedCredentials credentials(give);
        HttpOptions o = server.Options();
        o.proxy = server.ProxyUrl();
        o.credentials = &credentials;
        THTTPClient client("QUENOR", o);
        if (give) {
            EXPECT_EQ(client.ReadFile(server.Url("list.txt")), "a.maf\n");
            // The credentials are kept for the client's next request.
            EXPECT_EQ(client.ReadFile(server.Url("list.txt")), "a.maf\n");
        } else {
            try {
                client.ReadFile(server.Url("list.txt"));
                ADD_FAILURE() << "no error";
            } catch (const EWininet& e) {
                EXPECT_STREQ(e.what(), kHttpAuthFailed);
            }
        }
        EXPECT_EQ(credentials.asked, 1);
    }
}

TEST(HttpClient, AStopEndsTheWaitForCredentials)
{
    RecordingTarget target;
    ProxyPrompt prompt(&target);
    std::atomic<int> result{-1};
    std::thread worker([&] {
        std::string user;
        std::string password;
        result = prompt.AskProxyCredentials(user, password) ? 1 : 0;
    });
    ASSERT_TRUE(target.WaitForMessage(UM_PROXYCREDENTIALS, std::chrono::seconds(10)));
    EXPECT_EQ(result.load(), -1);  // still waiting for the user
    prompt.Cancel();
    worker.join();
    EXPECT_EQ(result.load(), 0);
    // Later asks are declined at once.
    std::string user;
    std::string password;
    EXPECT_FALSE(prompt.AskProxyCredentials(user, password));
}

}  // namespace
}  // namespace quenor
