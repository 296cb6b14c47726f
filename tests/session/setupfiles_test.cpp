// Setup files through the session: what a save writes, what a load does
// to the pages and to the motor, and every way a bad file is refused.

#include "app/loadsave.h"
#include "app/motortypes.h"
#include "app/setupfile.h"
#include "support/headlesssession.h"
#include "support/stuckreader.h"
#include "params/paramkinds.h"
#include "tools/motorsim/motorsim.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "tables/expected_tables.h"

using namespace quenor;
using quenor::motorsim::MotorSim;
using quenor::motorsim::SimFrame;

namespace {

using test::Spin;
using test::SpinUntil;

std::string ReadFile(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const QString& path, const std::string& text)
{
    std::ofstream out(path.toStdString(), std::ios::binary);
    out << text;
}

struct Prompted {
    QString text;
    QString caption;
};

class SetupFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestCoreApp();
        QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
    }
    void TearDown() override
    {
        session.reset();
        unsetenv("QUENOR_COM1");
    }

    // A session with no motor (COM1 is missing) or with the simulated one.
    void Open(MotorSim* sim = nullptr)
    {
        if (sim) {
            ASSERT_TRUE(sim->Start());
            setenv("QUENOR_COM1", sim->DevicePath().c_str(), 1);
        } else {
            setenv("QUENOR_COM1", "/dev/quenor-no-such-port", 1);
        }
        session = std::make_unique<test::HeadlessSession>();
        auto record = [this](std::vector<Prompted>& into) {
            return [&into](const QString& t, const QString& c) { into.push_back({t, c}); };
        };
        (*session)->prompts.error = record(errors);
        (*session)->prompts.warning = record(warnings);
        (*session)->prompts.loadInformation = record(notices);
        (*session)->prompts.askYesNo = [this](const QString& t, const QString& c) {
            questions.push_back({t, c});
            return answerYes;
        };
        (*session)->prompts.askYesNoCancel = [this](const QString& t, const QString& c) {
            questions.push_back({t, c});
            return answerYes ? 1 : 0;
        };
        (*session)->prompts.saveFileName = [this] { return saveAsName; };
        (*session)->Start(-1, QString());
        if (sim) {
            ASSERT_TRUE(SpinUntil([&] { return (*session)->State().connected; }));
            // The reads that follow a connect finish and their values arrive.
            EXPECT_TRUE(test::SpinUntilIdle([&] { return (*session)->Com().IsQueueEmpty(); }));
        }
        // Offline, what the session posts to itself (the defaults, every
        // edit's echo) arrives before the test goes on.
        test::DeliverPosted();
    }

    CParamControl* Control(const std::string& caption)
    {
        for (const auto& c : (*session)->Controls())
            if (c->Caption() == caption)
                return c.get();
        return nullptr;
    }

    QString Path(const char* name) const { return dir.path() + "/" + name; }

    // Paths that name no regular file that may be read, each with what its
    // refusal says after the path. Nobody writes to the named pipe.
    std::vector<std::pair<QString, QString>> NoSetupFiles()
    {
        const QString notRegular = "\nError: The path is not a regular file.";
        const QString missing = "\nError: The file does not exist.";
        ::mkfifo(QFile::encodeName(Path("pipe.vek")).constData(), 0600);
        QDir(dir.path()).mkdir("folder.vek");
        QFile::link(Path("gone.vek"), Path("dangling.vek"));
        std::vector<std::pair<QString, QString>> paths = {
            {Path("pipe.vek"), notRegular},       {QStringLiteral("/dev/zero"), notRegular},
            {Path("folder.vek"), notRegular},     {Path("dangling.vek"), missing},
            {Path("missing.vek"), missing},
        };
        if (::geteuid() != 0) {  // root reads any file
            WriteFile(Path("secret.vek"), "[Vek Setup file]\r\n");
            QFile::setPermissions(Path("secret.vek"), {});
            paths.emplace_back(Path("secret.vek"), "\nError: The file cannot be read: permission denied.");
        }
        return paths;
    }

    QTemporaryDir dir;
    std::unique_ptr<test::HeadlessSession> session;
    std::vector<Prompted> errors, warnings, notices, questions;
    bool answerYes = true;
    QString saveAsName;
};

std::vector<std::string> Keys(const std::vector<std::string>& lines)
{
    std::vector<std::string> keys;
    for (const auto& l : lines)
        if (auto e = SplitSetupEntry(l))
            keys.push_back(e->key);
    return keys;
}

}  // namespace

TEST_F(SetupFiles, AFreshOfflineSetupIsSavedByteForByte)
{
    Open();
    ASSERT_TRUE((*session)->SaveSetupFile(Path("fresh.vek")));
    const std::string text = ReadFile(Path("fresh.vek"));
    // CR LF after every line, nothing else.
    EXPECT_EQ(text.find("\n"), text.find("\r\n") + 1);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r'));
    // VekC's default filter (102..105 as signed 16-bit numbers) adds up to 256: filter type 1.
    const std::string head =
        "[Vek Setup file]\r\n[Tovik Automation A/S]\r\n[Motor type 3]\r\n[Filter Type 1]\r\nStartup mode";
    EXPECT_EQ(text.substr(0, head.size()), head);
    // Caption padded to 25 characters, " = ", the raw register value (210 from the defaults).
    EXPECT_NE(text.find("\r\nMax velocity              = 210\r\n"), std::string::npos);
    const auto lines = SplitTextLines(text);
    EXPECT_EQ(Keys(lines), tabledata::kSetupKeysFamily0);
    EXPECT_EQ((*session)->FileName(), Path("fresh.vek"));
    EXPECT_EQ((*session)->RecentFiles().front(), Path("fresh.vek"));
}

TEST_F(SetupFiles, EachFamilySavesItsKeysAndLoadsThemBack)
{
    Open();
    const std::pair<int, const std::vector<std::string>*> families[] = {
        {3, &tabledata::kSetupKeysFamily0}, {14, &tabledata::kSetupKeysFamily1}, {64, &tabledata::kSetupKeysFamily2}};
    for (auto [type, keys] : families) {
        (*session)->OfflineTypeChosen(type);
        test::DeliverPosted();
        auto* edit = dynamic_cast<CParamControlEdit*>(Control("Max velocity"));
        ASSERT_NE(edit, nullptr);
        edit->EnterPressed("100");
        test::DeliverPosted();
        const std::int32_t saved = edit->Value();
        const QString name = Path("family.vek");
        ASSERT_TRUE((*session)->SaveSetupFile(name));
        const auto lines = SplitTextLines(ReadFile(name));
        EXPECT_EQ(Keys(lines), *keys) << "type " << type;
        // Generation 2 writes no filter line.
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.rfind("[Filter Type ", 0) == 0; }),
                  type == 64 ? 0 : 1);

        edit->EnterPressed("7");
        test::DeliverPosted();
        ASSERT_NE(edit->Value(), saved);
        (*session)->LoadSetupFile(name);
        test::DeliverPosted();
        EXPECT_EQ(edit->Value(), saved) << "type " << type;
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(SetupFiles, OfflineLoadSwitchesToTheFilesFamilyAndKeysMatchInAnyCase)
{
    Open();
    WriteFile(Path("stepper.vek"), "[Vek Setup file]\r\n[Tovik Automation A/S]\r\n[Motor type 64]\r\n"
                                   "max VELOCITY = 300\r\nNo such key = 5\r\nno equals sign here\r\n");
    (*session)->LoadSetupFile(Path("stepper.vek"));
    test::DeliverPosted();
    EXPECT_EQ((*session)->Generation(), 2);
    EXPECT_EQ((*session)->MotorType(), 64);
    EXPECT_EQ(Control("Max velocity")->Value(), 300);
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(notices.empty());

    // Without a "[Motor type " line the type is 0, which selects type 3.
    WriteFile(Path("plain.vek"), "[Vek Setup file]\nMax velocity = 111\n");  // LF only
    (*session)->LoadSetupFile(Path("plain.vek"));
    test::DeliverPosted();
    EXPECT_EQ((*session)->MotorType(), 3);
    EXPECT_EQ(Control("Max velocity")->Value(), 111);
}

TEST_F(SetupFiles, BadFilesAreRefusedWholeAndChangeNothing)
{
    Open();
    const std::int32_t before = Control("Max velocity")->Value();
    const std::string header = "[Vek Setup file]\r\n[Tovik Automation A/S]\r\n[Motor type 64]\r\n";
    const QString tooLarge = "\nError: The file is larger than 1048576 bytes, more than a setup file may hold.";
    struct Bad {
        const char* name;
        std::string text;
        QString why;  // after the file's name
    };
    const Bad files[] = {
        {"huge.vek", header + "Max velocity = 1000000000000000000000000000000\r\n", {}},
        {"text.vek", header + "Max velocity = fast\r\n", {}},
        {"half.vek", header + "Max velocity = 12\r\nAcceleration = 1.5\r\n", {}},
        {"type.vek", "[Vek Setup file]\r\n[Motor type x]\r\n", {}},
        {"onemore.vek", header + std::string(kSetupFileMaxBytes + 1 - header.size(), 'x'), tooLarge},
    };
    for (const auto& [name, text, why] : files) {
        errors.clear();
        WriteFile(Path(name), text);
        (*session)->LoadSetupFile(Path(name));
        test::DeliverPosted();
        ASSERT_EQ(errors.size(), 1u) << name;
        EXPECT_EQ(errors[0].text, QStringLiteral("An error occured reading the setup file\n") + Path(name) + why);
        EXPECT_EQ(errors[0].caption, QStringLiteral("Error"));
        // Nothing applied: not even the offline switch to the file's type.
        EXPECT_EQ((*session)->Generation(), 0) << name;
        EXPECT_EQ(Control("Max velocity")->Value(), before) << name;
    }
    // A path that is no regular file that may be read is refused at once,
    // with the reason, from File > Open and when handed over (the command
    // line, a second start).
    std::atomic<bool> released{false};
    const std::jthread release = test::ReleaseStuckReader(Path("pipe.vek").toStdString(), released);
    for (const auto& [path, why] : NoSetupFiles()) {
        (*session)->prompts.openFileName = [path = path] { return path; };
        errors.clear();
        (*session)->OpenSetupFile();
        (*session)->RequestOpenFile(path);
        test::DeliverPosted();
        ASSERT_EQ(errors.size(), 2u) << path.toStdString();
        for (const Prompted& e : errors)
            EXPECT_EQ(e.text.toStdString(),
                      (QStringLiteral("An error occured reading the setup file\n") + path + why).toStdString());
        EXPECT_EQ((*session)->Generation(), 0);
        EXPECT_EQ(Control("Max velocity")->Value(), before);
        // Nor does it join the recent files, to be refused again from there.
        EXPECT_TRUE((*session)->RecentFiles().empty()) << path.toStdString();
    }
    EXPECT_FALSE(released) << "the named pipe was opened and waited for a writer";

    // Harmless oddities load without complaint: an empty file, binary bytes,
    // a 300-character key.
    errors.clear();
    WriteFile(Path("empty.vek"), "");
    (*session)->LoadSetupFile(Path("empty.vek"));
    std::string garbage(2000, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>((i * 7919) & 0xFF);
    WriteFile(Path("garbage.vek"), garbage);
    (*session)->LoadSetupFile(Path("garbage.vek"));
    WriteFile(Path("longkey.vek"), "[Vek Setup file]\r\n" + std::string(300, 'k') + " = 1\r\n");
    (*session)->LoadSetupFile(Path("longkey.vek"));
    test::DeliverPosted();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(Control("Max velocity")->Value(), before);

    // A file of the largest size taken loads as any other.
    const std::string largest = header + "Max velocity = 12\r\n";
    WriteFile(Path("largest.vek"), largest + std::string(kSetupFileMaxBytes - largest.size(), 'x'));
    (*session)->LoadSetupFile(Path("largest.vek"));
    test::DeliverPosted();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(Control("Max velocity")->Value(), 12);
}

TEST_F(SetupFiles, AFileWithoutItsMarkerLoadsNoParameterButItsProgram)
{
    Open();
    CGraphicProgram& program = (*session)->Program().Program();
    program.SetRemark(0, "kept");
    const std::string programLine = ProgramLine(HexTextFromStream((*session)->Program().SaveProgramToStream()));
    program.Clear();
    const std::int32_t before = Control("Max velocity")->Value();
    // Values of a file without its marker are not applied, so not even a bad one stops the program.
    WriteFile(Path("nomarker.vek"), "[Motor type 3]\r\nMax velocity = 999\r\nMax velocity = abc\r\n" + programLine +
                                        "\r\n");
    (*session)->LoadSetupFile(Path("nomarker.vek"));
    test::DeliverPosted();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(Control("Max velocity")->Value(), before);
    EXPECT_EQ(program.GetRemark(0), "kept");

    // Offline the file's type is selected whether or not the file has its
    // marker; only its parameters are skipped. An empty file selects type 3,
    // and so does a type Quenor does not know; VekE has no menu item but is known.
    // The window names a file only when the load took all of it: after one
    // that changed the pages without its parameters, Save asks for a name
    // instead of writing over the file shown before. A file with only its
    // program (or nothing) but its marker withholds nothing.
    const std::string beforeText = "[Vek Setup file]\r\n[Motor type 4]\r\nMax velocity = 1234\r\n";
    WriteFile(Path("before.vek"), beforeText);
    const QString noname = QStringLiteral("Noname");
    const struct {
        std::string text;
        int type;
        bool named;
        bool programDeclined = false;  // the editor keeps its unsaved program
    } files[] = {
        {"[Motor type 64]\r\nMax velocity = 999\r\n", 64, false},
        {"[Motor type 15]\r\nMax velocity = 999\r\n", 15, false},
        {"[Motor type 12]\r\nMax velocity = 999\r\n", 12, false},
        {"[Motor type 13]\r\n", 13, false},
        {"[Motor type 11]\r\n", 3, false},
        {"", 3, false},
        {"[Motor type 66]\r\n", 66, false},
        {"Max velocity = 999\r\n", 3, false},
        {"[Vek Setup file]\r\n[Motor type 3]\r\n" + programLine + "\r\n", 3, true},
        {"[Vek Setup file]\r\n[Motor type 64]\r\n", 64, true},
        {"[Vek Setup file]\r\n[Motor type 3]\r\n" + programLine + "\r\n", 3, false, true},
    };
    for (const auto& [text, type, named, programDeclined] : files) {
        (*session)->LoadSetupFile(Path("before.vek"));
        test::DeliverPosted();
        ASSERT_EQ((*session)->FileName(), Path("before.vek"));
        ASSERT_EQ(Control("Max velocity")->Value(), 1234);
        WriteFile(Path("loaded.vek"), text);
        (*session)->Program().SetModified(programDeclined);
        session->ui.answer = !programDeclined;
        (*session)->LoadSetupFile(Path("loaded.vek"));
        test::DeliverPosted();
        EXPECT_EQ(session->ui.questions.size(), programDeclined ? 1u : 0u) << text;
        session->ui.questions.clear();
        EXPECT_EQ((*session)->MotorType(), type) << text;
        EXPECT_EQ((*session)->Generation(), GenerationOfType(type)) << text;
        EXPECT_NE(Control("Max velocity")->Value(), 999) << text;
        EXPECT_EQ((*session)->FileName().toStdString(), (named ? Path("loaded.vek") : noname).toStdString()) << text;
    }
    EXPECT_TRUE(errors.empty());
    // Save writes the program-only file back with its type and its program.
    WriteFile(Path("loaded.vek"), "[Vek Setup file]\r\n[Motor type 3]\r\n" + programLine + "\r\n");
    (*session)->Program().SetModified(false);
    (*session)->LoadSetupFile(Path("loaded.vek"));
    test::DeliverPosted();
    ASSERT_EQ((*session)->FileName(), Path("loaded.vek"));
    WriteFile(Path("loaded.vek"), "");  // what Save writes, and nothing else
    ASSERT_TRUE((*session)->SaveSetupFile((*session)->FileName()));
    const auto saved = SplitTextLines(ReadFile(Path("loaded.vek")));
    EXPECT_EQ(ScanSetupHeader(saved).motorType, 3);
    EXPECT_EQ(saved.back(), programLine);
    EXPECT_EQ(ReadFile(Path("before.vek")), beforeText);
}

TEST_F(SetupFiles, AValueThatDoesNotFitRefusesTheWholeFile)
{
    Open();
    const std::int32_t velocity = Control("Max velocity")->Value();
    for (const char* line : {"Max velocity = -32769", "Max velocity = 65536", "Startup mode = 99"}) {
        errors.clear();
        WriteFile(Path("wide.vek"), std::string("[Vek Setup file]\r\n[Motor type 3]\r\nAcceleration = 7\r\n") + line +
                                        "\r\n");
        (*session)->LoadSetupFile(Path("wide.vek"));
        test::DeliverPosted();
        ASSERT_EQ(errors.size(), 1u) << line;
        EXPECT_EQ(errors[0].text, QStringLiteral("An error occured reading the setup file\n") + Path("wide.vek"));
        EXPECT_EQ(Control("Max velocity")->Value(), velocity) << line;
        EXPECT_NE(Control("Acceleration")->Value(), 7) << line;
    }
}

TEST_F(SetupFiles, TheProgramTravelsInTheFileAndAFailedSaveStillCountsItUnsaved)
{
    Open();
    CGraphicProgram& program = (*session)->Program().Program();
    program.SetRemark(0, "pick and place");
    (*session)->Program().SetModified(true);

    EXPECT_FALSE((*session)->SaveSetupFile(Path("no/folder/x.vek")));
    EXPECT_TRUE((*session)->Program().Modified());

    ASSERT_TRUE((*session)->SaveSetupFile(Path("prog.vek")));
    EXPECT_FALSE((*session)->Program().Modified());
    const auto lines = SplitTextLines(ReadFile(Path("prog.vek")));
    ASSERT_FALSE(lines.empty());
    ASSERT_EQ(lines.back().rfind("VEKMRP Data               = ", 0), 0u);
    // The line decodes with the hex codec.
    EXPECT_GT(StreamFromHexText(lines.back().substr(28)).size(), 3u);

    program.Clear();
    (*session)->LoadSetupFile(Path("prog.vek"));
    test::DeliverPosted();
    EXPECT_EQ((*session)->Program().Program().GetRemark(0), "pick and place");

    // A damaged program line is reported and the parameters still load.
    errors.clear();
    WriteFile(Path("badprog.vek"), "[Vek Setup file]\r\n[Motor type 3]\r\nMax velocity = 123\r\n"
                                   "VEKMRP Data               = 00000002AABB00000999\r\n");
    (*session)->LoadSetupFile(Path("badprog.vek"));
    test::DeliverPosted();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, QStringLiteral("Error: Checksum error in ascii data"));
    EXPECT_EQ(Control("Max velocity")->Value(), 123);
}

// "Print program" follows every load that replaces the editor's program: a
// setup file's program and the debugging copy, like an upload, enable it for
// a program of type 1 or 2 and disable it for any other.
TEST_F(SetupFiles, EveryProgramLoadTellsWhetherThereIsAProgramToPrint)
{
    Open();
    CVizuWareDocument& doc = (*session)->Program();
    CGraphicProgram& program = doc.Program();
    const std::pair<std::uint8_t, bool> types[] = {
        {kProgramAbsoluteRelative, true}, {kProgramEndlessRelative, true}, {kProgramBinaryOnly, false}};
    for (const auto& [type, printable] : types) {
        program.Clear();
        if (type == kProgramBinaryOnly) {
            const std::uint8_t code[] = {0x01, 0x02, 0x03, 0x04};
            ASSERT_TRUE(program.SetBinaryOnly(code, sizeof code, kProgramCodeVersion));
        } else {
            program.SetType(type);
            program.SetRemark(0, "pick and place");
        }
        ASSERT_TRUE((*session)->SaveSetupFile(Path("print.vek"))) << int(type);
        ASSERT_TRUE(doc.SaveDebugProgram()) << int(type);
        program.Clear();
        program.SetType(kProgramNone);

        session->view.programPresent = !printable;
        (*session)->LoadSetupFile(Path("print.vek"));
        test::DeliverPosted();
        ASSERT_EQ(program.GetType(), type);
        EXPECT_EQ(session->view.programPresent, printable) << "setup file, type " << int(type);

        program.Clear();
        program.SetType(kProgramNone);
        session->view.programPresent = !printable;
        ASSERT_TRUE(doc.LoadDebugProgram()) << int(type);
        ASSERT_EQ(program.GetType(), type);
        EXPECT_EQ(session->view.programPresent, printable) << "debug copy, type " << int(type);
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(SetupFiles, ConnectedLoadWritesMode0ThenAscendingRegistersThenTheStartupMode)
{
    MotorSim sim(0, 112);  // firmware 7.0: expects filter type 2
    sim.SetRegister(153, 3);
    Open(&sim);
    ASSERT_TRUE(SpinUntil([&] { return (*session)->MotorType() == 3; }));
    ASSERT_TRUE(test::SpinUntilIdle([&] { return (*session)->Com().IsQueueEmpty(); }));
    WriteFile(Path("old.vek"), "[Vek Setup file]\r\n[Tovik Automation A/S]\r\n[Motor type 3]\r\n[Filter Type 1]\r\n"
                               "Startup mode = 2\r\nMax velocity = 5000\r\nIn position window = 40\r\n"
                               "Acceleration = 30\r\n");
    (*session)->Program().Program().SetRemark(0, "pick and place");
    sim.ClearLog();
    (*session)->LoadSetupFile(Path("old.vek"));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].caption, QStringLiteral("Old filter type!"));
    ASSERT_TRUE(SpinUntil([&] {
        for (const SimFrame& f : sim.Requests())
            if (f.command == 0x52 && f.fields.size() > 1 && f.fields[1] == 37)
                return true;
        return false;
    }));
    std::vector<int> written;
    for (const SimFrame& f : sim.Requests())
        if (f.command == 0x52 && f.fields.size() > 1)
            written.push_back(f.fields[1]);
    EXPECT_EQ(written, (std::vector<int>{2, 5, 6, 33, 37}));
    EXPECT_EQ(sim.Register(5), 5000);
    EXPECT_EQ(sim.Register(37), 2);
    EXPECT_EQ(sim.Register(2), 0);
    EXPECT_EQ((*session)->FileName(), Path("old.vek"));

    // Files that apply none of their parameters to this motor write nothing.
    // Those whose parameters it withheld leave the window's file as it was, so
    // that Save does not write this motor's values over them; one whose
    // program the editor took leaves the window without a file, so that Save
    // does not write that program over the file before; a file with only
    // its program withholds nothing and names the window.
    const std::string programLine = ProgramLine(HexTextFromStream((*session)->Program().SaveProgramToStream()));
    const std::tuple<const char*, std::string, const char*> applyNothing[] = {
        {"family1.vek", "[Vek Setup file]\r\n[Motor type 14]\r\n[Filter Type 2]\r\nMax velocity = 4321\r\n",
         "old.vek"},
        {"nomarker.vek", "[Motor type 3]\r\nMax velocity = 4321\r\n", "old.vek"},
        {"program.vek", "[Vek Setup file]\r\n[Motor type 3]\r\n" + programLine + "\r\n", "program.vek"},
        {"family1prog.vek",
         "[Vek Setup file]\r\n[Motor type 14]\r\n[Filter Type 2]\r\nMax velocity = 4321\r\n" + programLine + "\r\n",
         "Noname"},
    };
    for (const auto& [name, text, named] : applyNothing) {
        WriteFile(Path(name), text);
        sim.ClearLog();
        (*session)->LoadSetupFile(Path(name));
        const QString window = std::string(named) == "Noname" ? QStringLiteral("Noname") : Path(named);
        EXPECT_EQ((*session)->FileName().toStdString(), window.toStdString()) << name;
        EXPECT_EQ(Control("Max velocity")->Value(), 5000) << name;
        ASSERT_TRUE(test::SpinUntilIdle([&] { return (*session)->Com().IsQueueEmpty(); }));
        for (const SimFrame& f : sim.Requests())
            EXPECT_NE(f.command, 0x52) << name << ": register " << (f.fields.size() > 1 ? f.fields[1] : -1);
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(SetupFiles, ASecondStartsFileIsOnlyTransferredWhenTheUserAgrees)
{
    MotorSim sim(0, 112);
    Open(&sim);
    WriteFile(Path("handed.vek"), "[Vek Setup file]\r\n[Motor type 3]\r\n[Filter Type 2]\r\nMax velocity = 4321\r\n");
    answerYes = false;
    sim.ClearLog();
    (*session)->OnOpenFileRequest(Path("handed.vek"));
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].caption, QStringLiteral("Parameter transfer"));
    EXPECT_TRUE(questions[0].text.startsWith(QStringLiteral("The parameters in file\n")));
    Spin(300);  // nothing may be written
    EXPECT_NE(sim.Register(5), 4321);

    answerYes = true;
    (*session)->OnOpenFileRequest(Path("handed.vek"));
    ASSERT_TRUE(SpinUntil([&] { return sim.Register(5) == 4321; }));

    // A file too large to be a setup file, or no regular file that may be
    // read, is refused before anything is asked, and at once.
    WriteFile(Path("large.vek"), std::string(kSetupFileMaxBytes + 1, '['));
    std::vector<std::pair<QString, QString>> refused = NoSetupFiles();
    refused.emplace_back(Path("large.vek"),
                         "\nError: The file is larger than 1048576 bytes, more than a setup file may hold.");
    std::atomic<bool> released{false};
    const std::jthread release = test::ReleaseStuckReader(Path("pipe.vek").toStdString(), released);
    for (const auto& [path, why] : refused) {
        questions.clear();
        errors.clear();
        (*session)->RequestOpenFile(path);
        ASSERT_TRUE(SpinUntil([&] { return !errors.empty(); })) << path.toStdString();
        EXPECT_TRUE(questions.empty()) << path.toStdString();
        EXPECT_EQ(errors[0].text.toStdString(),
                  (QStringLiteral("An error occured reading the setup file\n") + path + why).toStdString());
    }
    EXPECT_FALSE(released) << "the named pipe was opened and waited for a writer";
}

// One load at a time: a file handed over while the editor asks whether to
// replace its unsaved program waits until that load has ended, and then is
// opened as any other.
TEST_F(SetupFiles, AFileHandedOverDuringALoadIsOpenedAfterIt)
{
    Open();
    CVizuWareDocument& doc = (*session)->Program();
    doc.Program().SetRemark(0, "pick and place");
    const std::string programLine = ProgramLine(HexTextFromStream(doc.SaveProgramToStream()));
    doc.SetModified(true);
    WriteFile(Path("a.vek"), "[Vek Setup file]\r\n[Motor type 64]\r\nMax velocity = 300\r\n" + programLine + "\r\n");
    WriteFile(Path("b.vek"), "[Vek Setup file]\r\n[Motor type 3]\r\nMax velocity = 111\r\n");
    session->ui.whileAsked = [&] {
        (*session)->RequestOpenFile(Path("b.vek"));
        test::DeliverPosted();  // what the question's own event loop delivers
    };
    (*session)->LoadSetupFile(Path("a.vek"));
    session->ui.whileAsked = nullptr;
    EXPECT_EQ((*session)->MotorType(), 64);
    EXPECT_EQ(Control("Max velocity")->Value(), 300);
    EXPECT_EQ((*session)->FileName().toStdString(), Path("a.vek").toStdString());

    test::DeliverPosted();
    EXPECT_EQ((*session)->MotorType(), 3);
    EXPECT_EQ(Control("Max velocity")->Value(), 111);
    EXPECT_EQ((*session)->FileName().toStdString(), Path("b.vek").toStdString());
    EXPECT_EQ(session->ui.questions.size(), 1u);
    EXPECT_TRUE(errors.empty());
}
