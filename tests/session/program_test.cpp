// The programmable module through the session against the simulated motor:
// transfer and start, run control from the module's status, outputs, and
// uploads that succeed or fail.

#include "app/motorregisters.h"
#include "support/headlesssession.h"
#include "tools/motorsim/motorsim.h"

#include <QSettings>
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

using namespace quenor;
using quenor::motorsim::MotorSim;
using quenor::motorsim::SimFrame;
using Bytes = std::vector<std::uint8_t>;

namespace {

using test::Spin;
using test::SpinUntil;

// Three "set mode" lines and, when asked, remarks that make the source grow.
void FillProgram(CVizuWareDocument& doc, bool remarks)
{
    CGraphicProgram& p = doc.Program();
    p.Clear();
    p.SetType(kProgramAbsoluteRelative);
    for (std::uint16_t line = 0; line < 3; ++line) {
        Bytes cells = NewCommandData(kCmdSetMode);
        cells[0] = static_cast<std::uint8_t>(line + 1);
        p.SetLine(line, kCmdSetMode, cells);
    }
    if (remarks)
        for (std::uint16_t line = 3; line < 8; ++line)
            p.SetRemark(line, "A remark that only the full source carries along");
    doc.SetModified(true);
}

Bytes ModuleRecord(std::uint16_t limit)
{
    Bytes info = MotorSim::ModuleInfoFor(4);
    info[2] = static_cast<std::uint8_t>(limit & 0xFF);
    info[3] = static_cast<std::uint8_t>(limit >> 8);
    return info;
}

struct Prompt {
    std::string text, caption;
    bool operator==(const Prompt&) const = default;
};

class ProgramSession : public ::testing::Test {
protected:
    void Start(int family, const Bytes& moduleRecord)
    {
        test::TestCoreApp();
        QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
        sim = std::make_unique<MotorSim>(family, 112);
        sim->SetModuleInfo(moduleRecord);
        if (family == 2)
            sim->SetRegister(regs::f2::MOTOR_TYPE, 64);  // else the type read says family 0
        linkPath = "/tmp/quenor-program-" + std::to_string(::getpid());
        sim->SetLinkPath(linkPath);
        ASSERT_TRUE(sim->Start());
        setenv("QUENOR_COM1", linkPath.c_str(), 1);
        session = std::make_unique<test::HeadlessSession>();
        auto record = [](std::vector<Prompt>& to) {
            return [&to](const QString& t, const QString& c) { to.push_back({t.toStdString(), c.toStdString()}); };
        };
        S().prompts.error = record(errors);
        S().prompts.warning = record(warnings);
        S().prompts.askYesNo = [](const QString&, const QString&) { return true; };
        S().Start(-1, QString());
        ASSERT_TRUE(SpinUntil([&] { return S().State().connected; }));
        ASSERT_TRUE(SpinUntil([&] { return S().State().moduleType == kModuleMRP; }));
        ASSERT_EQ(S().Program().ModuleCodeVersion(), kProgramCodeVersion);
        ASSERT_TRUE(test::SpinUntilIdle([&] { return S().Com().IsQueueEmpty(); }));
        ASSERT_EQ(S().Generation(), family);
    }
    void TearDown() override
    {
        session.reset();
        if (sim)
            sim->Stop();
        unsetenv("QUENOR_COM1");
    }
    MotorSession& S() { return **session; }
    CVizuWareDocument& Doc() { return S().Program(); }
    CVizuRunControl& Rc() { return S().RunControl(); }

    // The module commands that went out, the status polls left aside; the
    // blocks of one download count as one.
    std::vector<std::string> Wire() const
    {
        static const char* const kinds[] = {"status", "start", "stop", "pause", "step", "outputs", "?", "length"};
        std::vector<std::string> out;
        for (const SimFrame& f : sim->Requests()) {
            if (f.command == 0x61 && f.fields.size() >= 3 && f.fields[2] != 0)
                out.push_back(f.fields[2] < 8 ? kinds[f.fields[2]] : "?");
            else if (f.command == 0x62 && (out.empty() || out.back() != "download"))
                out.push_back("download");
            else if (f.command == 0x63 && (out.empty() || out.back() != "upload"))
                out.push_back("upload");
        }
        return out;
    }
    // The fields after the address of the module commands of one kind.
    std::vector<Bytes> Commands(int kind) const
    {
        std::vector<Bytes> out;
        for (const SimFrame& f : sim->Requests())
            if (f.command == 0x61 && f.fields.size() >= 3 && f.fields[2] == kind)
                out.emplace_back(f.fields.begin() + 1, f.fields.end());
        return out;
    }
    bool WireEndsWith(const std::string& what) const
    {
        const std::vector<std::string> w = Wire();
        return !w.empty() && w.back() == what;
    }
    // The image a document of this program builds for this module.
    static Bytes ImageFor(int family, const Bytes& moduleRecord, bool remarks)
    {
        test::AnsweringVizuUi ui;
        CVizuWareDocument doc(ui);
        doc.SetLogPath("");
        doc.SetMotorKind(family);
        doc.SetModuleInfo(moduleRecord);
        FillProgram(doc, remarks);
        EXPECT_TRUE(doc.GenerateCode());
        return doc.BuildTransferImage();
    }

    std::unique_ptr<MotorSim> sim;
    std::string linkPath;
    std::unique_ptr<test::HeadlessSession> session;
    std::vector<Prompt> errors;
    std::vector<Prompt> warnings;
};

class ProgramSessionPerFamily : public ProgramSession, public ::testing::WithParamInterface<int> {};

}  // namespace

TEST_P(ProgramSessionPerFamily, TransferAndStartThenRunControlFollowsTheModule)
{
    const int family = GetParam();
    // A module whose memory takes the program without its remarks only: the
    // question comes once and the image that goes out is that one.
    const Bytes full = ImageFor(family, ModuleRecord(0xFFFF), true);
    const Bytes bare = ImageFor(family, ModuleRecord(static_cast<std::uint16_t>(full.size())), true);
    ASSERT_LT(bare.size() + 1, full.size());
    const Bytes record = ModuleRecord(static_cast<std::uint16_t>(bare.size() + 1));
    Start(family, record);
    FillProgram(Doc(), true);
    sim->ClearLog();
    session->ui.questions.clear();

    Rc().TransferButtonClick();
    ASSERT_TRUE(SpinUntil([&] { return WireEndsWith("start"); })) << ::testing::PrintToString(Wire());
    const std::vector<std::string> expected = family == 2
                                                  ? std::vector<std::string>{"stop", "length", "download", "start"}
                                                  : std::vector<std::string>{"stop", "download", "start"};
    EXPECT_EQ(Wire(), expected);
    EXPECT_EQ(session->ui.questions.size(), 1u);
    const Bytes memory = sim->ProgramMemory();
    EXPECT_EQ(Bytes(memory.begin(), memory.begin() + static_cast<std::ptrdiff_t>(bare.size())), bare);
    EXPECT_TRUE(errors.empty());

    // The module's status comes back to the bar: running this program.
    ASSERT_TRUE(SpinUntil([&] { return Rc().DebugInfoText() == "Status: Running" && Doc().Transferred(); }))
        << Rc().DebugInfoText() << " " << Rc().ChecksumText();
    EXPECT_FALSE(Rc().TransferredWarningVisible());
    EXPECT_EQ(Rc().ChecksumText(), "Module Checksum: " + std::to_string(Doc().ExpectedChecksum()));
    EXPECT_TRUE(Rc().Buttons().stop);

    // Pause, resume and stop, each shown once the module says so.
    sim->ClearLog();
    Rc().PauseButtonClick();
    ASSERT_TRUE(SpinUntil([&] { return Rc().Paused(); })) << Rc().DebugInfoText();
    EXPECT_EQ(Rc().DebugInfoText(), "Status: Paused");
    EXPECT_TRUE(Rc().Buttons().pauseSaysResume);
    EXPECT_TRUE(Rc().Buttons().singleStep);
    Rc().PauseButtonClick();
    ASSERT_TRUE(SpinUntil([&] { return Rc().DebugInfoText() == "Status: Running"; })) << Rc().DebugInfoText();
    Rc().StopButtonClick();
    ASSERT_TRUE(SpinUntil([&] { return Rc().DebugInfoText() == "Status: Passive"; })) << Rc().DebugInfoText();
    EXPECT_TRUE(Rc().Buttons().start);
    EXPECT_EQ(Wire(), (std::vector<std::string>{"pause", "start", "stop"}));

    // Another program in the module: the warning and its checksum, unsigned.
    Bytes other{208, 0, 0xA1, 200, 0, 0x40, 0x9C};  // 200 bytes of 200 sum to 40000
    other.resize(7 + 200, 200);
    other.push_back(0xAF);
    sim->SetProgramMemory(other);
    ASSERT_TRUE(SpinUntil([&] { return Rc().ChecksumText() == "Module Checksum: 40000"; })) << Rc().ChecksumText();
    EXPECT_TRUE(Rc().TransferredWarningVisible());
    EXPECT_TRUE(Rc().Buttons().transfer);

    // Outputs set and cleared from the tests page; a stop request.
    sim->ClearLog();
    PostMessage(S().Notify(), UM_SETOUTPUT, 3, 1);
    ASSERT_TRUE(SpinUntil([&] { return sim->Outputs() == 8; }));
    PostMessage(S().Notify(), UM_SETOUTPUT, 3, 0);
    // The motor may change its outputs before its log has the frame.
    ASSERT_TRUE(SpinUntil([&] { return sim->Outputs() == 0 && Commands(5).size() == 2; }));
    EXPECT_EQ(Commands(5), family == 2 ? (std::vector<Bytes>{{3, 5, 8, 0}, {3, 5, 0, 8}})
                                          : (std::vector<Bytes>{{2, 5, 0x08}, {2, 5, 0x80}}));
    PostMessage(S().Notify(), UM_STOPPROGRAM, 0, 0);
    ASSERT_TRUE(SpinUntil([&] { return WireEndsWith("stop"); }));

    // One step over the addresses as the editor gives them.
    sim->ClearLog();
    S().OnProgramCommand(4, 10, 17);
    ASSERT_TRUE(SpinUntil([&] { return Rc().DebugInfoText() == "Status: Single Step"; })) << Rc().DebugInfoText();
    EXPECT_EQ(Commands(4), (std::vector<Bytes>{{5, 4, 10, 0, 17, 0}}));

    // A start whose reply is lost is not sent again: the module runs the
    // program once, and the user hears that the command may have arrived.
    sim->ClearLog();
    sim->LoseReplies(0x61, 1, 1);
    S().OnProgramCommand(1, 0, 0);
    ASSERT_TRUE(SpinUntil([&] { return !warnings.empty(); }));
    EXPECT_EQ(warnings.back().caption, "Program");
    EXPECT_NE(warnings.back().text.find("\"Start\""), std::string::npos) << warnings.back().text;
    ASSERT_TRUE(SpinUntil([&] { return Rc().DebugInfoText() == "Status: Running"; })) << Rc().DebugInfoText();
    EXPECT_EQ(Commands(1).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Families, ProgramSessionPerFamily, ::testing::Values(0, 2));

TEST_F(ProgramSession, AnEmptyImageOnlyStops)
{
    Start(0, MotorSim::ModuleInfoFor(4));
    FillProgram(Doc(), false);
    Doc().Program().SetType(kProgramNone);
    sim->ClearLog();
    Rc().TransferButtonClick();
    ASSERT_TRUE(SpinUntil([&] { return WireEndsWith("stop"); }));
    Spin(500);  // and nothing after it
    EXPECT_EQ(Wire(), std::vector<std::string>{"stop"});
    EXPECT_EQ(errors, (std::vector<Prompt>{{"Could not transfer the program", "Invalid program"}}));
}

TEST_F(ProgramSession, ClearLeavesTheModuleWithAnEndAlone)
{
    Start(0, MotorSim::ModuleInfoFor(4));
    FillProgram(Doc(), false);
    Doc().SetModified(false);
    sim->ClearLog();
    Rc().ProgramMenuCommand(5);
    ASSERT_TRUE(SpinUntil([&] { return WireEndsWith("start"); })) << ::testing::PrintToString(Wire());
    EXPECT_EQ(Wire(), (std::vector<std::string>{"stop", "download", "start"}));
    const Bytes cleared{0x09, 0x00, 0xA1, 0x01, 0x00, 0x00, 0x00, 0x00, 0xAF};
    const Bytes memory = sim->ProgramMemory();
    EXPECT_EQ(Bytes(memory.begin(), memory.begin() + static_cast<std::ptrdiff_t>(cleared.size())), cleared);
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(session->ui.messages.empty());  // no version complaint
    EXPECT_TRUE(Doc().Program().IsEmpty());
    EXPECT_EQ(Doc().Program().GetType(), kProgramNone);
}

TEST_F(ProgramSession, UploadRoundTrip)
{
    Start(0, MotorSim::ModuleInfoFor(4));
    FillProgram(Doc(), true);
    const Bytes source = Doc().SaveProgramToStream();
    ASSERT_FALSE(source.empty());
    Rc().TransferButtonClick();
    ASSERT_TRUE(SpinUntil([&] { return WireEndsWith("start"); }));

    session->view.programPresent = true;
    Rc().ProgramMenuCommand(0);
    ASSERT_TRUE(Doc().Program().IsEmpty());
    EXPECT_FALSE(session->view.programPresent);
    sim->ClearLog();
    Rc().UploadBtnClick();
    ASSERT_TRUE(SpinUntil([&] { return !Doc().Program().IsEmpty(); }));
    EXPECT_EQ(Wire(), std::vector<std::string>{"upload"});
    EXPECT_EQ(Doc().SaveProgramToStream(), source);
    EXPECT_TRUE(session->view.programPresent);
    EXPECT_EQ(Doc().ExpectedChecksum(), MotorSim::CodeChecksum(sim->ProgramMemory()));
    ASSERT_TRUE(SpinUntil([&] { return !Rc().TransferredWarningVisible(); }));
    EXPECT_TRUE(warnings.empty());
    EXPECT_TRUE(session->ui.messages.empty());
}

TEST_F(ProgramSession, UploadsThatFailKeepTheProgramAndItsUnsavedMark)
{
    struct Row {
        Bytes memory;
        std::vector<Prompt> warnings;
        const char* message;  // the editor's, for an image it cannot read
    };
    const Row rows[] = {
        {{0, 0}, {{"Sorry, no program in the memory", "No program"}}, nullptr},
        {{4, 0, 0xA1, 0xAF}, {{"Sorry, the program data is corrupted", "Data error"}}, nullptr},
        {{8, 0, 0x55, 1, 2, 3, 4, 0xAF}, {}, "Unknown block Type - 0x55\r\nAborting Upload.\r\nTry updating Quenor."},
    };
    Start(0, MotorSim::ModuleInfoFor(4));
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.memory));
        FillProgram(Doc(), false);
        session->ui.messages.clear();
        warnings.clear();
        sim->SetProgramMemory(row.memory);
        Rc().UploadBtnClick();
        ASSERT_TRUE(SpinUntil([&] { return !warnings.empty() || !session->ui.messages.empty(); }));
        Spin(100);  // and nothing else
        EXPECT_EQ(warnings, row.warnings);
        EXPECT_EQ(session->ui.messages, row.message ? std::vector<std::string>{row.message}
                                                    : std::vector<std::string>{});
        EXPECT_EQ(Doc().Program().Lines().size(), 3u);
        EXPECT_EQ(Doc().Program().GetType(), kProgramAbsoluteRelative);
        EXPECT_TRUE(Doc().Modified());
    }
}
