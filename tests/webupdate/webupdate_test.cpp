// The update threads against the test server: firmware files fetched into the
// user's folder, the release check, the download with unpacking and the
// hand-over to a stub updater, and stops in the middle.

#include "platform/recordingtarget.h"
#include "update/webupdate.h"
#include "support/savefaults.h"
#include "updateserver.h"

#include <QFile>
#include <QTemporaryDir>

#include <optional>
#include <thread>

namespace quenor {
namespace {

using namespace std::chrono_literals;
using test::UpdateServer;

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Fixture(const char* name) { return ReadAll(QString(QUENOR_FIXTURES "/") + name); }

QByteArray Pattern(int n)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return b;
}

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

std::vector<std::int64_t> Codes(const RecordingTarget& target, int msg)
{
    std::vector<std::int64_t> codes;
    for (const Message& m : target.Snapshot()) {
        if (m.msg == msg)
            codes.push_back(m.wParam);
    }
    return codes;
}

TEST(WebUpdate, FetchesWhatIsMissing)
{
    UpdateServer server;
    ASSERT_TRUE(server.Ok());
    server.Put("fw/a.maf", "AAAA");
    server.Put("fw/b.maf", QByteArray(4000, 'b'), "short");
    server.Put("fw/c.maf2", "CCCC");
    server.Put("fw/in user.maf", "old");
    server.Put("fw/inprogram.maf", "old");
    server.Put("fw/notfirmware.txt", "x");
    server.Put("fw/evil.maf", "x");
    server.Put("fw/error.maf", "<html>Oops</html>", "status 500");
    server.Put("fw/404/files4.txt", "a.maf\n", "status 404");
    // A redirect to plain http is refused; the same client then receives a
    // file larger than its read buffer.
    server.Put("fw/tohttp.maf", "x", "redirect http://127.0.0.1:{http}/fw/big.maf");
    server.Put("fw/big.maf", Pattern(30011));

    struct Case {
        const char* what;
        std::string url;
        QByteArray list;
        int code;
        QStringList userFiles;  // afterwards, sorted
        bool diskFull = false;  // the disk takes no file of more than 1 KB
    };
    const std::vector<Case> cases = {
        {"all present", server.Url("fw/"), " in user.maf \r\n\r\ninprogram.maf", kWebNothingNew, {"in user.maf"}},
        {"second fails", server.Url("fw/"), "a.maf\r\nb.maf\r\nerror.maf\nc.maf2\nin user.maf", kWebNewFiles,
         {"a.maf", "c.maf2", "in user.maf"}},
        {"unsafe names", server.Url("fw/"),
         "../evil.maf\n/tmp/evil.maf\nsub\\evil.maf\nc:evil.maf\n.evil.maf\nnotfirmware.txt\nev\til.maf",
         kWebNothingNew, {"in user.maf"}},
        {"refused redirect, then a large file", server.Url("fw/"), "tohttp.maf\nbig.maf\n", kWebNewFiles,
         {"big.maf", "in user.maf"}},
        {"list answered 404", server.Url("fw/404/"), "", kWebNoConnection, {"in user.maf"}},
        {"no server", "https://127.0.0.1:1/fw/", "", kWebNoConnection, {"in user.maf"}},
        {"a full disk keeps the file that did not fit out", server.Url("fw/"), "big.maf\na.maf\n", kWebNewFiles,
         {"a.maf", "in user.maf"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.list.isEmpty())
            server.Put("fw/files4.txt", c.list);
        QTemporaryDir dirs;
        const QString user = dirs.path() + "/user";
        const QString program = dirs.path() + "/program";
        QDir().mkpath(program);
        QDir().mkpath(user);
        QFile(user + "/in user.maf").open(QIODevice::WriteOnly);
        QFile(program + "/inprogram.maf").open(QIODevice::WriteOnly);

        RecordingTarget target;
        {
            std::optional<test::FileSizeLimit> full;
            if (c.diskFull)
                full.emplace(1024);
            TWebUpdate thread(&target, c.url, user.toStdString(), {program.toStdString()}, server.Options());
            thread.Resume();
            ASSERT_TRUE(target.WaitForMessage(UM_FIRMWARELIST, 30s));
            thread.Stop();
        }
        EXPECT_EQ(Codes(target, UM_FIRMWARELIST), std::vector<std::int64_t>{c.code});
        EXPECT_EQ(Entries(user), c.userFiles);
        EXPECT_EQ(Entries(program), QStringList{"inprogram.maf"});
        // What arrived is the server's file, byte for byte; no temporary file
        // is left beside it.
        for (const QString& name : c.userFiles) {
            if (name != "in user.maf") {
                EXPECT_EQ(ReadAll(user + "/" + name), ReadAll(server.Root() + "/fw/" + name)) << name.toStdString();
            }
        }
    }
    // Nothing outside the folders: no "evil.maf" was even asked for.
    EXPECT_FALSE(server.Requests().join(' ').contains("evil"));
}

// A program folder with a stub updater that notes its start and then waits.
struct ProgramFolder {
    ProgramFolder()
    {
        QFile f(Path() + "/Updater");
        f.open(QIODevice::WriteOnly);
        f.write("#!/bin/sh\necho started > \"$PWD/updater-ran\"\nexec sleep 60\n");
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QString Path() const { return dir.path(); }
    QTemporaryDir dir;
};

TEST(WebUpdate2, ReleaseDownloadUnpackAndHandOver)
{
    UpdateServer server;
    ASSERT_TRUE(server.Ok());
    server.Put("prog/releaseinfoA.txt", "5.3 Quenor53.ZIP\r\nFirst line\r\nSecond line");
    server.Put("prog/quenor53.zip", Fixture("release.zip"));
    ProgramFolder program;

    RecordingTarget target;
    TWebUpdate2 thread(&target, server.Url("prog/"), program.Path().toStdString(), server.Options());
    thread.Resume();
    ASSERT_TRUE(target.WaitForMessage(UM_PROGRAMUPDATE, kUpdateReleaseReady, 30s));
    EXPECT_EQ(thread.ReleaseVersion(), 1283);
    EXPECT_EQ(thread.ArchiveName(), "Quenor53.ZIP");
    EXPECT_EQ(thread.GetReleaseText(), "First line\r\nSecond line");

    thread.StartDownload();
    ASSERT_TRUE(target.WaitForMessage(UM_PROGRAMUPDATE, kUpdateDone, 30s));
    const std::vector<std::int64_t> codes = Codes(target, UM_PROGRAMUPDATE);
    ASSERT_GE(codes.size(), 4u);
    EXPECT_EQ(codes.front(), kUpdateFetching);
    EXPECT_EQ(codes.back(), kUpdateDone);
    // Asked for in lower case, unpacked in place, the archive gone.
    EXPECT_TRUE(server.Requests().contains("/prog/quenor53.zip"));
    EXPECT_EQ(ReadAll(program.Path() + "/quenor.bin"), "new program\n");
    EXPECT_EQ(ReadAll(program.Path() + "/docs/notes.txt"), "Release 5.3\r\n");
    // The stub updater was started in the program's folder.
    for (int i = 0; i < 200 && !QFile::exists(program.Path() + "/updater-ran"); ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_EQ(Entries(program.Path()), (QStringList{"Updater", "docs", "quenor.bin", "updater-ran"}));

    EXPECT_GT(thread.UpdaterPid(), 0);
    thread.TerminateUpdater();
}

TEST(WebUpdate2, FailuresAreReported)
{
    UpdateServer server;
    ASSERT_TRUE(server.Ok());
    struct Case {
        const char* what;
        QByteArray info;
        std::string infoBehave;
        std::string archiveBehave;  // the archive is the good fixture
        std::vector<std::int64_t> codes;  // progress (6) aside
        std::string error;
        int lastPercent;  // -1: no progress reported
    };
    const std::vector<Case> cases = {
        {"no length", "5.3 q.zip\n", "", "nolength", {4, 5, 8, 2}, kHttpNoFileSize, -1},
        {"zero length", "5.3 q.zip\n", "", "zerolength", {4, 5, 8, 2}, "Unpacker returned errorcode 1", 100},
        {"cut short", "5.3 q.zip\n", "", "short", {4, 5, 8, 2}, kHttpReadError, 49},
        {"release info 404", "5.3 q.zip\n", "status 404", "", {4, 2}, "", -1},
        {"no blank", "5.3\nq.zip\n", "", "", {4, 2}, "", -1},
        {"no number", "5.x q.zip\n", "", "", {4, 2}, "", -1},
        {"unsafe archive name", "5.3 ../q.zip\n", "", "", {4, 2}, "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = std::string("p") + std::to_string(&c - cases.data()) + "/";
        server.Put(folder + "releaseinfoA.txt", c.info, c.infoBehave);
        server.Put(folder + "q.zip", Fixture("release.zip"), c.archiveBehave);
        ProgramFolder program;
        RecordingTarget target;
        TWebUpdate2 thread(&target, server.Url(folder), program.Path().toStdString(), server.Options());
        thread.Resume();
        ASSERT_TRUE(target.WaitFor(
            [](const std::vector<Message>& ms) {
                for (const Message& m : ms)
                    if (m.wParam == kUpdateFailed || m.wParam == kUpdateReleaseReady)
                        return true;
                return false;
            },
            30s));
        if (c.codes.size() > 2) {
            thread.StartDownload();
            ASSERT_TRUE(target.WaitForMessage(UM_PROGRAMUPDATE, kUpdateFailed, 30s));
        }
        thread.Stop();
        std::vector<std::int64_t> codes;
        std::string error;
        int lastPercent = -1;
        for (const Message& m : target.Snapshot()) {
            if (m.wParam == kUpdateProgress)
                lastPercent = static_cast<int>(m.lParam);
            else
                codes.push_back(m.wParam);
            if (m.wParam == kUpdateError)
                error = m.text;
        }
        EXPECT_EQ(codes, c.codes);
        EXPECT_EQ(error, c.error);
        // A cut body ends below 100; an empty one counts as complete.
        EXPECT_EQ(lastPercent, c.lastPercent);
        EXPECT_EQ(Entries(program.Path()), QStringList{"Updater"});
    }
}

TEST(WebUpdate2, AStopDuringTheDownloadLeavesNothing)
{
    UpdateServer server;
    ASSERT_TRUE(server.Ok());
    server.Put("prog/releaseinfoA.txt", "9.0 big.zip\n");
    server.Put("prog/big.zip", QByteArray(400 * 1024, 'z'), "slow");
    ProgramFolder program;
    RecordingTarget target;
    TWebUpdate2 thread(&target, server.Url("prog/"), program.Path().toStdString(), server.Options());
    thread.Resume();
    ASSERT_TRUE(target.WaitForMessage(UM_PROGRAMUPDATE, kUpdateReleaseReady, 30s));
    thread.StartDownload();
    ASSERT_TRUE(target.WaitFor(
        [](const std::vector<Message>& ms) {
            for (const Message& m : ms)
                if (m.wParam == kUpdateProgress && m.lParam >= 1)
                    return true;
            return false;
        },
        30s));
    const auto start = std::chrono::steady_clock::now();
    thread.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    std::this_thread::sleep_for(200ms);
    for (const Message& m : target.Snapshot()) {
        EXPECT_NE(m.wParam, kUpdateDone);
        EXPECT_NE(m.wParam, kUpdateError);
        EXPECT_NE(m.wParam, kUpdateFailed);
    }
    EXPECT_EQ(Entries(program.Path()), QStringList{"Updater"});
    EXPECT_EQ(thread.UpdaterPid(), -1);
}

TEST(WebUpdate, PercentsAndUrlNames)
{
    // Lengths above 21 MB, above 4 GB, and an empty download.
    EXPECT_EQ(DownloadPercent(30'000'000, 40'000'000), 75);
    EXPECT_EQ(DownloadPercent(5'000'000'000LL, 10'000'000'000LL), 50);
    EXPECT_EQ(DownloadPercent(0, 0), 100);
    EXPECT_EQ(PercentEncode("VekA 1.12+\xFC.maf"), "VekA%201.12%2B%FC.maf");
}

}  // namespace
}  // namespace quenor
