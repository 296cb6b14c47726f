#include "program/ui/vizuwarecommanddialogs.h"

#include <QDialog>

namespace quenor {

namespace {

// First cell of the command's own parameters: jumps keep their target in 0-1.
constexpr std::size_t kJumpParameters = 2;

}  // namespace

TVizuWareCommandDialogs::TVizuWareCommandDialogs(QWidget* parent)
    : input_(new TVizuWareInput(parent)),
      output_(new TVizuWareOutput(parent)),
      move_(new TVizuWareMove(*output_, *input_, parent)),
      setReg_(new TVizuWareSetReg(parent)),
      register_(new TVizuWareRegister(parent)),
      position_(new TVizuWarePosition(parent)),
      zeroSearch_(new TVizuWareZeroSearch(parent)),
      setMode_(new TVizuWareSetMode(parent)),
      waitTime_(new TVizuWareWaitTime(parent)),
      comment_(new TVizuWareComment(parent)),
      setup_(new TVizuWareSetup(parent)),
      fastVEK_(new TVizuWareFastVEK(parent)),
      binary_(new TVizuWareBinaryCommand(parent))
{
    runDialog = [](QDialog& dialog) { return dialog.exec(); };
    move_->runInput = [this](TVizuWareInput& dialog) { return Run(dialog); };
}

TVizuWareCommandDialogs::~TVizuWareCommandDialogs()
{
    // The output panel may sit in the move dialog; it goes home first.
    if (output_ && move_)
        output_->SetDocked(false);
    delete move_;
    delete input_;
    delete output_;
    delete setReg_;
    delete register_;
    delete position_;
    delete zeroSearch_;
    delete setMode_;
    delete waitTime_;
    delete comment_;
    delete setup_;
    delete fastVEK_;
    delete binary_;
}

bool TVizuWareCommandDialogs::Run(QDialog& dialog)
{
    return runDialog && runDialog(dialog) == QDialog::Accepted;
}

bool TVizuWareCommandDialogs::HasDialog(std::uint8_t id) const
{
    return id >= kCmdConditionalJump && id <= kCmdBinary;
}

bool TVizuWareCommandDialogs::Execute(std::uint8_t id, bool load, std::vector<std::uint8_t>& cells, std::string& remark)
{
    if (!HasDialog(id))
        return false;
    if (id == kCmdRemark) {
        if (load)
            comment_->SetText(remark);
        if (!Run(*comment_))
            return false;
        remark = comment_->Text();
        return true;
    }

    const std::span<const std::uint8_t> in(cells);
    auto from = [&in](std::size_t first) { return in.subspan(std::min(first, in.size())); };
    std::vector<std::uint8_t> block = NewCommandData(id);
    const std::span<std::uint8_t> out(block);
    bool written = false;
    switch (id) {
    case kCmdConditionalJump:
    case kCmdWaitInputs: {
        const std::size_t first = id == kCmdConditionalJump ? kJumpParameters : 0;
        output_->SetDocked(false);
        input_->SetSensorMode(false);
        if (load)
            input_->LoadCondition(from(first));
        if (!Run(*input_))
            return false;
        CellWriter w(block, first);
        written = input_->SaveCondition(w);
        break;
    }
    case kCmdMove:
        move_->isAbsRelProgram = absRel_;
        if (load)
            move_->LoadMove(in);
        move_->Prepare();
        if (!Run(*move_))
            return false;
        written = move_->SaveMove(out);
        break;
    case kCmdSetPosition:
    case kCmdSavePosition:
        position_->SetPositionMode(id == kCmdSetPosition ? 1 : 0);
        if (load)
            position_->LoadData(in);
        if (!Run(*position_))
            return false;
        written = position_->SaveData(out);
        break;
    case kCmdSetOutputs: {
        output_->SetDocked(false);
        if (load)
            output_->LoadOutputDialog(in);
        if (!Run(*output_))
            return false;
        CellWriter w(block);
        written = output_->SaveOutputDialog(w);
        break;
    }
    case kCmdZeroSearch:
        if (load)
            zeroSearch_->LoadData(in);
        if (!Run(*zeroSearch_))
            return false;
        written = zeroSearch_->SaveData(out);
        break;
    case kCmdWait:
        if (load)
            waitTime_->LoadData(in);
        if (!Run(*waitTime_))
            return false;
        written = waitTime_->SaveData(out);
        break;
    case kCmdSetRegister:
        if (load)
            setReg_->LoadData(in);
        if (!Run(*setReg_))
            return false;
        written = setReg_->SaveData(out);
        break;
    case kCmdRegisterJump:
    case kCmdWaitRegister: {
        const std::size_t first = id == kCmdRegisterJump ? kJumpParameters : 0;
        if (load)
            register_->LoadData(from(first));
        if (!Run(*register_))
            return false;
        written = register_->SaveData(out.subspan(first));
        break;
    }
    case kCmdSetMode:
        if (load)
            setMode_->LoadData(in);
        if (!Run(*setMode_))
            return false;
        written = setMode_->SaveData(out);
        break;
    case kCmdFastCommand:
        if (load)
            fastVEK_->DecodeCommand(in);
        if (!Run(*fastVEK_))
            return false;
        written = fastVEK_->EncodeCommand(out);
        break;
    case kCmdBinary:
        if (load)
            binary_->DecodeCode(in);
        if (!Run(*binary_))
            return false;
        written = binary_->EncodeCode(out);
        break;
    default: return false;
    }
    // An accepted dialog has passed its checks; a block that still cannot be
    // written leaves the line alone.
    if (!written)
        return false;
    if (CGraphicProgram::IsJump(id))
        for (std::size_t i = 0; i < kJumpParameters && i < cells.size(); ++i)
            block[i] = cells[i];
    cells = std::move(block);
    return true;
}

void TVizuWareCommandDialogs::SetRegisterList(CVekParameterList* list)
{
    setReg_->SetRegisterList(list);
    register_->SetRegisterList(list);
}

void TVizuWareCommandDialogs::SetMotorKind(int kind)
{
    zeroSearch_->SetMotorKind(kind);
    setMode_->SetMotorKind(kind);
    setup_->SetMotorKind(kind);
}

void TVizuWareCommandDialogs::SetOutputCount(int kind)
{
    output_->SetOutputCount(kind);
}

void TVizuWareCommandDialogs::SetAbsRelQuery(std::function<bool()> query)
{
    absRel_ = std::move(query);
    move_->isAbsRelProgram = absRel_;
}

bool TVizuWareCommandDialogs::ExecuteSetup(ProgramSetupOptions& options)
{
    setup_->SetOptions(options);
    if (!Run(*setup_))
        return false;
    options = setup_->Options();
    return true;
}

}  // namespace quenor
