// The parameter pages of the main window: building them from the family's
// tables, the register lists, the combined register write and the layout;
// the motor type and generation; the motor and port commands.

#include "app/motortypes.h"
#include "app/ui/quenormain.h"
#include "app/ui/statuspanelwidget.h"
#include "params/parameterlists.h"
#include "params/ui/paramuifactory.h"
#include "platform/cp1252.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMessageBox>
#include <QCoreApplication>
#include <QLabel>
#include <QTabWidget>

namespace quenor {

// ---------------------------------------------------------------------------
// Pages and register lists

void TfrmQuenor::BuildPages(QWidget* parent, const ParamTable& table)
{
    BuildParameterPages(parent, controlTarget_.get(), table, controls_);
}

void TfrmQuenor::ClearRegisterLists()
{
    for (auto& list : registerLists_)
        list.clear();
}

void TfrmQuenor::DeleteParameterControls()
{
    ++pagesSerial_;
    ClearRegisterLists();
    // Controls in array order; a page takes its scroll area with it, so the
    // controls on a page must go before the page itself.
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
        it->reset();
    controls_.clear();
}

CParamControl* TfrmQuenor::FindControlByRegister(int reg) const
{
    for (const auto& c : controls_)
        if (c->Register() == reg)
            return c.get();
    return nullptr;
}

std::int32_t TfrmQuenor::GetControlValueByCaption(const std::string& caption) const
{
    for (const auto& c : controls_)
        if (c->Caption() == caption)
            return c->GetValue();
    return 0;
}

std::pair<std::int32_t, int> TfrmQuenor::CombineRegisterValue(int reg)
{
    int width = 2;
    if (reg < 0 || reg >= kRegisterSlots)
        return {0, width};
    std::uint32_t combined = 0;
    CParamControl* winner = nullptr;
    for (CParamControl* c : registerLists_[static_cast<std::size_t>(reg)]) {
        combined |= static_cast<std::uint32_t>(c->GetValue());
        if (c->TestAndClearChanged())
            winner = c;
        if (c->ValueMask() > 0xFFFF)
            width = 4;
    }
    if (winner)
        combined = (combined & ~winner->ValueMask()) | static_cast<std::uint32_t>(winner->GetValue());
    return {static_cast<std::int32_t>(combined), width};
}

void TfrmQuenor::OnControlChanged(int reg, int modeFlag)
{
    if (reg < 0 || reg >= kRegisterSlots || registerLists_[static_cast<std::size_t>(reg)].empty())
        return;
    const auto [value, width] = CombineRegisterValue(reg);
    com_->RequestWrite(address_, reg, value, width);
    const bool connected = state_.connected;
    switch (generation_) {
    case 0:
        if (reg == 36 && connected && (value & 31) != (lastRegister36_ & 31)) {
            state_.saveInFlashRequired = true;
            UpdateWarnings();
        }
        if (reg == 37) {
            if (connected && state_.firmware < 96 && value >= 20)
                prompts.warning(QStringLiteral("The selected mode requieres firmware version 6.0 or higher"),
                                QStringLiteral("Unsupported mode"));
            if (modeFlag != 0)
                com_->RequestWrite(address_, 2, value, width);
        }
        break;
    case 1:
        if (reg == 39 && connected) {
            state_.saveInFlashRequired = true;
            UpdateWarnings();
        }
        if (reg == 37 && modeFlag != 0)
            com_->RequestWrite(address_, 2, value, width);
        if (reg == 156 && connected && state_.currentMode != 0 && value != lastRegister156_) {
            state_.sCurvePending = true;
            UpdateWarnings();
        }
        break;
    case 2:
        if (reg == 37 && modeFlag != 0)
            com_->RequestWrite(address_, 2, value, width);
        break;
    default:
        break;
    }
}

void TfrmQuenor::ArrangeControls(int mask)
{
    if (closing_ || rebuilding_)
        return;
    if (mask == -1)
        mask = lastMask_;
    lastMask_ = mask;
    setUpdatesEnabled(false);
    ParamPoint p{0, 0};
    for (const auto& c : controls_) {
        const bool columnBreak = c->Kind() == pckBar && c->Register() == 2;
        if ((c->VisibilityMask() & mask) == 0 || (columnBreak && pcParams_->width() < 560)) {
            c->Arrange(false, p);
            continue;
        }
        p.y += 5;
        p = c->Arrange(true, p);
    }
    setUpdatesEnabled(true);
}

void TfrmQuenor::RequestAllRegisters()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // Every register with a control, once, with the width its controls need.
    std::vector<std::pair<int, int>> pageReads;
    for (int reg = 0; reg < 256; ++reg) {
        const auto& list = registerLists_[static_cast<std::size_t>(reg)];
        if (list.empty())
            continue;
        int width = 2;
        for (CParamControl* c : list)
            if (c->ValueMask() >= 0x10000)
                width = 4;
        pageReads.emplace_back(reg, width);
    }
    // The register image goes first so that the reads below are answered from
    // it, and is given up after them. Only when the whole batch fits the ring:
    // a copy that could not be given up would answer every later read.
    const int batch = static_cast<int>(pageReads.size()) + 16;
    const bool image = com_->QueueLength() + batch < ComThread::kRingSize - 1;
    if (image)
        com_->RequestImageRead(generation_ == 1 ? 7 : 3, generation_ == 1 ? 4 : 2);
    if (generation_ == 2) {
        for (auto [reg, width] : {std::pair{154, 4}, {156, 2}, {157, 2}, {165, 2}, {99, 2}, {159, 2}})
            com_->RequestRead(address_, reg, false, width);
        restartToken_ = static_cast<int>(std::rand() % 65534) + 1;
        com_->RequestWrite(address_, 160, restartToken_, 2);
        com_->RequestRead(address_, 160, true, 2);
    }
    com_->RequestRead(address_, 17, false, 2);
    com_->RequestRead(address_, 19, false, 2);
    if (generation_ == 1)
        com_->RequestRead(address_, 155, false, 4);
    else if (generation_ == 0)
        com_->RequestRead(address_, 165, false, 4);
    for (auto [reg, width] : pageReads)
        com_->RequestRead(address_, reg, false, width);
    if (image)
        com_->RequestImageInvalidate();
    UpdateWarnings();
}

// ---------------------------------------------------------------------------
// Motor type and generation

void TfrmQuenor::SetMotorType(int code)
{
    state_.motorType = SelectableMotorType(code);
    if (QAction* a = OfflineAction(state_.motorType))
        a->setChecked(true);
    SetGeneration(GenerationOfType(state_.motorType));
    // The filter selector takes the type here once it exists.
}

void TfrmQuenor::OfflineTypeChosen(int code)
{
    SetMotorType(code);
    PostDefaultRegisters(state_.motorType);
    if (code == 1 || code == 2 || code == 3 || code == 14 || code == 15 || code == 64)
        UpdateStatusText();
}

void TfrmQuenor::PostDefaultRegisters(int code)
{
    for (const auto& [reg, value] : DefaultRegisterSet(generation_, state_.motorType, code))
        PostMessage(notify_.get(), UM_REGISTERVALUE, reg, static_cast<std::int32_t>(value));
}

void TfrmQuenor::SetGeneration(int g)
{
    if (g == generation_ || g < 0 || g > 2)
        return;
    generation_ = g;
    state_.generation = g;
    com_->SetMotorFamily(g);
    com_->SetDefaultPollList();
    vizu_->SetMotorKind(g);
    ClearRegisterLists();

    setUpdatesEnabled(false);
    rebuilding_ = true;
    DeleteParameterControls();
    const int fixedPages = pcParams_->count();
    const ParamTableSet* set = TableSetOfFamily(g);
    try {
        BuildPages(pcParams_, *set->main);
        BuildPages(paTestPos_, *set->extra);
        BuildPages(paView_, *set->status);
    } catch (const std::length_error& e) {
        prompts.error(QString::fromLatin1(e.what()), QStringLiteral("Error"));
    }
    rebuilding_ = false;
    // The new parameter pages first, the fixed pages after them in their old order.
    for (int i = 0; i < fixedPages; ++i)
        pcParams_->tabBar()->moveTab(0, pcParams_->count() - 1);
    pcParams_->setCurrentIndex(0);
    ArrangeControls(1);
    setUpdatesEnabled(true);

    UpdateWarnings();
    PostDefaultRegisters(0);
    DrawMotorPicture();
}

// ---------------------------------------------------------------------------
// Commands

void TfrmQuenor::SelectPort(int index)
{
    if (index < 0 || index >= kPortCount)
        return;
    state_.portIndex = index;
    state_.portError = false;
    com_->SetPortSettings(index + 1, BaudRateOfIndex(state_.baudIndex));
    PortAction(index)->setChecked(true);
}

void TfrmQuenor::SelectBaudRate(int index)
{
    if (index < 0 || index >= kBaudRateCount)
        return;
    state_.baudIndex = index;
    com_->SetPortSettings(state_.portIndex + 1, BaudRateOfIndex(index));
    BaudAction(index)->setChecked(true);
}

void TfrmQuenor::SelectAddress(const QString& text)
{
    if (text == QStringLiteral("All")) {
        address_ = 255;
        com_->Reconnect(255);
        return;
    }
    bool ok = false;
    const int address = text.trimmed().toInt(&ok);
    // 1 to 254 address one motor, 255 all of them; nothing else fits the address byte.
    if (!ok || address < 1 || address > 255) {
        prompts.error(QStringLiteral("'%1' is not a valid address").arg(text), QStringLiteral("Error"));
        tbAddress_->setEditText(address_ == 255 ? QStringLiteral("All") : QString::number(address_));
        return;
    }
    address_ = address;
    com_->Reconnect(address);
}

void TfrmQuenor::ResetPosition()
{
    const int f = state_.firmware;
    auto combined = [this](int reg) { return CombineRegisterValue(reg).first; };
    auto write = [this](int reg, std::int32_t value, int width) { com_->RequestWrite(address_, reg, value, width); };
    switch (generation_) {
    case 0:
        if (f >= 112) {
            write(163, -combined(10), 4);
            write(36, combined(36) | 0x1400, 2);
            write(3, 0, 4);
        } else if (f < 95) {
            write(10, 0, 4);
            write(8, 0, 4);
            write(3, 0, 4);
        } else {
            write(10, 0, 4);
            write(3, 0, 4);
            write(36, combined(36) | 0x400, 4);
        }
        break;
    case 1:
        if (f < 72) {
            write(10, 0, 4);
            write(3, 0, 4);
            write(36, combined(36) | 0x40, 4);
        } else {
            write(4, -combined(10), 4);
            write(36, combined(36) | 0x140, 4);
            write(3, 0, 4);
        }
        break;
    case 2:
        write(144, 0, 4);
        write(24, 119, 2);
        break;
    default:
        break;
    }
}

void TfrmQuenor::SaveInMotor()
{
    const Warnings& w = statusBar_.CurrentWarnings();
    if (w.SaveNeedsConfirmation() && !prompts.confirmWarnings(w))
        return;
    com_->RequestWrite(address_, 3, 0, 4);
    com_->RequestSpecialCommand(address_, 0x56);
}

void TfrmQuenor::ResetMotor()
{
    if (generation_ == 0 && state_.firmware < 80)
        com_->RequestSpecialCommand(address_, 0x55);
    else
        com_->RequestSpecialCommand(address_, 0x54);
    com_->RequestSpecialCommand(address_, 0x57);
}

void TfrmQuenor::LoadDefault()
{
    if (generation_ == 0 && state_.firmware < 80) {
        prompts.warning(QStringLiteral("This features requires firmware version 5.0 or higher"), QStringLiteral("Error"));
        return;
    }
    if (!prompts.askOkCancel(QStringLiteral("Attension: The defaults will be saved in flash and the motor reset\n"
                                            "Any adjusted parameter will be lost"),
                             QStringLiteral("Warning")))
        return;
    com_->RequestSpecialCommand(address_, 0x54);
    com_->RequestSpecialCommand(address_, 0x100);
}

void TfrmQuenor::ClearErrors()
{
    std::int32_t v = 0;
    if (generation_ == 0)
        v = static_cast<std::int32_t>(state_.statusWord & 0x600);
    if ((generation_ == 0 || generation_ == 1) && (state_.statusWord & 0x80)) {
        if (prompts.askYesNo(
                QStringLiteral("A position limit error has occured\nDo you want to temporaly disable the position limit "
                               "function ?\nThe position limit function will be reenabled when the motor is moved "
                               "whitin the limits"),
                QStringLiteral("Position limit error")))
            v |= 0x4000;
    }
    com_->RequestWrite(address_, 35, v, generation_ == 1 ? 4 : 2);
    if (generation_ == 2)
        com_->RequestWrite(address_, 36, 0, 2);
}

}  // namespace quenor
