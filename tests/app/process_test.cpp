// The quenor program itself: a second start hands its file to the running one
// and exits; the running one opens the file and keeps what it did when the
// session ends it. Options are answered without a window.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/qtcore.h"
#include "support/savefaults.h"

#include <csignal>
#include <optional>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QCoreApplication& App() { return quenor::test::TestCoreApp(); }

bool WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QThread::msleep(20);
    return done();
}

// Whether process pid has a handler of its own for sig (Linux: its status
// lists the signals it catches as a mask in hexadecimal).
bool Catches(qint64 pid, int sig)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (sig - 1)) & 1;
    return false;
}

// The surroundings of a Quenor that opens its window: a home of its own and a
// runtime folder for its instance socket. A local socket's path has room for
// about 100 characters: the runtime folder sits right under /tmp, however
// deep the test's own folders are.
struct Surroundings {
    Surroundings()
    {
        QFile::setPermissions(runtimeDir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        env.insert("XDG_RUNTIME_DIR", runtimeDir.path());
        env.insert("QUENOR_COM1", "/dev/quenor-no-such-port");
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
    }
    bool IsValid() const { return home.isValid() && runtimeDir.isValid(); }
    // The socket by which a running start is found.
    QString Socket() const { return runtimeDir.path() + QStringLiteral("/quenor-%1.socket").arg(::getuid()); }

    QTemporaryDir home;
    QTemporaryDir runtimeDir{QStringLiteral("/tmp/quenor-run-XXXXXX")};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

}  // namespace

namespace {

// The names of the files in a folder that were read since the last call
// (the events of an inotify watch on the folder).
QStringList ReadNames(int watch)
{
    QStringList names;
    alignas(inotify_event) char events[4096];
    for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;) {
        for (char* p = events; p < events + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(p);
            if (e->len > 0)
                names << QFile::decodeName(QByteArray(e->name));
            p += sizeof(inotify_event) + e->len;
        }
    }
    return names;
}

}  // namespace

TEST(QuenorProcess, ASecondStartHandsOverItsFileAndExits)
{
    App();
    Surroundings around;
    ASSERT_TRUE(around.IsValid());
    const QProcessEnvironment& env = around.env;

    // Two setup files side by side: "nl", and a stepper file whose name is
    // "nl", a newline and "b.vek"; opening the stepper file offline switches
    // to family 2. The test is told which files the running start reads.
    const QString folder = around.home.path() + "/files";
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = QStringLiteral("nl\nb.vek");
    const auto write = [&](const QString& name, const char* text) {
        QFile out(folder + '/' + name);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text);
    };
    write(file, "[Vek Setup file]\r\n[Tovik Automation A/S]\r\n[Motor type 64]\r\n");
    write(QStringLiteral("nl"), "[Vek Setup file]\r\n[Tovik Automation A/S]\r\n[Motor type 14]\r\n");
    // Where a name of bytes that are not UTF-8 would lead once read as text.
    write(QStringLiteral("\uFFFD.vek"), "[Vek Setup file]\r\n[Tovik Automation A/S]\r\n[Motor type 14]\r\n");
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(folder).constData(), IN_ACCESS), 0);

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(QUENOR_EXE), {});
    ASSERT_TRUE(first.waitForStarted(10000));
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(around.Socket()); }, 30000)) << "the first start never listened";

    // A name that is not UTF-8 is refused, and says why: nothing is handed over.
    QProcess notText;
    notText.setProcessEnvironment(env);
    notText.setWorkingDirectory(folder);
    notText.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$(printf '\\377.vek')\""), QStringLiteral(QUENOR_EXE)});
    ASSERT_TRUE(notText.waitForFinished(30000)) << "the start with a name that is not UTF-8 did not exit";
    EXPECT_EQ(notText.exitCode(), 2);
    EXPECT_TRUE(notText.readAllStandardError().contains("not valid UTF-8"));

    QProcess second;
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(folder);
    second.start(QStringLiteral(QUENOR_EXE), {file});  // relative to its own folder
    ASSERT_TRUE(second.waitForFinished(30000)) << "the second start did not exit";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    // The first one reads the file, and loads it before it sees the signal
    // that ends the session.
    QStringList read;
    ASSERT_TRUE(WaitFor([&] { return !(read << ReadNames(watch)).isEmpty(); }, 30000))
        << "the handed-over file was not read";
    WaitFor([] { return false; }, 300);  // nothing else may be read
    read << ReadNames(watch);
    ::close(watch);
    read.removeDuplicates();
    EXPECT_EQ(read, QStringList{file});
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(first.exitCode(), 0);

    QSettings settings(around.home.path() + "/config/Tovik/Quenor.conf", QSettings::IniFormat);
    EXPECT_EQ(settings.value("LastGeneration").toInt(), 2) << "the handed-over file was not opened";
    EXPECT_EQ(settings.value("ComPort").toInt(), 0);
}

// A first start whose file is named by bytes that are no text runs without
// it: it says why, and reads no file by the name as far as it reads.
TEST(QuenorProcess, AFirstStartWithANameThatIsNoTextRunsWithoutIt)
{
    App();
    Surroundings around;
    ASSERT_TRUE(around.IsValid());
    const QString folder = around.home.path() + "/files";
    ASSERT_TRUE(QDir().mkpath(folder));
    {
        QFile out(folder + QStringLiteral("/\uFFFD.vek"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("[Vek Setup file]\r\n[Tovik Automation A/S]\r\n[Motor type 64]\r\n");
    }
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(folder).constData(), IN_ACCESS), 0);
    QProcess quenor;
    quenor.setProcessEnvironment(around.env);
    quenor.setWorkingDirectory(folder);
    quenor.setProcessChannelMode(QProcess::MergedChannels);
    quenor.start(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$(printf '\\377.vek')\""), QStringLiteral(QUENOR_EXE)});
    ASSERT_TRUE(quenor.waitForStarted(10000));
    bool ended = false;
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(around.Socket()) || (ended = ended || quenor.waitForFinished(20)); },
                        30000));
    ASSERT_FALSE(ended) << "it ended with status " << quenor.exitCode();
    QByteArray said;
    ASSERT_TRUE(WaitFor(
        [&] {
            quenor.waitForReadyRead(20);
            return (said += quenor.readAll()).contains("not valid UTF-8");
        },
        30000));
    WaitFor([] { return false; }, 300);  // nothing may be read
    EXPECT_EQ(ReadNames(watch), QStringList{});
    ::close(watch);
    quenor.kill();
    quenor.waitForFinished(30000);
}

// An argument that begins with "--" is an option, never a file: --help and
// --version answer on standard output, any other option gets the usage on
// standard error. None of them opens a window: they run where no display can
// be had, where a start that opens the window fails.
TEST(QuenorProcess, OptionsAreAnsweredWithoutAWindow)
{
    App();
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("XDG_RUNTIME_DIR", home.path());
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    const QString file = home.path() + "/pump.vek";
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Vek Setup file]\r\n[Motor type 3]\r\n");
    }
    struct Case {
        QStringList args;
        int exitCode;
        const char* out;  // what standard output holds (a regular expression), empty for nothing
        const char* err;
    };
    const char* usage = "^Usage: quenor \\[SETUP-FILE\\]\\n(.|\\n)*QUENOR_COM<n>";
    const Case cases[] = {
        {{"--help"}, 0, usage, ""},
        {{"--version"}, 0, "^Quenor [0-9]+\\.[0-9]+\\.[0-9]+\\n$", ""},
        {{file, "--version"}, 0, "^Quenor [0-9]+\\.", ""},
        {{"--frobnicate"}, 2, "", "--frobnicate(.|\\n)*Usage: quenor \\[SETUP-FILE\\]"},
        {{"--help=all", file}, 2, "", "--help=all(.|\\n)*Usage: quenor"},
    };
    for (const Case& c : cases) {
        const std::string name = c.args.join(' ').toStdString();
        QProcess quenor;
        quenor.setProcessEnvironment(env);
        quenor.start(QStringLiteral(QUENOR_EXE), c.args);
        ASSERT_TRUE(quenor.waitForFinished(30000)) << name;
        EXPECT_EQ(quenor.exitStatus(), QProcess::NormalExit) << name;
        EXPECT_EQ(quenor.exitCode(), c.exitCode) << name;
        const QString out = QString::fromLocal8Bit(quenor.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(quenor.readAllStandardError());
        if (*c.out)
            EXPECT_TRUE(out.contains(QRegularExpression(QString::fromLatin1(c.out))))
                << name << ": " << out.toStdString();
        else
            EXPECT_TRUE(out.isEmpty()) << name << ": " << out.toStdString();
        if (*c.err)
            EXPECT_TRUE(err.contains(QRegularExpression(QString::fromLatin1(c.err))))
                << name << ": " << err.toStdString();
        else
            EXPECT_TRUE(err.isEmpty()) << name << ": " << err.toStdString();
    }

    // These surroundings have no display: a start that opens the window fails in them.
    QProcess withFile;
    withFile.setProcessEnvironment(env);
    withFile.start(QStringLiteral(QUENOR_EXE), {file});
    ASSERT_TRUE(withFile.waitForFinished(30000));
    EXPECT_FALSE(withFile.exitStatus() == QProcess::NormalExit && withFile.exitCode() == 0);
}

// The settings that Quenor writes when it ends replace the file whole or leave
// it as it was, in one write with the sample setup. The file holds lines that
// the user wrote by hand; the program writes more than a file size limit
// (ulimit -f, with the signal for a write past it at its default action, as a
// shell leaves it) or a disk that runs full (2 KiB left) takes: the write
// fails, a line on standard error says why, the file keeps every byte, and
// the program goes on to its normal end. With room, the file gets the
// program's values and keeps the hand-written lines. A lock that is never
// freed (one left an hour ago by a program that ended, in root's folder where
// the user may not remove it, or a folder in its place) holds the end up a
// few seconds, not for ever: the file is written without it, and a line says
// so. A named pipe in the file's place is neither waited for at the start nor
// at the end: the program runs on the defaults and says why it writes nothing.
enum class Beside { Nothing, StaleLock, FolderAsLock, PipeAsFile };

struct SettingsRoom {
    const char* name;
    const char* why;  // why the write fails; empty: it is written
    bool onFullDisk = false;
    Beside beside = Beside::Nothing;
};

void PrintTo(const SettingsRoom& room, std::ostream* os) { *os << room.name; }

class SettingsAtTheEnd : public ::testing::TestWithParam<SettingsRoom> {};

TEST_P(SettingsAtTheEnd, ReplaceTheFileWholeOrLeaveItAsItWas)
{
    App();
    const SettingsRoom& room = GetParam();
    Surroundings around;
    ASSERT_TRUE(around.IsValid());
    std::optional<quenor::test::SmallDisk> disk;
    QString config = around.home.path() + "/config";
    // The user's own program, where the settings folder is root's: the
    // folders lie where he may reach them, his own where he writes.
    const bool asOther = room.beside == Beside::StaleLock;
    if (asOther && ::geteuid() != 0)
        GTEST_SKIP() << "only root can give the settings folder to root";
    std::optional<QTemporaryDir> reachable;
    if (asOther) {
        reachable.emplace(QStringLiteral("/tmp/quenor-settings-XXXXXX"));
        ASSERT_TRUE(reachable->isValid());
        const QString data = reachable->path() + "/data";
        ASSERT_TRUE(QDir().mkpath(data));
        using quenor::test::kOtherUser;
        for (const QString& own : {data, around.runtimeDir.path()})
            ASSERT_EQ(::chown(QFile::encodeName(own).constData(), kOtherUser, kOtherUser), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(reachable->path()).constData(), 0755), 0);
        config = reachable->path() + "/config";
        around.env.insert("XDG_CONFIG_HOME", config);
        around.env.insert("XDG_DATA_HOME", data);
    }
    if (room.onFullDisk) {
        disk.emplace(around.home.path().toStdString(), quenor::test::SmallDisk::CannotTakeRoom);
        if (disk->Path().empty())
            GTEST_SKIP() << disk->Why();
        config = QString::fromStdString(disk->Path()) + "/config";
        around.env.insert("XDG_CONFIG_HOME", config);
    }
    const QString folder = config + "/Tovik";
    const QString path = folder + "/Quenor.conf";
    const QByteArray lockPath = QFile::encodeName(path + ".lock");
    ASSERT_TRUE(QDir().mkpath(folder));
    // Lines as the README tells the user to write them.
    const QByteArray handWritten =
        "[Ports]\nCOM7=/dev/ttyUSB9\n\n[Update]\nFirmwareURL=https://updates.example.org/quenor/firmware/\n";
    if (room.beside == Beside::PipeAsFile) {
        ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    } else {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(handWritten) == handWritten.size());
    }
    if (asOther) {
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), quenor::test::kOtherUser, quenor::test::kOtherUser), 0);
    }
    if (room.beside == Beside::StaleLock) {
        // Left by a program on another machine an hour ago.
        QFile lock(QFile::decodeName(lockPath));
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly) && lock.write("4242\nquenor\nelsewhere\n") > 0);
        lock.close();
        const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, lockPath.constData(), hourAgo, 0), 0);
    }
    if (room.beside == Beside::FolderAsLock) {
        ASSERT_TRUE(QDir().mkpath(QFile::decodeName(lockPath)));
    }
    if (disk) {
        ASSERT_TRUE(disk->Fill(2048));
    }

    QProcess quenor;
    quenor.setProcessEnvironment(around.env);
    const std::string why = room.why;
    quenor.setChildProcessModifier([why, asOther] {
        if (why == "The file cannot be written: file too large.") {
            ::signal(SIGXFSZ, SIG_DFL);
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = 1024;  // ulimit -f 1
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (asOther && (::setgroups(0, nullptr) != 0 || ::setgid(quenor::test::kOtherUser) != 0 ||
                        ::setuid(quenor::test::kOtherUser) != 0))
            ::_exit(127);
    });
    quenor.start(QStringLiteral(QUENOR_EXE), {});
    ASSERT_TRUE(quenor.waitForStarted(10000));
    ASSERT_TRUE(WaitFor([&] { return Catches(quenor.processId(), SIGTERM); }, 30000))
        << "it never got ready: " << quenor.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(quenor.processId()), SIGTERM);
    ASSERT_TRUE(quenor.waitForFinished(30000)) << "it never ended";
    EXPECT_EQ(quenor.exitStatus(), QProcess::NormalExit) << "ended by signal " << quenor.exitCode();
    EXPECT_EQ(quenor.exitCode(), 0);
    const QString err = QString::fromLocal8Bit(quenor.readAllStandardError());

    // The lock that was left stays where the user could not remove it.
    QStringList entries{QStringLiteral("Quenor.conf")};
    if (room.beside == Beside::StaleLock || room.beside == Beside::FolderAsLock)
        entries.append(QStringLiteral("Quenor.conf.lock"));
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot), entries);
    const QString lockLine = QStringLiteral("quenor: the settings file's lock ") + QFile::decodeName(lockPath) +
                             QStringLiteral(" was not taken");
    if (room.beside == Beside::PipeAsFile) {
        struct stat st {};
        EXPECT_TRUE(::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        const QString notFile = QStringLiteral("The path is not a regular file.");
        EXPECT_EQ(err.count(QStringLiteral("quenor: the settings in ") + path + QStringLiteral(" were not read: ") +
                            notFile),
                  1)
            << err.toStdString();
        EXPECT_EQ(err.count(QStringLiteral("quenor: the settings were not saved in ") + path + QStringLiteral(": ") +
                            notFile),
                  1)
            << err.toStdString();
        return;
    }
    const QSettings written(path, QSettings::IniFormat);
    EXPECT_EQ(written.value("Ports/COM7").toString(), QStringLiteral("/dev/ttyUSB9"));
    EXPECT_EQ(written.value("Update/FirmwareURL").toString(),
              QStringLiteral("https://updates.example.org/quenor/firmware/"));
    if (!*room.why) {
        EXPECT_EQ(err.count(lockLine), room.beside == Beside::Nothing ? 0 : 1) << err.toStdString();
        if (room.beside == Beside::Nothing) {
            EXPECT_FALSE(err.contains(QStringLiteral("settings"))) << err.toStdString();
        }
        EXPECT_EQ(written.value("ComPort").toInt(), 0);
        EXPECT_EQ(written.value("SampleSetup").toByteArray().size(), 1072);
        return;
    }
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly) && f.readAll() == handWritten);
    EXPECT_EQ(err.count(QStringLiteral("quenor: the settings were not saved in ") + path + QStringLiteral(": ") +
                        QLatin1String(room.why)),
              1)
        << err.toStdString();
}

const SettingsRoom kSettingsRooms[] = {
    {"Enough", ""},
    {"FileSizeLimit", "The file cannot be written: file too large."},
    {"FullDisk", "The file cannot be written: no space left on device.", true},
    {"StaleLock", "", false, Beside::StaleLock},
    {"FolderAsLock", "", false, Beside::FolderAsLock},
    {"NamedPipe", "", false, Beside::PipeAsFile},
};

INSTANTIATE_TEST_SUITE_P(Settings, SettingsAtTheEnd, ::testing::ValuesIn(kSettingsRooms),
                         [](const auto& info) { return std::string(info.param.name); });
