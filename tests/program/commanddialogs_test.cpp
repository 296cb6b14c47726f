#include "program/ui/vizuwarecommanddialogs.h"
#include "program/vizuvekparameterlist.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include "support/qtapp.h"

using namespace quenor;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Block(std::initializer_list<std::uint8_t> bytes)
{
    Bytes cells(kCommandCells, 0);
    std::copy(bytes.begin(), bytes.end(), cells.begin());
    return cells;
}

class CommandDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        registers.SelectMotorKind(0);
        dialogs.SetRegisterList(&registers);
        dialogs.SetMotorKind(0);
        dialogs.SetOutputCount(0);
        dialogs.SetAbsRelQuery([this] { return absRel; });
        for (QDialog* d : std::initializer_list<QDialog*>{
                 &dialogs.Input(), &dialogs.Output(), &dialogs.Move(), &dialogs.SetReg(), &dialogs.Register(),
                 &dialogs.Position(), &dialogs.ZeroSearch(), &dialogs.SetMode(), &dialogs.WaitTime(),
                 &dialogs.Comment(), &dialogs.Setup(), &dialogs.FastVEK(), &dialogs.BinaryCommand()})
            static_cast<TCommandDialog*>(d)->showMessage = [this](const QString& text) { messages << text; };
        // The user: shows the dialog, does what the test asks, presses OK or Cancel.
        dialogs.runDialog = [this](QDialog& dialog) {
            shown.push_back(&dialog);
            dialog.setResult(QDialog::Rejected);
            dialog.show();
            if (user)
                user(dialog);
            if (pressOk)
                dialog.accept();
            else
                dialog.reject();
            const int result = dialog.result();
            dialog.hide();
            return result;
        };
    }

    QApplication& app = test::TestApp();  // before any widget
    CVekParameterList registers;
    TVizuWareCommandDialogs dialogs;
    bool absRel = true;
    bool pressOk = true;
    std::function<void(QDialog&)> user;
    std::vector<QDialog*> shown;
    QStringList messages;
};

}  // namespace

TEST_F(CommandDialogs, EachCommandLoadsAndWritesItsCells)
{
    struct Case {
        std::uint8_t id;
        Bytes cells;  // loaded, and written back unchanged on OK
        QDialog* dialog;
    };
    const std::vector<Case> cases = {
        {2, Block({0x01, 0x2C, 0x00, 0x09}), &dialogs.Input()},  // target 300, Input 3 High
        {3, Block({0x22, 0x00, 0x00, 0x00, 0x00, 0x01, 0x03, 0xE8, 0x00, 0x1A, 0x01, 0x00, 0xFA}), &dialogs.Move()},
        {3, Block({0x24, 0x00, 0x00, 0x00, 0x00, 0x01, 0x03, 0xE8, 0x00, 0x32, 0x23}), &dialogs.Move()},
        {4, Block({0x01, 0x00, 0x01}), &dialogs.Position()},
        {5, Block({0x02}), &dialogs.Position()},
        {6, Block({0x01, 0x05, 0x0F}), &dialogs.Output()},
        // Four outputs shown; outputs 5 (high) and 7 (low) kept.
        {6, Block({0x01, 0x13, 0x5F}), &dialogs.Output()},
        {3, Block({0x22, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x01, 0x13, 0x5F}), &dialogs.Move()},
        {7, Block({0x02}), &dialogs.ZeroSearch()},
        {8, Block({0x01, 0x00, 0xFA}), &dialogs.WaitTime()},
        {10, Block({0x05, 0x13, 0x3F, 0xC0, 0x00, 0x00}), &dialogs.SetReg()},
        {11, Block({0x00, 0x07, 0x03, 0x04, 0x11, 0xFC, 0x18}), &dialogs.Register()},
        {12, Block({0x06}), &dialogs.SetMode()},
        {13, Block({0x01, 0x01, 0x06, 0x8C}), &dialogs.Input()},
        {14, Block({0x05, 0x05, 0x00, 0x64}), &dialogs.Register()},
        {15, Block({0x00, 0x70}), &dialogs.FastVEK()},
        {16, Block({0x03, 0x01, 0x02, 0xFF}), &dialogs.BinaryCommand()},
    };
    std::string remark;
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.id));
        ASSERT_TRUE(dialogs.HasDialog(c.id));
        shown.clear();
        Bytes cells = c.cells;
        EXPECT_TRUE(dialogs.Execute(c.id, true, cells, remark));
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0], c.dialog);
        EXPECT_EQ(cells, c.cells);
        EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
    }
    EXPECT_FALSE(dialogs.HasDialog(0));
    EXPECT_FALSE(dialogs.HasDialog(1));
    EXPECT_FALSE(dialogs.HasDialog(17));

    // The modes the table gives.
    Bytes cells = Block({0x00});
    dialogs.Execute(4, true, cells, remark);
    EXPECT_EQ(dialogs.Position().windowTitle(), "Set position");
    EXPECT_TRUE(dialogs.Position().Position()->isEditable());
    dialogs.Execute(5, true, cells, remark);
    EXPECT_EQ(dialogs.Position().windowTitle(), "Save position");
    EXPECT_FALSE(dialogs.Position().Position()->isEditable());
    EXPECT_FALSE(dialogs.Input().SensorMode());
    EXPECT_FALSE(dialogs.Output().Docked());

    // A remark is its text.
    remark = "Home \xE9tage";
    user = [this](QDialog&) { dialogs.Comment().Comment()->setText(dialogs.Comment().Comment()->text() + "!"); };
    EXPECT_TRUE(dialogs.Execute(kCmdRemark, true, cells, remark));
    EXPECT_EQ(remark, "Home \xE9tage!");
}

TEST_F(CommandDialogs, CancelAndRefusalsLeaveTheLine)
{
    std::string remark;
    // Cancel: nothing written, and the dialog keeps what the user left in it.
    pressOk = false;
    user = [this](QDialog&) { dialogs.WaitTime().Time()->setText("250"); };
    Bytes cells = Block({0x00, 0x64});
    EXPECT_FALSE(dialogs.Execute(kCmdWait, true, cells, remark));
    EXPECT_EQ(cells, Block({0x00, 0x64}));

    // A new line shows the values of the last use.
    pressOk = true;
    user = nullptr;
    Bytes fresh;
    EXPECT_TRUE(dialogs.Execute(kCmdWait, false, fresh, remark));
    EXPECT_EQ(fresh, Block({0x01, 0x00, 0xFA}));

    struct Refusal {
        std::uint8_t id;
        std::function<void()> edit;
        QWidget* focus;
        QString message;
    };
    TVizuWareMove& move = dialogs.Move();
    const std::vector<Refusal> refusals = {
        {kCmdWait, [this] { dialogs.WaitTime().Time()->setText("1e3x"); }, dialogs.WaitTime().Time(),
         "'1e3x' is not a valid number."},
        {kCmdSetRegister, [this] { dialogs.SetReg().RegNo()->setEditText("abc"); }, dialogs.SetReg().RegNo(),
         "'abc' is not a valid register number (0 to 255)."},
        {kCmdSetRegister, [this] { dialogs.SetReg().RegNo()->setEditText("256"); }, dialogs.SetReg().RegNo(),
         "'256' is not a valid register number (0 to 255)."},
        {kCmdWaitRegister,
         [this] {
             dialogs.Register().RegNo()->setEditText("5");
             dialogs.Register().Value()->setText("inf");
         },
         dialogs.Register().Value(), "'inf' is not a valid number."},
        {kCmdMove,
         [&move] {
             move.MoveType()->Button(1)->click();
             move.GeneralDistance()->setEditText("999");
             move.ChangeVelPosition()->setEditText("1000");
         },
         move.GeneralDistance(), "Velocity change distance must be lower than the requested distance!"},
        {kCmdMove,
         [&move] {
             move.MoveType()->Button(2)->click();
             move.GeneralDistance()->setEditText("10");
         },
         nullptr, "Please choose an output state."},
        {kCmdBinary, [this] { dialogs.BinaryCommand().Code()->setText("1,,2"); }, dialogs.BinaryCommand().Code(),
         "Invalid value"},
        {kCmdFastCommand,
         [this] {
             dialogs.FastVEK().Mode()->Button(3)->click();
             dialogs.FastVEK().Command()->setCurrentIndex(-1);
         },
         dialogs.FastVEK().Command(), "Please choose a command."},
        {kCmdSetMode, [this] { dialogs.SetMode().Mode()->SetIndex(-1); }, dialogs.SetMode().Mode()->Button(0),
         "Please choose a mode."},
    };
    // The output state the Move case needs is missing.
    dialogs.Output().Output()->SetIndex(-1);
    dialogs.Output().OutputNo()->SetIndex(0);
    dialogs.Output().OutputStyle()->SetIndex(0);
    dialogs.Output().HighPulse()->setText("5");
    pressOk = false;  // the user presses OK once, then gives up
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.message.toStdString());
        messages.clear();
        QWidget* focused = nullptr;
        user = [&](QDialog& d) {
            r.edit();
            d.accept();  // refused: stays open
            focused = d.focusWidget();
            EXPECT_TRUE(d.isVisible());
        };
        Bytes line = Block({0x7E});
        EXPECT_FALSE(dialogs.Execute(r.id, false, line, remark));
        EXPECT_EQ(line, Block({0x7E}));
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0].toStdString(), r.message.toStdString());
        if (r.focus) {
            EXPECT_TRUE(focused == r.focus || (focused && focused->parentWidget() == r.focus));
        }
        if (r.id == kCmdBinary) {
            EXPECT_EQ(dialogs.BinaryCommand().Code()->selectedText(), "1,,2");
        }
    }

    // Output: a pulse that is not a number is refused with the focus on it.
    messages.clear();
    dialogs.Output().Output()->SetIndex(3);
    user = [this](QDialog& d) {
        dialogs.Output().HighPulse()->setText("x");
        d.accept();
        EXPECT_EQ(d.focusWidget(), dialogs.Output().HighPulse());
        EXPECT_TRUE(d.isVisible());
    };
    Bytes line = Block({0x7E});
    EXPECT_FALSE(dialogs.Execute(kCmdSetOutputs, false, line, remark));
    EXPECT_EQ(line, Block({0x7E}));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], "'x' is not a valid number.");
}

TEST_F(CommandDialogs, MoveTypes)
{
    TVizuWareMove& move = dialogs.Move();
    std::string remark;
    struct Seen {
        bool changeVel, sensor, output, waitEnabled;
        QString label;
        QSize size;
    };
    std::vector<Seen> seen;
    user = [&](QDialog&) {
        for (int type = 0; type < 5; ++type) {
            move.MoveType()->Button(type)->click();
            QApplication::processEvents();
            seen.push_back({move.ChangeVelGroup()->isVisible(), move.SensorGroup()->isVisible(),
                            dialogs.Output().Panel()->isVisible() && dialogs.Output().Panel()->window() == &move,
                            move.WaitForInPos()->isEnabled(), move.PosLabel()->text(), move.size()});
        }
        move.MoveType()->Button(0)->click();
    };
    pressOk = false;
    Bytes cells = Block({});
    dialogs.Execute(kCmdMove, false, cells, remark);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_TRUE(seen[1].changeVel && !seen[1].sensor && !seen[1].output);
    EXPECT_TRUE(!seen[0].changeVel && !seen[0].sensor && !seen[0].output && seen[0].waitEnabled);
    EXPECT_TRUE(seen[2].output && !seen[2].changeVel && !seen[2].waitEnabled);
    EXPECT_EQ(seen[3].label, "&Position");
    EXPECT_EQ(seen[0].label, "&Distance");
    EXPECT_TRUE(seen[3].waitEnabled);
    EXPECT_TRUE(seen[4].sensor && !seen[4].waitEnabled);
    // The groups beside the general parameters widen the dialog; the docked
    // outputs make it at least as high.
    EXPECT_GT(seen[1].size.width(), seen[0].size.width());
    EXPECT_GT(seen[2].size.width(), seen[0].size.width());
    EXPECT_GE(seen[2].size.height(), seen[0].size.height());
    EXPECT_EQ(seen[3].size, seen[0].size);
    EXPECT_FALSE(move.ChangeVelGroup()->isVisible());
    EXPECT_TRUE(move.MoveType()->Button(3)->isEnabled());

    // "Endless relative": no absolute move.
    absRel = false;
    user = nullptr;
    dialogs.Execute(kCmdMove, false, cells, remark);
    EXPECT_FALSE(move.MoveType()->Button(3)->isEnabled());

    // The sensor condition comes from the input dialog, floating and single
    // only; its Cancel keeps the condition.
    absRel = true;
    pressOk = true;
    int inputRuns = 0;
    user = [&](QDialog& d) {
        if (&d == &move) {
            move.MoveType()->Button(4)->click();
            move.InputCondition()->click();  // OK: Motor Error, Rising Edge
            pressOk = false;
            move.InputCondition()->click();  // Cancel after changing it
            pressOk = true;
            return;
        }
        ++inputRuns;
        EXPECT_TRUE(dialogs.Input().SensorMode());
        EXPECT_FALSE(dialogs.Input().InputStyle()->Button(1)->isEnabled());
        dialogs.Input().Input()->SetIndex(inputRuns == 1 ? 8 : 1);
        dialogs.Input().Condition()->SetIndex(inputRuns == 1 ? 3 : 0);
    };
    cells = Block({});
    move.GeneralDistance()->setEditText("300");
    move.SensorDistance()->setEditText("50");
    ASSERT_TRUE(dialogs.Execute(kCmdMove, false, cells, remark));
    EXPECT_EQ(inputRuns, 2);
    EXPECT_EQ(Bytes(cells.begin(), cells.begin() + 11),
              (Bytes{0x24, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x2C, 0x00, 0x32, 35}));
}

TEST_F(CommandDialogs, KindsAndCounts)
{
    TVizuWareOutput& output = dialogs.Output();
    EXPECT_EQ(output.OutputNo()->Count(), 4);
    dialogs.SetOutputCount(2);
    output.SetDocked(false);
    EXPECT_EQ(output.OutputNo()->Count(), 8);
    EXPECT_EQ(output.OutputNo()->minimumHeight(), 217);
    dialogs.SetOutputCount(7);  // no such kind: the count stays
    EXPECT_EQ(output.OutputCount(), 8);
    dialogs.SetOutputCount(1);
    EXPECT_EQ(output.OutputNo()->Count(), 4);
    EXPECT_EQ(output.OutputNo()->minimumHeight(), 121);

    // A stored pulse longer than the four characters one can type is kept whole.
    std::string remark;
    Bytes cells = Block({0x00, 0x19, 0x02, 0x00, 0x01, 0x86, 0xA0});  // output 2, high pulse 100000 ms
    user = [this](QDialog&) { EXPECT_EQ(dialogs.Output().HighPulse()->text(), "100000"); };
    ASSERT_TRUE(dialogs.Execute(kCmdSetOutputs, true, cells, remark));
    user = nullptr;
    EXPECT_EQ(cells, Block({0x00, 0x19, 0x02, 0x00, 0x01, 0x86, 0xA0}));

    // A servo's sensor type 2 zero search stays type 2 on a stepper.
    cells = Block({0x02});
    dialogs.Execute(kCmdZeroSearch, true, cells, remark);
    dialogs.SetMotorKind(2);
    EXPECT_EQ(dialogs.ZeroSearch().Mode()->Count(), 2);
    EXPECT_EQ(dialogs.ZeroSearch().Mode()->Index(), 1);
    EXPECT_EQ(dialogs.SetMode().Mode()->Count(), 3);
    user = [this](QDialog&) { EXPECT_FALSE(dialogs.Setup().DebounceChkBox()->isVisible()); };
    ProgramSetupOptions options{1, 1, 2, 1, 1};
    ASSERT_TRUE(dialogs.ExecuteSetup(options));
    EXPECT_EQ(options, (ProgramSetupOptions{1, 1, 2, 1, 1}));
    dialogs.SetMotorKind(0);
    user = [this](QDialog&) {
        EXPECT_TRUE(dialogs.Setup().DebounceChkBox()->isVisible());
        dialogs.Setup().TransferSettings()->Button(1)->click();
        dialogs.Setup().DebounceChkBox()->click();
    };
    ASSERT_TRUE(dialogs.ExecuteSetup(options));
    EXPECT_EQ(options, (ProgramSetupOptions{0, 1, 1, 1, 1}));

    // The register lists: writable for set register, readable for conditions.
    EXPECT_EQ(dialogs.SetReg().RegNo()->count(), static_cast<int>(registers.GetRegisterList(false).size()));
    EXPECT_EQ(dialogs.Register().RegNo()->count(), static_cast<int>(registers.GetRegisterList(true).size()));
    cells = Block({0x05, 0x13, 0x3F, 0xC0, 0x00, 0x00});
    user = [this](QDialog&) {
        EXPECT_EQ(dialogs.SetReg().RegNo()->currentText(), "5 - Velocity");
        EXPECT_EQ(dialogs.SetReg().Unit()->currentText(), "Cnts/Sample");
        EXPECT_EQ(dialogs.SetReg().Value()->text(), "1.5");
        // Choosing register 3 offers its units.
        dialogs.SetReg().RegNo()->setCurrentIndex(dialogs.SetReg().RegNo()->findText("3 - Requested position"));
        EXPECT_EQ(dialogs.SetReg().Unit()->itemText(1), "Revs.");
        dialogs.SetReg().Unit()->setCurrentIndex(1);
    };
    ASSERT_TRUE(dialogs.Execute(kCmdSetRegister, true, cells, remark));
    EXPECT_EQ(Bytes(cells.begin(), cells.begin() + 6), (Bytes{0x03, 0x13, 0x3F, 0xC0, 0x00, 0x00}));
    EXPECT_EQ(registers.GetUnitIndex(3), 1);
}
