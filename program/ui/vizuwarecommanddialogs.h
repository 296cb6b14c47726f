#pragma once
// The command dialogs of the program editor: one long-lived instance of each,
// and which dialog serves which command, in which mode, from which cell.
//
//   2  conditional jump   input condition (floating), from cell 2
//   3  move               move, from cell 0
//   4  set position       position in "Set position" mode
//   5  save position      position in "Save position" mode
//   6  set outputs        output (floating)
//   7  zero search        8 wait time       9 remark (the remark text)
//   10 set register       11 register condition from cell 2
//   12 set mode           13 input condition (floating), from cell 0
//   14 register condition from cell 0
//   15 fast command       16 binary command
//
// A jump line (IDs 2 and 11) keeps its target: cells 0-1 of the block the
// editor hands in are carried into the fresh block.

#include "program/commanddialogs.h"
#include "program/graphicprogram.h"
#include "program/ui/vizuwareinoutforms.h"
#include "program/ui/vizuwaremoveform.h"
#include "program/ui/vizuwareregisterforms.h"
#include "program/ui/vizuwaresmallforms.h"

#include <QPointer>

#include <functional>

class QDialog;
class QWidget;

namespace quenor {

class CVekParameterList;

class TVizuWareCommandDialogs : public VizuCommandDialogs {
public:
    // The dialogs are children of parent (centred on it when shown).
    explicit TVizuWareCommandDialogs(QWidget* parent = nullptr);
    ~TVizuWareCommandDialogs() override;

    bool HasDialog(std::uint8_t id) const override;
    bool Execute(std::uint8_t id, bool load, std::vector<std::uint8_t>& cells, std::string& remark) override;

    // What the module/motor kind sets: the registers offered (writable for
    // set register, readable for register conditions), the zero search and
    // set mode choices and the setup layout by kind, the output count.
    void SetRegisterList(CVekParameterList* list);
    void SetMotorKind(int kind);
    void SetOutputCount(int kind);
    // True when the program is "Absolute and relative"; the move dialog offers
    // "&Absolute" only then.
    void SetAbsRelQuery(std::function<bool()> query);

    // The program setup dialog (program menu): shows the options, true and
    // the new options on OK.
    bool ExecuteSetup(ProgramSetupOptions& options);

    // How a dialog is shown modally; tests replace it. Returns the dialog's result.
    std::function<int(QDialog&)> runDialog;

    TVizuWareInput& Input()
    {
        return *input_;
    }
    TVizuWareOutput& Output()
    {
        return *output_;
    }
    TVizuWareMove& Move()
    {
        return *move_;
    }
    TVizuWareSetReg& SetReg()
    {
        return *setReg_;
    }
    TVizuWareRegister& Register()
    {
        return *register_;
    }
    TVizuWarePosition& Position()
    {
        return *position_;
    }
    TVizuWareZeroSearch& ZeroSearch()
    {
        return *zeroSearch_;
    }
    TVizuWareSetMode& SetMode()
    {
        return *setMode_;
    }
    TVizuWareWaitTime& WaitTime()
    {
        return *waitTime_;
    }
    TVizuWareComment& Comment()
    {
        return *comment_;
    }
    TVizuWareSetup& Setup()
    {
        return *setup_;
    }
    TVizuWareFastVEK& FastVEK()
    {
        return *fastVEK_;
    }
    TVizuWareBinaryCommand& BinaryCommand()
    {
        return *binary_;
    }

private:
    bool Run(QDialog& dialog);

    std::function<bool()> absRel_;

    QPointer<TVizuWareInput> input_;
    QPointer<TVizuWareOutput> output_;
    QPointer<TVizuWareMove> move_;
    QPointer<TVizuWareSetReg> setReg_;
    QPointer<TVizuWareRegister> register_;
    QPointer<TVizuWarePosition> position_;
    QPointer<TVizuWareZeroSearch> zeroSearch_;
    QPointer<TVizuWareSetMode> setMode_;
    QPointer<TVizuWareWaitTime> waitTime_;
    QPointer<TVizuWareComment> comment_;
    QPointer<TVizuWareSetup> setup_;
    QPointer<TVizuWareFastVEK> fastVEK_;
    QPointer<TVizuWareBinaryCommand> binary_;
};

}  // namespace quenor
