// The main window's message protocol: what the communication thread and the
// controls report, and what the window makes of it.

#include "app/motorinfo.h"
#include "app/motortypes.h"
#include "app/statustext.h"
#include "app/ui/quenormain.h"
#include "app/ui/statuspanelwidget.h"
#include "platform/cp1252.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTabWidget>

#include <cstring>

namespace quenor {

void TfrmQuenor::HandleMessage(const Message& m)
{
    if (closing_)
        return;
    Guarded([&] { Dispatch(m); });
}

void TfrmQuenor::ReportRingFull()
{
    statusBar_.ShowError("RError: Too many requests waiting for the motor");
    SyncStatusTimers();
    panels_[0]->update();
}

void TfrmQuenor::Dispatch(const Message& m)
{
    switch (m.msg) {
    case UM_CONTROLCHANGED:
        // A change posted by a control of pages that have been rebuilt since
        // would write the new pages' value: it is dropped.
        if (m.data.size() == sizeof(pagesSerial_)) {
            std::uint32_t serial = 0;
            std::memcpy(&serial, m.data.data(), sizeof serial);
            if (serial != pagesSerial_)
                break;
        }
        OnControlChanged(static_cast<int>(m.wParam), static_cast<int>(m.lParam));
        break;
    case UM_PARAMERROR:
        OnParameterError(static_cast<int>(m.wParam), m.lParam, m.hasText ? m.text : std::to_string(m.lParam));
        break;
    case UM_REGISTERVALUE:
        OnRegisterValue(static_cast<int>(m.wParam), static_cast<std::int32_t>(m.lParam));
        break;
    case UM_LINKSTATE:
        OnLinkState(static_cast<int>(m.wParam), m.lParam);
        break;
    case UM_BINDCONTROL:
        // Binds are taken while the control is built (ControlTarget).
        break;
    case UM_ADDPOLL: {
        const int reg = static_cast<int>(m.wParam & 0xFFFF);
        const int width = static_cast<int>((m.wParam >> 16) & 0xFFFF);
        if (reg < 256)
            com_->RequestRead(address_, reg, true, width);
        break;
    }
    case UM_READREGISTER: {
        const int reg = static_cast<int>(m.wParam & 0xFFFF);
        if (reg < 256)
            com_->RequestRead(address_, reg, false, static_cast<int>(m.lParam & 0xFFFF));
        break;
    }
    case UM_MODULESETUP:
        OnModuleSetup(m);
        break;
    case UM_PROGRESS:
        OnProgress(static_cast<int>(m.wParam), m.text);
        break;
    case UM_REGISTERBLOCK:
        OnRegisterBlock(m.data);
        break;
    case UM_OPENFILE:
        OnOpenFileRequest(QString::fromUtf8(m.text.data(), static_cast<qsizetype>(m.text.size())));  // a path, UTF-8
        break;
    case UM_WRITEREGISTER:
        OnWriteRegister(m.wParam, static_cast<std::int32_t>(m.lParam));
        break;
    case UM_BATCHSTATUS:
        OnBatchStatus(m.wParam, m.text);
        break;
    default:
        // The module pages, the program editor and the setup files take their
        // messages when they are added.
        break;
    }
}

void TfrmQuenor::OnParameterError(int code, std::int64_t lParam, const std::string& text)
{
    switch (code) {
    case 0:
        UpdateWarnings();
        return;
    case 4:
        state_.portError = true;
        state_.baudUnsupported = lParam == 2;
        UpdateStatusText();
        statusBar_.StartErrorClear();
        break;
    case 5:
        state_.portError = false;
        UpdateStatusText();
        statusBar_.StartErrorClear();
        break;
    default:
        // Every other code shows its text (none for a code without one).
        statusBar_.ShowError(ParameterErrorText(code, text));
        break;
    }
    SyncStatusTimers();
    panels_[0]->update();
}

void TfrmQuenor::OnLinkState(int linkState, std::int64_t value)
{
    switch (linkState) {
    case 2: {
        SetFileCaption(QStringLiteral("Noname"));
        // The family bits: 0 family 0, 1 family 2, 2 family 1, 3 no change.
        const int bits = static_cast<int>((value >> 14) & 3);
        if (bits == 0)
            SetGeneration(0);
        else if (bits == 1)
            SetGeneration(2);
        else if (bits == 2)
            SetGeneration(1);
        ApplyLinkState(state_, 2, value);
        UpdateStatusText();
        const int g = generation_;
        const std::pair<int, int> typeAndSerial[3][2] = {{{153, 2}, {154, 4}}, {{203, 4}, {204, 4}}, {{151, 2}, {152, 4}}};
        for (auto [reg, width] : typeAndSerial[g])
            com_->RequestRead(address_, reg, false, width);
        if (state_.moduleType == kModuleMR || state_.moduleType == kModuleMRP) {
            com_->RequestRead(address_, 3, true, 4);
            for (int reg : {5, 6, 7, 13, 33})
                com_->RequestRead(address_, reg, true, g == 0 ? 2 : 4);
        }
        if (g == 2) {
            com_->RequestRead(address_, 3, true, 4);
            for (int reg : {5, 6, 7, 33})
                com_->RequestRead(address_, reg, true, 2);
        }
        RequestAllRegisters();
        EnableMotorCommands(true);
        DrawMotorPicture();
        break;
    }
    case 1:
        imMotor_->setToolTip(QString());
        ApplyLinkState(state_, 1, value);
        statusBar_.ClearProgress();
        UpdateWarnings();
        UpdateStatusText();
        EnableMotorCommands(false);
        ArrangeControls(ModeToGroupMask(state_.startupMode, state_));
        break;
    case 6:
        imMotor_->setToolTip(QString());
        ApplyLinkState(state_, 6, value);
        UpdateStatusText();
        break;
    case 7:
        statusBar_.ClearProgress();
        ApplyLinkState(state_, 7, value);
        RequestAllRegisters();
        UpdateStatusText();
        break;
    case 8:
        if (ApplyLinkState(state_, 8, value) || state_.connected)
            UpdateStatusText();
        break;
    default:
        break;
    }
}

void TfrmQuenor::OnModuleSetup(const Message& m)
{
    // A copy of the module information block: its first byte is the module type.
    state_.moduleInfo.fill(0);
    const std::size_t n = std::min(m.data.size(), state_.moduleInfo.size());
    std::copy_n(m.data.begin(), n, state_.moduleInfo.begin());
    state_.moduleType = n > 0 && state_.moduleInfo[0] <= kModuleMS ? static_cast<int>(state_.moduleInfo[0]) : 0;
    UpdateWarnings();
}

void TfrmQuenor::OnProgress(int percent, const std::string& text)
{
    statusBar_.SetProgress(percent, text);
    SyncStatusTimers();
    panels_[1]->update();
}

void TfrmQuenor::OnRegisterBlock(const std::vector<std::uint8_t>& block)
{
    // The programmable module's status: its input and output state feed the
    // pseudo registers 256 and 257.
    if (block.size() < 8)
        return;
    const int word = block[6] | (block[7] << 8);
    OnRegisterValue(256, word & 0xFF);
    OnRegisterValue(257, (word >> 12) & 0xF);
}

void TfrmQuenor::OnWriteRegister(std::int64_t wParam, std::int32_t value)
{
    const int reg = static_cast<int>(wParam & 0xFFFF);
    if ((wParam >> 16) & 0xFFFF) {
        com_->RequestWrite(address_, reg, value, 4);
        com_->RequestRead(address_, reg, false, 4);
    } else {
        com_->RequestWrite(address_, reg, value & 0xFFFF, 2);
        com_->RequestRead(address_, reg, false, 2);
    }
}

void TfrmQuenor::OnBatchStatus(std::int64_t wParam, const std::string& text)
{
    if (wParam == 0)
        com_->ClearWriteProgress();
    else
        com_->StartWriteProgress(text);
}

void TfrmQuenor::OnRegisterValue(int reg, std::int32_t v)
{
    if (reg < 0 || reg >= kRegisterSlots)
        return;
    for (CParamControl* c : registerLists_[static_cast<std::size_t>(reg)])
        c->SetValue(v);

    const int g = generation_;
    const StoredValueEffects effects = StoreRegisterValue(state_, reg, v);

    if (reg == 2 && (g == 0 || g == 1)) {
        const int mode = v & 0xFFFF;
        if (mode != state_.currentMode) {
            const int old = state_.currentMode;
            if (old == 12 || old == 13 || old == 14)
                com_->RequestRead(address_, g == 0 ? 162 : 9, false, g == 0 ? 2 : 4);
            state_.currentMode = mode;
            if (g == 1 && mode == 0 && state_.sCurvePending) {
                state_.sCurvePending = false;
                UpdateWarnings();
            }
            com_->RequestRead(address_, 5, false, g == 0 ? 2 : 4);
            com_->RequestRead(address_, 7, false, g == 0 ? 2 : 4);
            com_->RequestRead(address_, 3, false, 4);
        }
    } else if (reg == 2 && g == 2) {
        if (v != state_.currentMode) {
            const int old = state_.currentMode;
            if (old == 12 || old == 13 || old == 14)
                com_->RequestRead(address_, 120, false, 2);
            state_.currentMode = v;
        }
    }

    if ((g == 0 || g == 1) && (reg == 17 || reg == 19)) {
        const int divisor = v == 0 ? 2000 : v;
        if (CParamControl* c = FindControlByRegister(reg == 17 ? 16 : 18))
            c->SetDisplayMode(100.0 / divisor);
    }
    if (g == 0 && reg == 36)
        lastRegister36_ = v;
    if (g == 1 && reg == 156)
        lastRegister156_ = v;
    if (reg == 37)
        ArrangeControls(ModeToGroupMask(v, state_));
    if ((g == 0 && reg == 153) || (g == 1 && reg == 203) || (g == 2 && reg == 151)) {
        const int code = (g == 0 && (v < 1 || v > 100)) ? 3 : v;
        SetMotorType(code);
    }
    if (g == 2 && reg == 160 && (v & 0xFFFF) != restartToken_ && com_->IsQueueEmpty()) {
        // The motor was restarted: read every page again.
        state_.saveInFlashRequired = false;
        state_.sCurvePending = false;
        RequestAllRegisters();
        UpdateStatusText();
    }

    if (effects.displayScales)
        SetFamily1DisplayScales();
    if (effects.motorInfo) {
        const std::string info = MotorInformationText(state_);
        imMotor_->setToolTip(FromCp1252(info).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }
    if (effects.statusText)
        UpdateStatusText();
    if (effects.warnings)
        UpdateWarnings();
}

void TfrmQuenor::SetFamily1DisplayScales()
{
    for (const auto& [reg, factor] : Family1DisplayFactors(state_))
        if (CParamControl* c = FindControlByRegister(reg))
            c->SetDisplayMode(factor);
}

}  // namespace quenor
