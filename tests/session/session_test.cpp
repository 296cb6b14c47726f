// The session against a simulated motor that goes away: what it shows while
// the motor is gone, edits that cannot go out, and a setup-file load that the
// link cuts off. And what a motor's type code selects within its family.

#include "app/filterselector.h"
#include "app/loadsave.h"
#include "app/motorregisters.h"
#include "app/motortypes.h"
#include "app/setupfile.h"
#include "app/statustext.h"
#include "params/paramkinds.h"
#include "params/paramvalue.h"
#include "platform/comports.h"
#include "platform/qtmessagetarget.h"
#include "platform/settings.h"
#include "scope/samplesettings.h"
#include "support/headlesssession.h"
#include "tools/filtergen/filtergen.h"
#include "tools/motorsim/motorsim.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <unistd.h>

using namespace quenor;
using quenor::motorsim::MotorSim;
using quenor::motorsim::SimFrame;

namespace {

using test::Spin;
using test::SpinUntil;

class SessionWithMotor : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestCoreApp();
        QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
        linkPath = "/tmp/quenor-session-" + std::to_string(::getpid());
        sim.SetLinkPath(linkPath);
        ASSERT_TRUE(sim.Start());
        setenv("QUENOR_COM1", linkPath.c_str(), 1);
        session = std::make_unique<test::HeadlessSession>();
        (*session)->prompts.loadInformation = [this](const QString& t, const QString&) {
            notices.push_back(t);
            // What the window shows behind the box.
            shownWithNotice.push_back({(*session)->State().connected, session->view.commandsEnabled,
                                       (*session)->StatusBar().ConnectionTextShown()});
        };
        (*session)->prompts.error = [](const QString&, const QString&) {};
        (*session)->prompts.askYesNo = [](const QString&, const QString&) { return true; };
        (*session)->Start(-1, QString());
        ASSERT_TRUE(SpinUntil([&] { return (*session)->State().connected; }));
        ASSERT_TRUE(test::SpinUntilIdle([&] { return (*session)->Com().IsQueueEmpty(); }));
    }
    void TearDown() override
    {
        session.reset();
        sim.Stop();
        unsetenv("QUENOR_COM1");
    }
    std::set<int> WrittenRegisters() const
    {
        std::set<int> out;
        for (const SimFrame& f : sim.Requests())
            if (f.command == 0x52 && f.fields.size() > 1)
                out.insert(f.fields[1]);
        return out;
    }
    void Unplug()
    {
        sim.Stop();
        ASSERT_TRUE(SpinUntil([&] { return !(*session)->State().connected; }, 15000));
    }
    void PlugIn()
    {
        ASSERT_TRUE(sim.Start());
        ASSERT_TRUE(SpinUntil([&] { return (*session)->State().connected; }, 15000));
    }
    bool ShowsConnected() const
    {
        return (*session)->StatusBar().ConnectionTextShown().find("Connected") != std::string::npos;
    }

    MotorSim sim{0, 112};
    std::string linkPath;
    std::unique_ptr<test::HeadlessSession> session;
    std::vector<QString> notices;
    struct Shown {
        bool connected;
        bool commandsEnabled;
        std::string connectionText;
    };
    std::vector<Shown> shownWithNotice;
};

TEST_F(SessionWithMotor, AnUnpluggedMotorIsShownLostAndComesBackByItself)
{
    ASSERT_TRUE(ShowsConnected());
    EXPECT_TRUE(session->view.commandsEnabled);
    sim.Stop();
    ASSERT_TRUE(SpinUntil([&] { return !(*session)->State().connected; }, 15000));
    EXPECT_FALSE(ShowsConnected()) << (*session)->StatusBar().ConnectionTextShown();
    EXPECT_FALSE(session->view.commandsEnabled);
    Spin(300);  // the motor stays away a while
    ASSERT_TRUE(sim.Start());
    ASSERT_TRUE(SpinUntil([&] { return (*session)->State().connected; }, 15000)) << "no reconnect by itself";
    EXPECT_TRUE(ShowsConnected());
    EXPECT_TRUE(session->view.commandsEnabled);
}

// The motor picture's hint ends with the module's bootloader version, taken
// from the module's information block when the module is found: 32 bits at
// bytes 3 to 6 for the Profibus module, byte 6 for the programmable module.
// While the link is lost the hint is hidden; the information is kept, so
// the hint is back as soon as the motor is found again.
TEST_F(SessionWithMotor, TheMotorPictureShowsTheModulesBootloaderVersion)
{
    const std::vector<std::string>& hints = session->view.motorInfo;
    sim.SetRegister(158, 0x1234ABCD);  // the firmware checksum
    const std::string motor = "Motor information:\r\nFirmware checksum: 0x1234ABCD \r\nHardware revision: 1.0";
    const auto reconnectWith = [&](std::vector<std::uint8_t> block) {
        sim.SetModuleInfo(std::move(block));
        Unplug();
        EXPECT_EQ(hints.empty() ? "(none)" : hints.back(), "") << "the hint is hidden while the link is lost";
        const std::size_t before = hints.size();
        PlugIn();
        EXPECT_TRUE(test::SpinUntilIdle([&] { return (*session)->Com().IsQueueEmpty(); }));
        // Every hint given since the motor came back shows what was known.
        for (std::size_t i = before; i < hints.size(); ++i)
            EXPECT_EQ(hints[i].rfind(motor, 0), 0u) << hints[i];
        return hints.size() > before ? hints.back() : std::string("(none)");
    };

    EXPECT_EQ(reconnectWith({}), motor);
    EXPECT_EQ(reconnectWith({2, 0x12, 5, 0x21, 0, 0, 0}),
              motor + "\r\nModule information:\r\nBootloader version: 2.1");
    std::vector<std::uint8_t> programmable = MotorSim::ModuleInfoFor(4);
    programmable[6] = 0x25;
    EXPECT_EQ(reconnectWith(programmable), motor + "\r\nModule information:\r\nBootloader version: 2.5");
    // A module whose block holds no bootloader version has no module part:
    // the version of the module before is not this one's.
    EXPECT_EQ(reconnectWith({3, 0x10, 7, 2}), motor);
}

TEST_F(SessionWithMotor, AnEditThatCannotGoOutIsNotShownAsDone)
{
    CParamControl* velocity = session->Control("Max velocity");
    ASSERT_NE(velocity, nullptr);
    const std::int32_t before = velocity->Value();
    sim.SetSilent(true);
    (*session)->Com().RequestRead(1, 5, false, 2);
    // The link knows before the session has heard of it.
    for (int i = 0; i < 1000 && (*session)->Com().State() != LINK_CONNECTING; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ((*session)->Com().State(), LINK_CONNECTING);
    ASSERT_TRUE((*session)->State().connected);
    sim.ClearLog();
    velocity->ParseSetupValue("1234");
    (*session)->OnControlChanged(5, 0);
    EXPECT_EQ(velocity->Value(), before) << "the edit shows as made";
    EXPECT_EQ((*session)->StatusBar().PanelText(0).rfind("RError: ", 0), 0u) << (*session)->StatusBar().PanelText(0);

    sim.SetSilent(false);
    ASSERT_TRUE(SpinUntil([&] { return !(*session)->State().connected; }));
    ASSERT_TRUE(SpinUntil([&] { return (*session)->State().connected; }));
    Spin(300);  // nothing may be written
    EXPECT_EQ(WrittenRegisters().count(5), 0u) << "written behind the user's back";
}

// Where the link goes during a load the user has sent to the motor: during
// the writes, while the wrong-type notice is open, while the editor asks
// whether to replace its unsaved program, while the user is asked to confirm
// the transfer of a file handed over, while the file dialog is open. With
// comesBack the motor is plugged in again before the box is answered.
// AfterHandOver: during the writes, after a file was handed over while the
// wrong-type notice was open; that file is opened once the load has ended,
// and its writes follow the load's. AfterAnEdit: during the writes of a
// second load begun while the first was still under way, after the user
// edited a parameter between the two. AfterAFilter: during the writes, after
// a filter was loaded meanwhile.
enum class CutOff {
    DuringWrites,
    DuringTypeNotice,
    DuringProgramQuestion,
    DuringTransferQuestion,
    DuringFileDialog,
    AfterHandOver,
    AfterAnEdit,
    AfterAFilter
};

struct CutCase {
    CutOff where;
    bool comesBack;
};

std::string CutOffName(const ::testing::TestParamInfo<CutCase>& info)
{
    static const char* const names[] = {
        "DuringWrites",     "DuringTypeNotice", "DuringProgramQuestion", "DuringTransferQuestion",
        "DuringFileDialog", "AfterHandOver",    "AfterAnEdit",           "AfterAFilter"};
    return std::string(names[static_cast<int>(info.param.where)]) + (info.param.comesBack ? "AndBack" : "");
}

class LoadCutOff : public SessionWithMotor, public ::testing::WithParamInterface<CutCase> {
protected:
    // What happens while a box of the load is open.
    void WhileOpen()
    {
        Unplug();
        if (GetParam().comesBack)
            PlugIn();
    }
};

TEST_P(LoadCutOff, ListsWhatDidNotArriveAndWritesNothingLater)
{
    const CutOff where = GetParam().where;
    const bool comesBack = GetParam().comesBack;
    const bool duringWrites = where == CutOff::DuringWrites || where == CutOff::AfterHandOver ||
                              where == CutOff::AfterAnEdit || where == CutOff::AfterAFilter;
    // A whole setup with every parameter, loaded back while the motor goes
    // away; its velocity is not the motor's.
    QTemporaryDir dir;
    const QString path = dir.path() + "/all.vek";
    const QString before = dir.path() + "/before.vek";
    CParamControl* velocity = session->Control("Max velocity");
    ASSERT_NE(velocity, nullptr);
    const std::int32_t motorVelocity = velocity->Value();
    std::vector<std::string> lines = (*session)->BuildSetupLines();
    for (std::string& line : lines)
        if (line.rfind("Max velocity ", 0) == 0)
            line = SetupLine("Max velocity", motorVelocity + 1);
    bool unplugged = false;
    // The file handed over sets a parameter that the load leaves alone.
    const QString handed = dir.path() + "/handed.vek";
    std::vector<QString> asked;  // the transfer questions, by file
    std::size_t askedDuringNotice = 0;
    if (where == CutOff::AfterHandOver) {
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [](const std::string& l) {
                                       const auto entry = SplitSetupEntry(l);
                                       return entry && entry->key == "Acceleration";
                                   }),
                    lines.end());
        std::ofstream(handed.toStdString(), std::ios::binary)
            << JoinTextLines({"[Vek Setup file]", "[Motor type " + std::to_string((*session)->MotorType()) + "]",
                              "[Filter Type 2]", SetupLine("Acceleration", 77)});
        (*session)->prompts.askYesNo = [&](const QString& t, const QString&) {
            asked.push_back(t.section('\n', 1, 1));
            return true;
        };
    }
    if (where == CutOff::DuringTypeNotice || where == CutOff::AfterHandOver) {
        for (std::string& line : lines)
            if (line.rfind("[Motor type ", 0) == 0)
                line = "[Motor type 4]";  // a type the motor is not: its filter stays out
        (*session)->prompts.loadInformation = [&, record = (*session)->prompts.loadInformation](const QString& t,
                                                                                              const QString& c) {
            record(t, c);
            if (c == QStringLiteral("Wrong motor type!") && !unplugged) {
                unplugged = true;
                if (where == CutOff::AfterHandOver) {
                    (*session)->RequestOpenFile(handed);
                    test::DeliverPosted();  // what the notice's own event loop delivers
                    askedDuringNotice = asked.size();
                } else {
                    WhileOpen();
                }
            }
        };
    }
    if (where == CutOff::DuringProgramQuestion) {
        (*session)->Program().Program().SetRemark(0, "pick and place");
        lines.push_back(ProgramLine(HexTextFromStream((*session)->Program().SaveProgramToStream())));
    }
    // Save writes to the file of the window, not to the one loaded.
    ASSERT_TRUE((*session)->SaveSetupFile(before));
    {
        std::ofstream out(path.toStdString(), std::ios::binary);
        out << JoinTextLines(lines);
    }
    if (where == CutOff::DuringProgramQuestion) {
        (*session)->Program().SetModified(true);  // the editor's program is not saved: it asks
        session->ui.whileAsked = [this] { WhileOpen(); };
    }
    // The parameters a load applies (caption and register), each once: the
    // controls that take the file's lines, a file made for another motor
    // type without its filter.
    const auto appliedBy = [&](const std::vector<std::string>& file, bool wrongType) {
        std::vector<std::pair<std::string, int>> out;
        for (const std::string& line : file) {
            const auto entry = SplitSetupEntry(line);
            if (!entry)
                continue;
            for (const auto& c : (*session)->Controls()) {
                const auto* edit = dynamic_cast<const CParamControlEdit*>(c.get());
                const std::pair<std::string, int> p{c->Caption(), c->Register()};
                if (KindTakesSetupLine(c->Kind(), edit && edit->Editable() ? efEditable : 0) &&
                    SetupKeyMatches(entry->key, c->Caption()) &&
                    !(wrongType && IsFilterRegister((*session)->Generation(), c->Register())) &&
                    std::find(out.begin(), out.end(), p) == out.end())
                    out.push_back(p);
            }
        }
        return out;
    };
    // The loads in the order they began, each with what it applies.
    std::vector<std::vector<std::pair<std::string, int>>> loads{
        appliedBy(lines, where == CutOff::DuringTypeNotice || where == CutOff::AfterHandOver)};
    if (where == CutOff::AfterHandOver)
        loads.push_back(appliedBy({SetupLine("Acceleration", 77)}, false));
    // A second file with a part of the parameters, velocity left out.
    const QString second = dir.path() + "/second.vek";
    if (where == CutOff::AfterAnEdit) {
        std::vector<std::string> part;
        for (const std::string& line : lines) {
            const auto entry = SplitSetupEntry(line);
            if (line.rfind('[', 0) == 0 || (entry && entry->key != "Max velocity" && part.size() < 24))
                part.push_back(line);
        }
        std::ofstream(second.toStdString(), std::ios::binary) << JoinTextLines(part);
        loads.push_back(appliedBy(part, false));
    }
    // Each load writes the mode, then each of its registers once; no
    // parameter of a file is the mode.
    for (const auto& load : loads)
        for (const auto& p : load)
            ASSERT_NE(p.second, regs::MODE_REG) << p.first;
    const auto writesOf = [](const std::vector<std::pair<std::string, int>>& load) {
        std::set<int> regs;
        for (const auto& p : load)
            regs.insert(p.second);
        return static_cast<int>(regs.size()) + 1;
    };

    sim.ClearLog();
    switch (where) {
    case CutOff::DuringWrites:
    case CutOff::AfterHandOver:
    case CutOff::AfterAnEdit:
    case CutOff::AfterAFilter:
        // The motor takes its time, so that the load is still under way when it goes.
        sim.SetFaults(motorsim::FaultConfig{1, 0.0, 0.0, 1.0, 15});
        (*session)->LoadSetupFile(path);
        if (where == CutOff::AfterAnEdit) {
            // The edit goes out between the two loads' writes.
            ASSERT_LT(sim.CountRequests(0x52), writesOf(loads[0])) << "the first load ended before the edit";
            velocity->ParseSetupValue(std::to_string(motorVelocity + 2));
            (*session)->OnControlChanged(velocity->Register(), 0);
            (*session)->LoadSetupFile(second);
            ASSERT_TRUE(sim.WaitForRequests(0x52, writesOf(loads[0]) + 1 + 3, std::chrono::seconds(20)));
            Unplug();
            break;
        }
        if (where == CutOff::AfterAFilter) {
            // A filter loaded once some of the load's writes have gone out.
            ASSERT_TRUE(sim.WaitForRequests(0x52, 3, std::chrono::seconds(10)));
            PostMessage((*session)->Notify(), UM_BATCHSTATUS, 0, 0);
            for (const auto& c : (*session)->Controls())
                if (c->Register() >= 102 && c->Register() <= 105)
                    (*session)->Notify()->Post(WriteRegisterMessage(RegisterWrite{c->Register(), c->Value(), 2}));
            PostText((*session)->Notify(), UM_BATCHSTATUS, 1, 0, "Loading new filter");
            test::DeliverPosted();
            ASSERT_TRUE(sim.WaitForRequests(0x52, 6, std::chrono::seconds(10)));
            Unplug();
            break;
        }
        if (where == CutOff::AfterHandOver) {
            EXPECT_EQ(askedDuringNotice, 0u) << "the file handed over was opened inside the load";
            ASSERT_TRUE(SpinUntil([&] { return !asked.empty(); })) << "the file handed over was not opened";
            EXPECT_EQ(asked, std::vector<QString>{handed});
        }
        ASSERT_TRUE(sim.WaitForRequests(0x52, 4, std::chrono::seconds(10)));
        Unplug();
        break;
    case CutOff::DuringTransferQuestion:
        (*session)->prompts.askYesNo = [this](const QString&, const QString&) {
            WhileOpen();
            return true;
        };
        (*session)->OnOpenFileRequest(path);
        break;
    case CutOff::DuringFileDialog:
        (*session)->prompts.openFileName = [&] {
            WhileOpen();
            return path;
        };
        (*session)->OpenSetupFile();
        break;
    default:
        (*session)->LoadSetupFile(path);
        break;
    }
    if (!duringWrites) {
        ASSERT_EQ((*session)->State().connected, comesBack) << "the box was not open while the motor went";
    }
    ASSERT_TRUE(SpinUntil([&] { return !notices.empty() && notices.back().contains(QStringLiteral("not written")); }))
        << "the cut-off load was not reported";
    // The lost link is shown before the box that lists what was not written.
    ASSERT_EQ(shownWithNotice.size(), notices.size());
    if (!comesBack) {
        EXPECT_EQ((*session)->StatusBar().Progress(), -1);
        EXPECT_FALSE(shownWithNotice.back().connected);
        EXPECT_FALSE(shownWithNotice.back().commandsEnabled);
        EXPECT_EQ(shownWithNotice.back().connectionText.rfind("R*** ", 0), 0u)
            << shownWithNotice.back().connectionText;
    }
    // A load that wrote nothing leaves the window's file and its pages as
    // they were: Save does not write the motor's values over the file. A new
    // connection has no file, and neither has an editor that took the file's
    // program without its values.
    if (duringWrites) {
        EXPECT_EQ((*session)->FileName(), where == CutOff::AfterHandOver ? handed
                                          : where == CutOff::AfterAnEdit ? second
                                                                         : path);
    } else {
        const bool programTaken = where == CutOff::DuringProgramQuestion;
        EXPECT_EQ((*session)->FileName(), comesBack || programTaken ? QStringLiteral("Noname") : before);
        if (!comesBack) {
            EXPECT_EQ(velocity->Value(), motorVelocity) << "the pages show the file";
        }
    }

    // The motor's writes by load: each load's writes begin with the mode. A
    // write arrived when the motor took it; the last one it took may have
    // gone without its acknowledgement: it counts as not written, which is
    // the safe side. A write was acknowledged when the motor answered it.
    struct LoadWrites {
        std::set<int> arrived;
        std::set<int> answered;
    };
    std::vector<LoadWrites> written;
    {
        std::optional<int> open;                          // the register of a write waiting for its answer
        std::optional<std::pair<std::size_t, int>> last;  // the last write taken, by load
        for (const motorsim::LogEntry& e : sim.Log()) {
            if (!e.request) {
                if (open && (e.note.empty() || e.note == "delayed"))
                    written.back().answered.insert(*open);
                open.reset();
                continue;
            }
            SimFrame f;
            std::size_t used = 0;
            open.reset();
            if (MotorSim::ParseFrame(e.bytes.data(), e.bytes.size(), f, used) != 1 || f.command != 0x52 ||
                f.fields.size() < 2)
                continue;
            if (f.fields[1] == regs::MODE_REG)
                written.emplace_back();
            if (written.empty())
                continue;
            if (last)
                written[last->first].arrived.insert(last->second);
            last = {written.size() - 1, f.fields[1]};
            open = f.fields[1];
        }
    }
    const QString notice = notices.back();
    // The names stand one a line between the heading and an empty line: each
    // once, in the order of the file.
    const QString heading = QStringLiteral("These parameters were not written to the motor:\n");
    ASSERT_TRUE(notice.contains(heading)) << notice.toStdString();
    const QStringList listed =
        notice.mid(notice.indexOf(heading) + heading.size()).section(QStringLiteral("\n\n"), 0, 0).split('\n');
    std::vector<std::string> fileOrder;
    for (const std::string& line : lines)
        if (const auto entry = SplitSetupEntry(line);
            entry && std::find(fileOrder.begin(), fileOrder.end(), entry->key) == fileOrder.end())
            fileOrder.push_back(entry->key);
    // The file handed over was written after the load: its parameter comes last.
    if (where == CutOff::AfterHandOver) {
        fileOrder.push_back("Acceleration");
        EXPECT_EQ(listed.back(), QStringLiteral("Acceleration"));
    }
    auto next = fileOrder.begin();
    for (const QString& name : listed) {
        const auto at = std::find(next, fileOrder.end(), name.toStdString());
        ASSERT_NE(at, fileOrder.end()) << name.toStdString() << " repeated, out of order or no parameter in\n"
                                       << notice.toStdString();
        next = at + 1;
        // The last load that applies it did not write it.
        bool applied = false;
        for (std::size_t i = loads.size(); i-- > 0 && !applied;)
            for (const auto& [caption, reg] : loads[i])
                if (caption == *at) {
                    applied = true;
                    EXPECT_TRUE(i >= written.size() || written[i].arrived.count(reg) == 0)
                        << caption << " arrived but is listed";
                }
        EXPECT_TRUE(applied) << *at << " is listed but was not loaded";
    }
    // And every parameter whose write the motor did not acknowledge is listed.
    for (std::size_t i = 0; i < loads.size(); ++i)
        for (const auto& [caption, reg] : loads[i])
            if (i >= written.size() || written[i].answered.count(reg) == 0) {
                EXPECT_TRUE(listed.contains(QString::fromStdString(caption)))
                    << caption << " (register " << reg << ") of load " << i << " did not arrive but is not listed in\n"
                    << notice.toStdString();
            }
    EXPECT_GT(listed.size(), 10);
    if (!duringWrites) {
        EXPECT_EQ(sim.CountRequests(0x52), 0) << "written while the motor was gone";
    }

    // When the motor returns nothing is written behind the user's back.
    sim.SetFaults(motorsim::FaultConfig{});
    if (duringWrites)
        sim.ClearLog();
    if (!comesBack)
        PlugIn();
    ASSERT_TRUE(SpinUntil([&] { return (*session)->Com().IsQueueEmpty(); }));
    Spin(300);  // nothing may be written
    for (int reg : WrittenRegisters())
        ADD_FAILURE() << "register " << reg << " written after the motor came back";
}

INSTANTIATE_TEST_SUITE_P(Where, LoadCutOff,
                         ::testing::Values(CutCase{CutOff::DuringWrites, false},
                                           CutCase{CutOff::DuringTypeNotice, false},
                                           CutCase{CutOff::DuringTypeNotice, true},
                                           CutCase{CutOff::DuringProgramQuestion, false},
                                           CutCase{CutOff::DuringTransferQuestion, false},
                                           CutCase{CutOff::DuringTransferQuestion, true},
                                           CutCase{CutOff::DuringFileDialog, false},
                                           CutCase{CutOff::AfterHandOver, false},
                                           CutCase{CutOff::AfterAnEdit, false},
                                           CutCase{CutOff::AfterAFilter, false}),
                         CutOffName);

// A load begun offline shows the file; a motor that comes while a box is open
// gets none of it, since nobody agreed to transfer the file to it.
TEST_F(LoadCutOff, AMotorThatComesDuringAnOfflineLoadGetsNothing)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/all.vek";
    (*session)->Program().Program().SetRemark(0, "pick and place");
    ASSERT_TRUE((*session)->SaveSetupFile(path));
    (*session)->Program().SetModified(true);
    Unplug();
    session->ui.whileAsked = [this] {
        sim.ClearLog();
        ASSERT_TRUE(sim.Start());
        ASSERT_TRUE(SpinUntil([&] { return (*session)->State().connected; }, 15000));
    };
    (*session)->LoadSetupFile(path);
    ASSERT_TRUE((*session)->State().connected);
    ASSERT_FALSE(notices.empty());
    EXPECT_TRUE(notices.back().contains(QStringLiteral("No parameter of the file was transferred")))
        << notices.back().toStdString();
    EXPECT_EQ((*session)->FileName(), QStringLiteral("Noname")) << "the window shows the motor, without a file";
    ASSERT_TRUE(test::SpinUntilIdle([&] { return (*session)->Com().IsQueueEmpty(); }));
    for (int reg : WrittenRegisters())
        ADD_FAILURE() << "register " << reg << " written without the user's consent";
}

// What the window does while it shows no motor changes only what it shows,
// also when the link already serves a motor that was plugged in again and
// the window has not heard of it yet: nothing of it reaches that motor.
enum class OfflineRoad { Edit, SetupFileLoad, SaveInMotor, ProgramStart, ScopeRun };

class WhileShownOffline : public SessionWithMotor, public ::testing::WithParamInterface<OfflineRoad> {
protected:
    // Frames that change or move the motor: all but reads, the module query
    // and the programmable module's status poll.
    std::vector<int> CommandsReceived() const
    {
        std::vector<int> out;
        for (const SimFrame& f : sim.Requests())
            if (f.command != 0x50 && f.command != 0x51 && f.command != 0x5F &&
                !(f.command == 0x61 && f.fields.size() > 2 && f.fields[1] == 1 && f.fields[2] == 0))
                out.push_back(f.command);
        return out;
    }
};

TEST_P(WhileShownOffline, NothingReachesTheMotorThatCameMeanwhile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/setup.vek";
    CParamControl* velocity = session->Control("Max velocity");
    ASSERT_NE(velocity, nullptr);
    std::vector<std::string> lines = (*session)->BuildSetupLines();
    for (std::string& line : lines)
        if (line.rfind("Max velocity ", 0) == 0)
            line = SetupLine("Max velocity", velocity->Value() + 1);
    std::ofstream(path.toStdString(), std::ios::binary) << JoinTextLines(lines);
    (*session)->prompts.confirmWarnings = [](const Warnings&) { return true; };
    if (GetParam() == OfflineRoad::ProgramStart)
        sim.SetModuleType(4);  // the programmable module, found at the next connect

    Unplug();
    ASSERT_TRUE(sim.Start());
    // The link serves the motor again before the window has its notice: the
    // GUI thread delivers nothing while it waits here.
    const std::uint32_t before = (*session)->Com().Connection();
    for (int i = 0; i < 1500 && ((*session)->Com().State() != LINK_SERVING || (*session)->Com().Connection() == before);
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ((*session)->Com().State(), LINK_SERVING);
    ASSERT_FALSE((*session)->State().connected);
    sim.ClearLog();

    switch (GetParam()) {
    case OfflineRoad::Edit:
        velocity->ParseSetupValue("1234");
        (*session)->OnControlChanged(5, 0);
        break;
    case OfflineRoad::SetupFileLoad:
        (*session)->LoadSetupFile(path);
        break;
    case OfflineRoad::SaveInMotor:
        (*session)->SaveInMotor();
        break;
    case OfflineRoad::ProgramStart:
        (*session)->OnProgramCommand(1, 0, 0);
        break;
    case OfflineRoad::ScopeRun: {
        SSampleSettings record;
        record.triggerType = kTriggerForwardBackward;
        (*session)->ScopeRequests().RequestWrite(kAllMotors, 112, 5, 2);
        (*session)->ScopeRequests().RequestTestMove(nullptr, std::make_shared<SampleRun>(record, 0));
        break;
    }
    }
    ASSERT_TRUE(SpinUntil([&] { return (*session)->State().connected; }, 15000));
    ASSERT_TRUE(test::SpinUntilIdle([&] { return (*session)->Com().IsQueueEmpty(); }));
    Spin(300);  // nothing may come later
    EXPECT_EQ(CommandsReceived(), std::vector<int>{}) << "what the window did without a motor reached it";
}

INSTANTIATE_TEST_SUITE_P(Roads, WhileShownOffline,
                         ::testing::Values(OfflineRoad::Edit, OfflineRoad::SetupFileLoad, OfflineRoad::SaveInMotor,
                                           OfflineRoad::ProgramStart, OfflineRoad::ScopeRun));

// A handed-over file opens from the event loop, never inside the handler of
// the connect: the link may go while its question is open, and the motor
// commands then show the link as it is. However many windows close at once,
// one request to open the files that wait is on its way.
TEST(SessionWithoutMotor, AHandedOverFileOpensOnlyFromTheEventLoop)
{
    test::TestCoreApp();
    QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
    const std::string device = "/tmp/quenor-no-port-" + std::to_string(::getpid());
    setenv("QUENOR_COM1", device.c_str(), 1);
    QTemporaryDir dir;
    const QString path = dir.path() + "/handed.vek";
    {
        test::HeadlessSession session;
        session->Start(-1, QString());
        test::DeliverPosted();
        ASSERT_TRUE(session->SaveSetupFile(path));
        // Counts the requests to open the files that wait as they are delivered.
        struct OpenRequests : QObject {
            int count = 0;
            bool eventFilter(QObject*, QEvent* e) override
            {
                if (e->type() == MessageEvent::EventType() &&
                    static_cast<MessageEvent*>(e)->message.msg == UM_OPENFILE &&
                    !static_cast<MessageEvent*>(e)->message.hasText)
                    ++count;
                return false;
            }
        } requests;
        QCoreApplication::instance()->installEventFilter(&requests);
        session.view.modalOpen = true;
        session->OnOpenFileRequest(path);
        for (int i = 0; i < 500; ++i)  // each window that a box blocked is free again
            session->ModalWindowClosed();
        session.view.modalOpen = false;
        session->ModalWindowClosed();

        int asked = 0;
        session->prompts.askYesNo = [&](const QString&, const QString&) {
            ++asked;
            // The link goes while the question is open.
            Message lost;
            lost.msg = UM_LINKSTATE;
            lost.wParam = +LinkNotice::Lost;
            session->HandleMessage(lost);
            return false;
        };
        Message connected;
        connected.msg = UM_LINKSTATE;
        connected.wParam = +LinkNotice::Connected;
        connected.lParam = 112;
        session->HandleMessage(connected);
        EXPECT_EQ(asked, 0) << "the file opened inside the handler of the connect";
        test::DeliverPosted();
        EXPECT_EQ(asked, 1);
        EXPECT_FALSE(session->State().connected);
        EXPECT_FALSE(session.view.commandsEnabled) << "the motor commands show a link that is gone";
        EXPECT_LE(requests.count, 2);
        QCoreApplication::instance()->removeEventFilter(&requests);
    }
    unsetenv("QUENOR_COM1");
}

// A port that is not there is shown with its device and the reason, once:
// the session is not kept busy while the link looks for the port.
TEST(SessionWithoutMotor, AMissingPortIsShownWithItsDeviceOnce)
{
    test::TestCoreApp();
    QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
    const std::string device = "/tmp/quenor-no-port-" + std::to_string(::getpid());
    setenv("QUENOR_COM1", device.c_str(), 1);
    {
        test::HeadlessSession session;  // looks for the port every 20 ms
        session->Start(-1, QString());
        ASSERT_TRUE(SpinUntil([&] { return session->State().portError; }));
        test::DeliverPosted();
        const int changes = session.view.statusChanges;
        const int mask = session.view.lastMask;
        Spin(600);  // nothing may change
        EXPECT_EQ(session.view.statusChanges, changes) << "the status was redone while nothing changed";
        EXPECT_EQ(session.view.lastMask, mask);
        EXPECT_EQ(session->StatusBar().ConnectionTextShown(),
                  "R*** Error opening COM1 (" + device + ": no such device) ***");
        EXPECT_EQ(session->State().portFault, PortFault::Missing);
        // Taking the port back after another user (the firmware loader) says the same.
        std::vector<QString> errors;
        session->prompts.error = [&](const QString& t, const QString&) { errors.push_back(t); };
        session->SuspendLink(false);
        session->ResumeLink(false);
        EXPECT_EQ(errors, (std::vector<QString>{QString::fromStdString("Error opening port (" + device +
                                                                       ": no such device)")}));
    }
    unsetenv("QUENOR_COM1");
}

// What may move the motor waits for the mode the connected motor reports: a
// mode shown before (the offline echo of "Set Position mode", or the motor of
// the last connection) enables neither the endurance test's Start nor the
// scope's move runs on a new connection.
TEST(SessionWithoutMotor, ANewConnectionWaitsForTheMotorsOwnMode)
{
    test::TestCoreApp();
    QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
    const std::string device = "/tmp/quenor-no-port-" + std::to_string(::getpid());
    setenv("QUENOR_COM1", device.c_str(), 1);
    {
        test::HeadlessSession session;
        session->Start(-1, QString());
        ASSERT_TRUE(SpinUntil([&] { return session->State().portError; }));
        test::DeliverPosted();
        const auto deliver = [&](int msg, std::int64_t w, std::int64_t l) {
            PostMessage(session->Notify(), msg, w, l);
            test::DeliverPosted();
        };
        const std::int64_t family1 = (2 << 14) | 112;
        const auto startEnabled = [&] {
            return std::count(session.view.testsAllowed.begin(), session.view.testsAllowed.end(), true);
        };
        deliver(UM_REGISTERVALUE, regs::MODE_REG, 2);  // offline: the echo of a position-mode write
        for (const char* road : {"after the offline echo", "after a motor in position mode"}) {
            session.view.testsAllowed.clear();
            deliver(UM_LINKSTATE, +LinkNotice::Connected, family1);
            ASSERT_TRUE(session->State().connected);
            EXPECT_FALSE(session->TestsAllowed()) << road;
            EXPECT_EQ(startEnabled(), 0) << road;
            ASSERT_FALSE(session.view.motionModes.empty()) << road;
            EXPECT_NE(session.view.motionModes.back(), 2) << road;
            // The motor says it is passive: still nothing; in position mode: Start.
            deliver(UM_REGISTERVALUE, regs::MODE_REG, 0);
            EXPECT_FALSE(session->TestsAllowed()) << road;
            deliver(UM_REGISTERVALUE, regs::MODE_REG, 2);
            EXPECT_TRUE(session->TestsAllowed()) << road;
            deliver(UM_LINKSTATE, +LinkNotice::Lost, 0);
            EXPECT_FALSE(session->TestsAllowed()) << road;
            EXPECT_NE(session.view.motionModes.back(), 2) << road;
        }
    }
    unsetenv("QUENOR_COM1");
}

// A USB adapter that nothing maps is COM1 when that number is free: the menu
// shows it there, the link finds the motor behind it, and choosing it stores
// its stable name for the next start.
TEST(SessionWithoutMotor, AnAdapterGetsAFreeNumberAndChoosingItStoresIt)
{
    test::TestCoreApp();
    QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
    unsetenv("QUENOR_COM1");
    unsetenv("QUENOR_COM2");
    MotorSim sim(0, 112);
    ASSERT_TRUE(sim.Start());
    QTemporaryDir root;
    const std::string dev = root.path().toStdString() + "/dev";
    const std::string byId = dev + "/serial/by-id/usb-FTDI_FT232R_Q1-if00-port0";
    std::filesystem::create_directories(dev + "/serial/by-id");
    std::filesystem::create_directories(root.path().toStdString() + "/sys/ttyS0");
    std::ofstream(dev + "/ttyS0").put('\0');
    std::ofstream(root.path().toStdString() + "/sys/ttyS0/type") << "0\n";  // no UART behind it
    std::filesystem::create_symlink(sim.DevicePath(), dev + "/ttyUSB0");
    std::filesystem::create_symlink("../../ttyUSB0", byId);
    const SerialDeviceRoots before = ComPortMap::Instance().Roots();
    ComPortMap::Instance().SetRoots({dev, root.path().toStdString() + "/sys"});
    {
        test::HeadlessSession session;
        session->Start(-1, QString());
        const auto menu = session->PortMenu();
        ASSERT_EQ(menu.size(), 24u);
        EXPECT_EQ(menu[0].caption.toStdString(), "Comport 1\t" + dev + "/ttyUSB0");
        EXPECT_TRUE(menu[0].present);
        EXPECT_EQ(menu[1].caption.toStdString(), "Comport 2\t" + dev + "/ttyS1");
        EXPECT_FALSE(menu[1].present);
        EXPECT_TRUE(SpinUntil([&] { return session->State().connected; })) << "the link did not find the adapter";
        EXPECT_FALSE(Settings().Contains(QStringLiteral("Ports/COM1"))) << "stored without being chosen";

        session->SelectPort(0);
        EXPECT_EQ(Settings().ReadString(QStringLiteral("Ports/COM1"), ""), byId);
        EXPECT_EQ(session->PortMenu()[0].caption.toStdString(), "Comport 1\t" + dev + "/ttyUSB0");
        EXPECT_TRUE(SpinUntil([&] { return session->State().connected; }));
    }
    ComPortMap::Instance().SetRoots(before);
    Settings().Remove(QStringLiteral("Ports/COM1"));
}

}  // namespace

namespace {

// What a session did on the wire with a motor of one family reporting one type code.
struct FamilyRun {
    int generation = -1;
    int motorType = -1;
    std::string connectionText;
    std::set<int> read;     // registers read one by one, and the first register of every block read
    std::set<int> written;  // registers written
    std::set<int> bound;    // registers that the pages shown show
    // What the filter selector was told, and what it offers then.
    bool filterTypeUnknown = false;
    bool largeTable = false;
    std::string filterMotorText;
    bool filterOffered = false;
    bool filterTypeUnknownUnplugged = false;  // after the motor went away (unplug runs only)
    std::vector<std::string> file;  // the setup file saved from the pages
};

// A filter selector on tables with a normal record for each of 12 motors
// (type codes 1 to 12) and a large-motor table.
struct SelectorOnTables : FilterSelectorPort {
    explicit SelectorOnTables(const QString& dir)
    {
        filtergen::TableDesign normal;
        normal.groups = {5, 5, 1, 1, 12, 1};
        filtergen::TableDesign large = normal;
        large.large = true;
        large.recordSize = 132;
        large.groups[4] = 1;
        for (const auto& [design, name] : {std::pair{normal, "manyfilt.dat"}, std::pair{large, "manyfiltbig.dat"},
                                           std::pair{normal, "manyfiltold.dat"}})
            EXPECT_TRUE(filtergen::WriteTable(design, dir.toStdString() + "/" + name));
        sel.LoadTables({dir.toStdString()});
    }
    void SetMotorType(int index, int modelNumber, bool newFilter) override
    {
        sel.SetMotorType(index, modelNumber, newFilter);
    }
    void SetUnknownMotorType(std::int64_t code) override { sel.SetUnknownMotorType(code); }
    void SetMode(int) override {}
    void SetProgramRunning(bool) override {}
    MessageTarget* Inbox() const override { return nullptr; }
    bool Offered()
    {
        sel.ChooseCurrentFilter(0);
        for (int c = 0; c < kGridSize; ++c)
            for (int r = 0; r < kGridSize; ++r)
                if (sel.CellOffered(c, r))
                    return true;
        return false;
    }
    CFilterSelector sel;
};

// Connects to a simulated motor of the family whose type register holds
// code, edits a parameter, and loads a setup file made of the pages shown;
// then, with unplug, takes the motor away.
FamilyRun RunFamily(int family, std::int32_t code, bool unplug = false)
{
    static const int typeRegister[3] = {153, 203, 151};
    static const std::uint16_t firmware[3] = {112, 72, 0x35};
    MotorSim sim(family, firmware[family]);
    sim.SetRegister(typeRegister[family], code);
    FamilyRun run;
    if (!sim.Start()) {
        ADD_FAILURE() << "no simulated motor";
        return run;
    }
    setenv("QUENOR_COM1", sim.DevicePath().c_str(), 1);
    QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
    QTemporaryDir dir;
    SelectorOnTables filter(dir.path());
    test::HeadlessSession session;
    session->prompts.loadInformation = [](const QString&, const QString&) {};
    session->prompts.error = [](const QString& t, const QString&) { ADD_FAILURE() << t.toStdString(); };
    session->prompts.warning = [](const QString&, const QString&) {};
    session->SetFilterSelector(&filter);
    session->Start(-1, QString());
    EXPECT_TRUE(SpinUntil([&] { return session->State().connected; }));
    // Every poll has run at least once: twice as many requests as polls after
    // the queue ran empty.
    auto settle = [&] {
        EXPECT_TRUE(test::SpinUntilIdle([&] { return session->Com().IsQueueEmpty(); }));
        const std::size_t from = sim.Requests().size();
        const std::size_t polls = static_cast<std::size_t>(session->Com().PollCount());
        EXPECT_TRUE(SpinUntil([&] { return sim.Requests().size() >= from + 2 * polls; }));
    };
    settle();

    if (auto* edit = dynamic_cast<CParamControlEdit*>(session.Control("Max velocity")))
        edit->EnterPressed("100");
    else
        ADD_FAILURE() << "no Max velocity";
    const QString path = dir.path() + "/pages.vek";
    run.file = session->BuildSetupLines();
    {
        std::ofstream out(path.toStdString(), std::ios::binary);
        out << JoinTextLines(run.file);
    }
    session->LoadSetupFile(path);
    settle();

    run.generation = session->Generation();
    run.motorType = session->MotorType();
    run.connectionText = session->StatusBar().ConnectionTextShown();
    for (int reg = 0; reg < 256; ++reg)
        if (!session->RegisterList(reg).empty())
            run.bound.insert(reg);
    run.filterTypeUnknown = filter.sel.TypeUnknown();
    run.largeTable = filter.sel.LargeMode();
    run.filterMotorText = filter.sel.MotorTypeText();
    run.filterOffered = filter.Offered();
    if (unplug) {
        sim.Stop();
        EXPECT_TRUE(SpinUntil([&] { return !session->State().connected; }));
        run.filterTypeUnknownUnplugged = filter.sel.TypeUnknown();
    }
    // Until the connect's first block read, the link may still serve the
    // polls of the pages shown before the motor said its family.
    bool connected = false;
    for (const SimFrame& f : sim.Requests()) {
        connected = connected || f.command == 0x51;
        if (!connected)
            continue;
        if ((f.command == 0x50 || f.command == 0x51) && f.fields.size() > 1)
            run.read.insert(f.fields[1]);
        else if (f.command == 0x52 && f.fields.size() > 1)
            run.written.insert(f.fields[1]);
    }
    session->SetFilterSelector(nullptr);
    session.session.reset();
    sim.Stop();
    unsetenv("QUENOR_COM1");
    return run;
}

}  // namespace

// While connected the family comes from register 1: a type code that is no
// type of that family (unset, unknown, or another family's) selects the
// family's first type and is shown as unknown, and the session keeps to the
// family's registers: it reads and writes no register that it does not with
// a motor of a known type of the family. The filter selector offers no filter
// for it. A known type (VekE's 12 and 13 too, which have no Offline menu
// item) is shown by its name and gets the filters of its own table. A setup
// file saved from a motor keeps the code it reported: loaded back into that
// motor, its filter goes in.
TEST(FamilyRule, ATypeCodeThatIsNoTypeOfTheFamilyKeepsTheFamilysRegisters)
{
    test::TestCoreApp();
    struct Case {
        int family;
        std::vector<std::int32_t> known;    // types of the family, the first one the reference
        std::vector<std::int32_t> unknown;  // unset, outside the table, another family's
    };
    const Case cases[] = {
        {1, {14, 12, 13}, {0, 11, 3}},
        {2, {64}, {0, 11, 14}},
        {0, {3}, {0, 11, 64}},
    };
    for (const Case& c : cases) {
        FamilyRun reference;
        for (std::int32_t code : c.known) {
            SCOPED_TRACE("family " + std::to_string(c.family) + ", known type code " + std::to_string(code));
            const FamilyRun run = RunFamily(c.family, code);
            EXPECT_EQ(run.generation, c.family);
            EXPECT_EQ(run.motorType, code);
            EXPECT_EQ(run.connectionText.rfind("G" + MotorNameText(c.family, code) + " (Version ", 0), 0u)
                << run.connectionText;
            EXPECT_FALSE(run.filterTypeUnknown);
            EXPECT_EQ(run.largeTable, code - 1 >= 12);
            EXPECT_EQ(run.filterMotorText, "VEK" + std::to_string(ModelDisplayNumber(code)));
            EXPECT_TRUE(run.filterOffered);
            // The file saved from the pages has the very type: its filter is loaded.
            const bool filterWritten = std::any_of(run.written.begin(), run.written.end(),
                                                   [&](int reg) { return IsFilterRegister(c.family, reg); });
            EXPECT_EQ(filterWritten, c.family != 2);
            if (code == c.known.front())
                reference = run;
        }
        ASSERT_FALSE(reference.written.empty());
        for (std::int32_t code : c.unknown) {
            SCOPED_TRACE("family " + std::to_string(c.family) + ", type code " + std::to_string(code));
            const bool unplug = code == c.unknown.front();
            const FamilyRun run = RunFamily(c.family, code, unplug);
            EXPECT_EQ(run.generation, c.family);
            EXPECT_EQ(run.motorType, DefaultOfflineType(c.family));
            EXPECT_EQ(run.connectionText.rfind("GUnknown type " + std::to_string(code) + " (Version ", 0), 0u)
                << run.connectionText;
            EXPECT_TRUE(run.filterTypeUnknown);
            EXPECT_FALSE(run.filterOffered);
            // Once the motor is gone the selector serves the type selected.
            EXPECT_FALSE(unplug && run.filterTypeUnknownUnplugged);
            ASSERT_GE(run.file.size(), 3u);
            EXPECT_EQ(run.file[2], "[Motor type " + std::to_string(code) + "]");
            const bool filterWritten = std::any_of(run.written.begin(), run.written.end(),
                                                   [&](int reg) { return IsFilterRegister(c.family, reg); });
            EXPECT_EQ(filterWritten, c.family != 2) << "the motor's own filter was not restored";
            // A read that found the request ring full is dropped, so a page's
            // register need not have been read in the reference run.
            for (int reg : run.read)
                EXPECT_TRUE(reference.read.count(reg) || reference.bound.count(reg)) << "read register " << reg;
            for (int reg : run.written)
                EXPECT_TRUE(reference.written.count(reg) || reference.bound.count(reg)) << "wrote register " << reg;
        }
    }
}
