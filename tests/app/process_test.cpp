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
// program's values and keeps the hand-written lines.
struct SettingsRoom {
    const char* name;
    const char* why;  // what the write says; empty: it finds room
    bool onFullDisk = false;
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
    if (room.onFullDisk) {
        disk.emplace(around.home.path().toStdString(), quenor::test::SmallDisk::CannotTakeRoom);
        if (disk->Path().empty())
            GTEST_SKIP() << disk->Why();
        config = QString::fromStdString(disk->Path()) + "/config";
        around.env.insert("XDG_CONFIG_HOME", config);
    }
    const QString path = config + "/Tovik/Quenor.conf";
    ASSERT_TRUE(QDir().mkpath(config + "/Tovik"));
    // Lines as the README tells the user to write them.
    const QByteArray handWritten =
        "[Ports]\nCOM7=/dev/ttyUSB9\n\n[Update]\nFirmwareURL=https://updates.example.org/quenor/firmware/\n";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(handWritten) == handWritten.size());
    }
    if (disk) {
        ASSERT_TRUE(disk->Fill(2048));
    }

    QProcess quenor;
    quenor.setProcessEnvironment(around.env);
    if (room.why == std::string("file too large")) {
        quenor.setChildProcessModifier([] {
            ::signal(SIGXFSZ, SIG_DFL);
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = 1024;  // ulimit -f 1
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    quenor.start(QStringLiteral(QUENOR_EXE), {});
    ASSERT_TRUE(quenor.waitForStarted(10000));
    ASSERT_TRUE(WaitFor([&] { return Catches(quenor.processId(), SIGTERM); }, 30000)) << "it never got ready";
    ::kill(static_cast<pid_t>(quenor.processId()), SIGTERM);
    ASSERT_TRUE(quenor.waitForFinished(30000));
    EXPECT_EQ(quenor.exitStatus(), QProcess::NormalExit) << "ended by signal " << quenor.exitCode();
    EXPECT_EQ(quenor.exitCode(), 0);
    const QString err = QString::fromLocal8Bit(quenor.readAllStandardError());

    EXPECT_EQ(QDir(config + "/Tovik").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Quenor.conf")});
    const QSettings written(path, QSettings::IniFormat);
    EXPECT_EQ(written.value("Ports/COM7").toString(), QStringLiteral("/dev/ttyUSB9"));
    EXPECT_EQ(written.value("Update/FirmwareURL").toString(),
              QStringLiteral("https://updates.example.org/quenor/firmware/"));
    if (!*room.why) {
        EXPECT_FALSE(err.contains(QStringLiteral("settings"))) << err.toStdString();
        EXPECT_EQ(written.value("ComPort").toInt(), 0);
        EXPECT_EQ(written.value("SampleSetup").toByteArray().size(), 1072);
        return;
    }
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly) && f.readAll() == handWritten);
    EXPECT_EQ(err.count(QStringLiteral("quenor: the settings were not saved in ") + path +
                        QStringLiteral(": The file cannot be written: ") + room.why + QLatin1Char('.')),
              1)
        << err.toStdString();
}

const SettingsRoom kSettingsRooms[] = {
    {"Enough", ""},
    {"FileSizeLimit", "file too large"},
    {"FullDisk", "no space left on device", true},
};

INSTANTIATE_TEST_SUITE_P(Settings, SettingsAtTheEnd, ::testing::ValuesIn(kSettingsRooms),
                         [](const auto& info) { return std::string(info.param.name); });
