// The session's message protocol, parameter controls, motor type and
// generation, link settings and motor commands.

#include "app/motorsession.h"

#include "app/moduleblocks.h"
#include "app/motorinfo.h"
#include "app/motorregisters.h"
#include "app/motortypes.h"
#include "app/testthread.h"
#include "params/parameterlists.h"
#include "platform/comports.h"
#include "platform/cp1252.h"
#include "platform/qtmessagetarget.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace quenor {

// A bind is taken at once, while the control is being built, so that a bind
// can never reach the lists after its control is gone (the pages may be
// rebuilt before the message loop runs again); everything else travels the
// ordinary road of posted messages. The controls live on the GUI thread, and
// so does this target: it is not for other threads.
class MotorSession::BindingTarget : public MessageTarget {
public:
    explicit BindingTarget(MotorSession& session) : session_(session) {}
    void Post(Message m) override
    {
        if (m.msg == UM_BINDCONTROL) {
            const int reg = static_cast<int>(m.wParam);
            if (reg >= 0 && reg < kRegisterSlots)
                session_.registerLists_[static_cast<std::size_t>(reg)].push_back(
                    reinterpret_cast<CParamControl*>(static_cast<std::intptr_t>(m.lParam)));
            return;
        }
        if (m.msg == UM_CONTROLCHANGED) {
            // Stamped with the pages it came from.
            m.data.resize(sizeof(session_.pagesSerial_));
            std::memcpy(m.data.data(), &session_.pagesSerial_, sizeof(session_.pagesSerial_));
            m.hasData = true;
        }
        session_.notify_->Post(std::move(m));
    }

private:
    MotorSession& session_;
};

MotorSession::MotorSession(SessionView& view, VizuWareUi& vizuUi, const MainSettings& settings, SessionOptions options)
    : view_(view), options_(std::move(options)), recentFiles_(settings.recentFiles)
{
    notify_ = std::make_unique<QtMessageTarget>([this](const Message& m) { HandleMessage(m); });
    controlTarget_ = std::make_unique<BindingTarget>(*this);
    vizu_ = std::make_unique<CVizuWareDocument>(vizuUi);
    vizu_->SetLogPath(TVizuCode::DefaultLogPath());
    vizu_->SetOnCommand([this](int command, int a, int b) { return OnProgramCommand(command, a, b); });
    runControl_ = std::make_unique<CVizuRunControl>(*vizu_, vizuUi);
    state_.portIndex = settings.portIndex;
    state_.baudIndex = settings.baudIndex;
    com_ = std::make_unique<ComThread>(notify_.get(), settings.comOptions, options_.timings);
    // The window shows no motor until the link's connected notice arrives.
    com_->ShowConnection(0);
    address_ = 255;
    com_->Reconnect(255);
    com_->SetPortSettings(state_.portIndex + 1, BaudRateOfIndex(state_.baudIndex));
    CreateFormLinks();
    fileName_ = QStringLiteral("Noname");
}

MotorSession::~MotorSession()
{
    Shutdown();
    DeleteParameterControls();
}

void MotorSession::Shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    testThread_->Terminate();
    // The link sends a motor that a sample run moved out back first; it
    // gives up on that by itself when the motor does not answer.
    while (MotorMoveUnderWayMs() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    com_->Terminate();
    com_->StopThread(2000);
}

void MotorSession::Start(int lastGeneration, const QString& fileName)
{
    SetGeneration(lastGeneration >= 0 && lastGeneration <= 2 ? lastGeneration : 0);
    view_.MotorCommandsChanged(false);
    PostDefaultRegisters(0);
    SetMotorType(DefaultOfflineType(generation_));
    PostDefaultRegisters(state_.motorType);
    UpdateStatusText();
    if (options_.startCommunication)
        com_->Start();
    if (!fileName.isEmpty())
        RequestOpenFile(fileName);
}

MessageTarget* MotorSession::Notify() { return notify_.get(); }
MessageTarget* MotorSession::ControlTarget() { return controlTarget_.get(); }

void MotorSession::RequestOpenFile(const QString& name)
{
    PostText(notify_.get(), UM_OPENFILE, 0, 0, name.toUtf8().toStdString());
}

// ---------------------------------------------------------------------------
// Messages

void MotorSession::HandleMessage(const Message& m)
{
    if (shutDown_)
        return;
    // A handler may wait inside (a box, a question): a message delivered
    // meanwhile is nested in it.
    struct Depth {
        MotorSession& s;
        explicit Depth(MotorSession& session) : s(session) { ++s.dispatchDepth_; }
        ~Depth()
        {
            if (--s.dispatchDepth_ == 0 && s.openDeferred_) {
                s.openDeferred_ = false;
                s.OpenWaitingFilesLater();
            }
        }
    } depth(*this);
    Guarded([&] { Dispatch(m); });
}

bool MotorSession::StartTests()
{
    if (!testsAllowed_)
        return false;
    testThread_->Start();
    return true;
}

void MotorSession::HaltTests()
{
    testThread_->Stop();
    view_.TestsStopped();
}

void MotorSession::UpdateTestsAllowed()
{
    // Family 2 has no endurance test, and without a motor there is nothing
    // to test: a test started then would move the motor the moment it came back.
    const bool allowed = state_.connected && !state_.reconnecting && (generation_ == 0 || generation_ == 1) &&
                         state_.currentMode == 2;
    if (!allowed && testThread_->Running())
        HaltTests();
    if (allowed != testsAllowed_) {
        testsAllowed_ = allowed;
        view_.TestsAllowedChanged(allowed);
    }
}

void MotorSession::ReportRingFull()
{
    statusBar_.ShowError("RError: Too many requests waiting for the motor");
    view_.WarningsChanged();
}

void MotorSession::Dispatch(const Message& m)
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
        if (m.wParam == +ParamNotice::LinkError) {
            // The device and the reason of a port that did not open.
            state_.portErrorDetail = m.hasText ? m.text : std::string();
            state_.portFault = m.hasData && m.data.size() == 1 ? static_cast<PortFault>(m.data[0]) : PortFault::None;
        }
        OnParameterError(static_cast<int>(m.wParam), m.lParam, m.hasText ? m.text : std::to_string(m.lParam));
        break;
    case UM_REGISTERVALUE:
        OnRegisterValue(static_cast<int>(m.wParam), static_cast<std::int32_t>(m.lParam));
        break;
    case UM_LINKSTATE:
        OnLinkState(static_cast<int>(m.wParam), m.lParam, ConnectionNumberOf(m));
        break;
    case UM_BINDCONTROL:
        // Binds are taken while the control is built (BindingTarget).
        break;
    case UM_ADDPOLL: {
        const int reg = static_cast<int>(m.wParam & 0xFFFF);
        const int width = static_cast<int>((m.wParam >> 16) & 0xFFFF);
        if (reg < 256)
            Read(reg, true, width);
        break;
    }
    case UM_READREGISTER: {
        const int reg = static_cast<int>(m.wParam & 0xFFFF);
        if (reg < 256)
            Read(reg, false, static_cast<int>(m.lParam & 0xFFFF));
        break;
    }
    case UM_MODULESETUP:
        OnModuleSetup(m);
        view_.ModuleMessage(m);
        break;
    case UM_PROFISTATUS:
    case UM_MODULEIO:
    case UM_CANOPENDEBUG:
    case UM_MODULEDEBUG:
    case UM_DEVICENETSTATUS:
        view_.ModuleMessage(m);
        break;
    case UM_PROGRESS:
        OnProgress(static_cast<int>(m.wParam), m.text);
        break;
    case UM_REGISTERBLOCK:
        OnRegisterBlock(m.data);
        break;
    case UM_OPENFILE: {
        const QString path = QString::fromUtf8(m.text.data(), static_cast<qsizetype>(m.text.size()));  // UTF-8
        if (!m.hasText)
            openPosted_ = false;
        if (dispatchDepth_ > 1) {
            // Delivered inside another handler's wait: the file opens from
            // the event loop once that handler has ended, never in its middle.
            if (m.hasText && !windowClosing_)
                filesWaiting_.push_back(path);
            openDeferred_ = true;
        } else if (m.hasText) {
            OnOpenFileRequest(path);
        } else {
            OpenWaitingFiles();
        }
        break;
    }
    case UM_WRITEREGISTER:
        OnFilterWrite(m);
        break;
    case UM_BATCHSTATUS:
        OnFilterBatch(m.wParam, m.text);
        break;
    case UM_PROGRAMUPLOADED:
        OnProgramUploaded(m);
        break;
    case UM_STOPPROGRAM:
        com_->RequestProgramControl(2, 0, 0);
        break;
    case UM_SETOUTPUT:
        OnSetOutput(m.wParam, m.lParam);
        break;
    default:
        break;
    }
}

void MotorSession::OnParameterError(int code, std::int64_t lParam, const std::string& text)
{
    switch (static_cast<ParamNotice>(code)) {
    case ParamNotice::Accepted:
        UpdateWarnings();
        return;
    case ParamNotice::LinkError:
        state_.portError = true;
        state_.baudUnsupported = lParam == 2;
        UpdateStatusText();
        statusBar_.StartErrorClear();
        break;
    case ParamNotice::RequestsRefused:
        ReportRingFull();
        return;
    case ParamNotice::CommandUnconfirmed:
        prompts.warning(QStringLiteral("The module did not confirm the command \"%1\".\n"
                                       "It was not sent again: the program may be running.\n"
                                       "Look at the program's state before you give the command again.")
                            .arg(lParam == 4 ? QStringLiteral("Single Step") : QStringLiteral("Start")),
                        QStringLiteral("Program"));
        return;
    case ParamNotice::Reconnecting:
        state_.portError = false;
        UpdateStatusText();
        statusBar_.StartErrorClear();
        break;
    default:
        // Every other code shows its text (none for a code without one).
        statusBar_.ShowError(ParameterErrorText(code, text));
        break;
    }
    view_.WarningsChanged();
}

void MotorSession::OnLinkState(int linkState, std::int64_t value, std::uint32_t connection)
{
    const bool typeWasUnknown = state_.motorTypeUnknown;
    const bool changes = linkState == +LinkNotice::Connected || linkState == +LinkNotice::Lost ||
                         linkState == +LinkNotice::RescanStarted;
    if (changes)
        ++linkChanges_;
    // What the window does from now on goes to the motor it shows, or to none:
    // nothing made while it showed none reaches the motor that came meanwhile.
    if (linkState == +LinkNotice::Connected || linkState == +LinkNotice::Reconnected)
        com_->ShowConnection(connection);
    else if (linkState == +LinkNotice::Lost || linkState == +LinkNotice::RescanStarted)
        com_->ShowConnection(0);
    // A mode shown before (an offline echo, the motor of the last connection)
    // is not the motor's: what may move it waits for the mode it reports.
    // Before anything below that may wait (a box), so that a mode reported
    // meanwhile stays.
    if (changes && motion_.mode != kModeUnknown) {
        motion_.mode = kModeUnknown;
        view_.MotionChanged(motion_);
    }
    switch (static_cast<LinkNotice>(linkState)) {
    case LinkNotice::Connected: {
        SetFileName(QStringLiteral("Noname"));
        // The family bits: 0 family 0, 1 family 2, 2 family 1, 3 no change.
        const int bits = static_cast<int>((value >> 14) & 3);
        if (bits == 0)
            SetGeneration(0);
        else if (bits == 1)
            SetGeneration(2);
        else if (bits == 2)
            SetGeneration(1);
        state_.portError = false;
        ApplyLinkState(state_, linkState, value);
        UpdateStatusText();
        const int g = generation_;
        const std::pair<int, int> typeAndSerial[3][2] = {{{regs::f0::MOTOR_TYPE, 2}, {regs::f0::SERIAL_NUMBER, 4}},
                                                         {{regs::f1::MOTOR_TYPE, 4}, {regs::f1::SERIAL_NUMBER, 4}},
                                                         {{regs::f2::MOTOR_TYPE, 2}, {regs::f2::SERIAL_NUMBER, 4}}};
        for (auto [reg, width] : typeAndSerial[g])
            Read(reg, false, width);
        if (state_.moduleType == kModuleMR || state_.moduleType == kModuleMRP) {
            Read(regs::P_SOLL, true, 4);
            for (int reg : {regs::V_SOLL, regs::A_SOLL, regs::T_SOLL, regs::KVOUT, regs::OUTLOC})
                Read(reg, true, g == 0 ? 2 : 4);
        }
        if (g == 2) {
            Read(regs::P_SOLL, true, 4);
            for (int reg : {regs::V_SOLL, regs::A_SOLL, regs::T_SOLL, regs::OUTLOC})
                Read(reg, true, 2);
        }
        RequestAllRegisters();
        break;
    }
    case LinkNotice::Lost:
        HaltTests();
        if (filter_)
            filter_->SetProgramRunning(false);
        view_.MotorInfoChanged({});
        ApplyLinkState(state_, linkState, value);
        statusBar_.ClearProgress();
        UpdateWarnings();
        UpdateStatusText();
        view_.MotorCommandsChanged(false);
        ArrangeControls(ModeToGroupMask(state_.startupMode, state_));
        // The window shows the lost link before a box lists what a load did not write.
        EndPendingLoad(true);
        view_.LinkLost();
        break;
    case LinkNotice::RescanStarted:
        HaltTests();
        view_.MotorInfoChanged({});
        ApplyLinkState(state_, linkState, value);
        UpdateStatusText();
        EndPendingLoad(true);
        view_.LinkLost();
        break;
    case LinkNotice::Reconnected:
        statusBar_.ClearProgress();
        ApplyLinkState(state_, linkState, value);
        RequestAllRegisters();
        UpdateStatusText();
        break;
    case LinkNotice::ErrorCount:
        if (ApplyLinkState(state_, linkState, value) || state_.connected)
            UpdateStatusText();
        break;
    default:
        break;
    }
    // The motor of unknown type is gone: the selector serves the type selected.
    if (typeWasUnknown && !state_.motorTypeUnknown)
        TellFilterMotorType();
    // The boxes above may have let the link change again meanwhile: the
    // motor commands follow the link as it is now.
    if (changes)
        view_.MotorCommandsChanged(state_.connected);
    // The endurance test needs a motor that answers, in position mode.
    UpdateTestsAllowed();
}

void MotorSession::OnModuleSetup(const Message& m)
{
    // A copy of the module information block: its first byte is the module type.
    state_.moduleInfo.fill(0);
    const std::size_t n = std::min(m.data.size(), state_.moduleInfo.size());
    std::copy_n(m.data.begin(), n, state_.moduleInfo.begin());
    state_.moduleType = n > 0 && state_.moduleInfo[0] <= kModuleMS ? static_cast<int>(state_.moduleInfo[0]) : 0;
    // The module's bootloader version (Profibus: bytes 3 to 6, programmable
    // module: byte 6). A module whose block holds none has none shown: the
    // version of a module found before is not this one's.
    state_.moduleBootloader = DecodeModuleSetup(m.data).bootloaderVersion.value_or(0);
    if (state_.moduleType == kModuleMRP)
        vizu_->SetModuleInfo(m.data);
    UpdateWarnings();
    // The motor information keeps what it knew across a lost link; the module
    // part is new.
    view_.MotorInfoChanged(MotorInformationText(state_));
}

void MotorSession::OnProgress(int percent, const std::string& text)
{
    statusBar_.SetProgress(percent, text);
    // The load's own writes tell whether it is done: a write batch begun
    // meanwhile (a filter) counts others.
    if (percent >= 100 && text == "Transfering" && !PendingLoadUnderWay())
        EndPendingLoad(false);
    view_.ProgressChanged();
}

void MotorSession::OnRegisterBlock(const std::vector<std::uint8_t>& block)
{
    // The programmable module's status: its input and output state feed the
    // pseudo registers.
    runControl_->ShowModuleStatus(block);
    view_.ModuleStatusChanged();
    if (filter_ && !block.empty())
        filter_->SetProgramRunning(block[0] != 0);
    if (block.size() < 8)
        return;
    const int word = block[6] | (block[7] << 8);
    OnRegisterValue(regs::MODULE_INPUTS, word & 0xFF);
    OnRegisterValue(regs::MODULE_OUTPUTS, (word >> 12) & 0xF);
}

void MotorSession::OnWriteRegister(std::int64_t wParam, std::int32_t value)
{
    const int reg = static_cast<int>(wParam & 0xFFFF);
    const bool wide = ((wParam >> 16) & 0xFFFF) != 0;
    if (Write(reg, wide ? value : (value & 0xFFFF), wide ? 4 : 2))
        Read(reg, false, wide ? 4 : 2);
}

void MotorSession::OnBatchStatus(std::int64_t wParam, const std::string& text)
{
    if (wParam == 0)
        com_->ClearWriteProgress();
    else
        com_->StartWriteProgress(text);
}

void MotorSession::OnRegisterValue(int reg, std::int32_t v)
{
    if (reg < 0 || reg >= kRegisterSlots)
        return;
    motorValues_[static_cast<std::size_t>(reg)] = v;
    motorValueKnown_[static_cast<std::size_t>(reg)] = true;
    for (CParamControl* c : registerLists_[static_cast<std::size_t>(reg)])
        c->SetValue(v);

    const int g = generation_;
    const StoredValueEffects effects = StoreRegisterValue(state_, reg, v);

    if (reg == regs::MODE_REG && (g == 0 || g == 1)) {
        const int mode = v & 0xFFFF;
        if (mode != state_.currentMode) {
            const int old = state_.currentMode;
            if (old == 12 || old == 13 || old == 14)
                Read(g == 0 ? regs::f0::ZERO_SEARCH_POS : regs::f1::ZERO_SEARCH_POS, false, g == 0 ? 2 : 4);
            state_.currentMode = mode;
            if (g == 1 && mode == 0 && state_.sCurvePending) {
                state_.sCurvePending = false;
                UpdateWarnings();
            }
            Read(regs::V_SOLL, false, g == 0 ? 2 : 4);
            Read(regs::T_SOLL, false, g == 0 ? 2 : 4);
            Read(regs::P_SOLL, false, 4);
            UpdateTestsAllowed();
        }
    } else if (reg == regs::MODE_REG && g == 2) {
        if (v != state_.currentMode) {
            const int old = state_.currentMode;
            if (old == 12 || old == 13 || old == 14)
                Read(regs::f2::ZERO_SEARCH_POS, false, 2);
            state_.currentMode = v;
        }
    }

    // What other forms follow.
    const MotorRunValues motionBefore = motion_;
    if (reg == regs::MODE_REG)
        motion_.mode = g == 2 ? v : (v & 0xFFFF);
    else if ((g == 0 || g == 1) && reg == regs::V_SOLL)
        motion_.velocity = g == 0 ? (v & 0xFFFF) : v;  // family 1's registers are 32 bits wide
    else if ((g == 0 || g == 1) && reg == regs::A_SOLL)
        motion_.acceleration = g == 0 ? (v & 0xFFFF) : v;
    else if (g == 1 && reg == regs::f1::S_CURVE)
        motion_.sCurve = v;
    if (motion_.mode != motionBefore.mode || motion_.velocity != motionBefore.velocity ||
        motion_.acceleration != motionBefore.acceleration || motion_.sCurve != motionBefore.sCurve) {
        view_.MotionChanged(motion_);
        if (filter_ && motion_.mode != motionBefore.mode && (g == 0 || g == 1))
            filter_->SetMode(motion_.mode);
    }
    if ((g == 0 && reg == regs::f0::ZERO_SEARCH_POS) || (g == 1 && reg == regs::f1::ZERO_SEARCH_POS) ||
        (g == 2 && reg == regs::f2::ZERO_SEARCH_POS))
        view_.ZeroPositionChanged(v);
    if (filter_ && ((g == 0 && reg == regs::f0::FILTER_CHOICE) || (g == 1 && reg == regs::f1::FILTER_CHOICE)))
        PostMessage(filter_->Inbox(), UM_FILTERCHOICE, static_cast<std::uint32_t>(v), 0);

    if ((g == 0 || g == 1) && (reg == regs::I2TLIM || reg == regs::UIT)) {
        const int divisor = v == 0 ? 2000 : v;
        if (CParamControl* c = FindControlByRegister(reg == regs::I2TLIM ? regs::I2T : regs::TRQ))
            c->SetDisplayMode(100.0 / divisor);
    }
    if (g == 0 && reg == regs::SETUP_BITS)
        lastRegister36_ = v;
    if (g == 1 && reg == regs::f1::S_CURVE)
        lastRegister156_ = v;
    if (reg == regs::STARTMODE)
        ArrangeControls(ModeToGroupMask(v, state_));
    if ((g == 0 && reg == regs::f0::MOTOR_TYPE) || (g == 1 && reg == regs::f1::MOTOR_TYPE) ||
        (g == 2 && reg == regs::f2::MOTOR_TYPE)) {
        if (state_.connected) {
            // The motor's family is that of its register 1: a code that is no
            // type of it must not switch the pages (and the registers they
            // read and write) to another family.
            const ReportedMotorType type = MotorTypeOfFamily(g, v);
            state_.motorTypeUnknown = !type.known;
            state_.reportedTypeCode = v;
            SetMotorType(type.type);
            UpdateStatusText();
        } else {
            SetMotorType((g == 0 && (v < 1 || v > 100)) ? 3 : v);
        }
    }
    if (g == 2 && reg == regs::f2::RESTART_TOKEN && (v & 0xFFFF) != restartToken_ && com_->IsQueueEmpty()) {
        // The motor was restarted: read every page again.
        state_.saveInFlashRequired = false;
        state_.sCurvePending = false;
        RequestAllRegisters();
        UpdateStatusText();
    }

    if (effects.displayScales)
        SetFamily1DisplayScales();
    if (effects.motorInfo)
        view_.MotorInfoChanged(MotorInformationText(state_));
    if (effects.statusText)
        UpdateStatusText();
    if (effects.warnings)
        UpdateWarnings();
}

void MotorSession::SetFamily1DisplayScales()
{
    for (const auto& [reg, factor] : Family1DisplayFactors(state_))
        if (CParamControl* c = FindControlByRegister(reg))
            c->SetDisplayMode(factor);
}

// ---------------------------------------------------------------------------
// Requests

bool MotorSession::Write(int reg, std::int32_t value, int width, int address, std::uint64_t* ticket)
{
    if (ticket)
        *ticket = 0;
    if (!state_.connected) {
        // Offline pages: the display follows the user, and nothing goes to
        // the link, which may already serve a motor the window has not shown.
        PostMessage(notify_.get(), UM_REGISTERVALUE, reg, value);
        return true;
    }
    if (const std::uint64_t t = com_->RequestWriteIfLinked(address, reg, value, width)) {
        if (ticket)
            *ticket = t;
        return true;
    }
    writeRefused_ = true;
    // Shown as connected while the link is down (its loss is on its way):
    // the change did not go out, so it is not shown as made.
    if (reg >= 0 && reg < kRegisterSlots && motorValueKnown_[static_cast<std::size_t>(reg)])
        for (CParamControl* c : registerLists_[static_cast<std::size_t>(reg)])
            c->SetValue(motorValues_[static_cast<std::size_t>(reg)]);
    statusBar_.ShowError("RError: The motor does not answer; the change was not sent");
    view_.WarningsChanged();
    return false;
}

void MotorSession::Read(int reg, bool poll, int width)
{
    com_->RequestRead(address_, reg, poll, width);
}

// ---------------------------------------------------------------------------
// Parameter controls

void MotorSession::DeleteParameterControls()
{
    ++pagesSerial_;
    for (auto& list : registerLists_)
        list.clear();
    // Controls in array order; a page takes its scroll area with it, so the
    // controls on a page must go before the page itself.
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
        it->reset();
    controls_.clear();
}

CParamControl* MotorSession::FindControlByRegister(int reg) const
{
    for (const auto& c : controls_)
        if (c->Register() == reg)
            return c.get();
    return nullptr;
}

std::int32_t MotorSession::GetControlValueByCaption(const std::string& caption) const
{
    for (const auto& c : controls_)
        if (c->Caption() == caption)
            return c->GetValue();
    return 0;
}

std::pair<std::int32_t, int> MotorSession::CombineRegisterValue(int reg)
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

std::int32_t MotorSession::CombinedValue(int reg) const
{
    if (reg < 0 || reg >= kRegisterSlots)
        return 0;
    std::uint32_t combined = 0;
    const CParamControl* winner = nullptr;
    for (const CParamControl* c : registerLists_[static_cast<std::size_t>(reg)]) {
        combined |= static_cast<std::uint32_t>(c->GetValue());
        if (c->Changed())
            winner = c;
    }
    if (winner)
        combined = (combined & ~winner->ValueMask()) | static_cast<std::uint32_t>(winner->GetValue());
    return static_cast<std::int32_t>(combined);
}

void MotorSession::OnControlChanged(int reg, int modeFlag)
{
    ChangeRegister(reg, modeFlag, nullptr);
}

void MotorSession::ChangeRegister(int reg, int modeFlag, std::uint64_t* ticket)
{
    if (reg < 0 || reg >= kRegisterSlots || registerLists_[static_cast<std::size_t>(reg)].empty())
        return;
    const auto [value, width] = CombineRegisterValue(reg);
    if (!Write(reg, value, width, address_, ticket))
        return;
    const bool connected = state_.connected;
    const bool alsoMode = reg == regs::STARTMODE && modeFlag != 0;
    switch (generation_) {
    case 0:
        if (reg == regs::SETUP_BITS && connected && (value & 31) != (lastRegister36_ & 31)) {
            state_.saveInFlashRequired = true;
            UpdateWarnings();
        }
        if (reg == regs::STARTMODE && connected && state_.firmware < 96 && value >= 20)
            prompts.warning(QStringLiteral("The selected mode requieres firmware version 6.0 or higher"),
                            QStringLiteral("Unsupported mode"));
        break;
    case 1:
        if (reg == regs::f1::SETUP_FLASH && connected) {
            state_.saveInFlashRequired = true;
            UpdateWarnings();
        }
        if (reg == regs::f1::S_CURVE && connected && state_.currentMode != 0 && value != lastRegister156_) {
            state_.sCurvePending = true;
            UpdateWarnings();
        }
        break;
    default:
        break;
    }
    if (alsoMode)
        Write(regs::MODE_REG, value, width);
}

void MotorSession::ArrangeControls(int mask)
{
    if (shutDown_ || rebuilding_)
        return;
    if (mask == -1)
        mask = lastMask_;
    lastMask_ = mask;
    view_.ArrangeControls(mask);
}

void MotorSession::SetViewHidden(bool on)
{
    state_.viewHidden = on;
    UpdateStatusText();
}

void MotorSession::RequestAllRegisters()
{
    // The controls are bound as they are built, so nothing posted needs to
    // arrive first; and no message is delivered inside a link-state handler.
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
        using namespace regs::f2;
        for (auto [reg, width] : {std::pair{HW_VERSION, 4}, {BOOT_VERSION, 2}, {MAX_BUS_VOLTAGE, 2},
                                  {OPTION_BITS, 2}, {ENCODER_BITS, 2}, {FW_CHECKSUM, 2}})
            Read(reg, false, width);
        restartToken_ = static_cast<int>(std::rand() % 65534) + 1;
        com_->RequestWrite(address_, RESTART_TOKEN, restartToken_, 2);
        Read(RESTART_TOKEN, true, 2);
    }
    Read(regs::I2TLIM, false, 2);
    Read(regs::UIT, false, 2);
    if (generation_ == 1)
        Read(regs::f1::FILTER_CHOICE, false, 4);
    else if (generation_ == 0)
        Read(regs::f0::FILTER_CHOICE, false, 4);
    for (auto [reg, width] : pageReads)
        Read(reg, false, width);
    if (image)
        com_->RequestImageInvalidate();
    UpdateWarnings();
}

// ---------------------------------------------------------------------------
// Motor type and generation

void MotorSession::SetMotorType(int code)
{
    state_.motorType = SelectableMotorType(code);
    view_.MotorTypeChanged(state_.motorType);
    SetGeneration(GenerationOfType(state_.motorType));
    TellFilterMotorType();
}

void MotorSession::OfflineTypeChosen(int code)
{
    SetMotorType(code);
    PostDefaultRegisters(state_.motorType);
    if (code == 1 || code == 2 || code == 3 || code == 14 || code == 15 || code == 64)
        UpdateStatusText();
}

void MotorSession::PostDefaultRegisters(int code)
{
    for (const auto& [reg, value] : DefaultRegisterSet(generation_, state_.motorType, code))
        PostMessage(notify_.get(), UM_REGISTERVALUE, reg, static_cast<std::int32_t>(value));
}

void MotorSession::SetGeneration(int g)
{
    if (g == generation_ || g < 0 || g > 2)
        return;
    generation_ = g;
    state_.generation = g;
    com_->SetMotorFamily(g);
    com_->SetDefaultPollList();
    vizu_->SetMotorKind(g);
    motorValueKnown_.fill(false);

    rebuilding_ = true;
    DeleteParameterControls();
    try {
        view_.BuildPages(*TableSetOfFamily(g));
    } catch (const std::length_error& e) {
        prompts.error(QString::fromLatin1(e.what()), QStringLiteral("Error"));
    }
    rebuilding_ = false;
    ArrangeControls(1);

    UpdateWarnings();
    PostDefaultRegisters(0);
    UpdateTestsAllowed();
    view_.GenerationChanged(g);
    view_.StatusChanged();
}

// ---------------------------------------------------------------------------
// Status

void MotorSession::UpdateStatusText()
{
    statusBar_.UpdateStatusText(state_);
    view_.StatusChanged();
}

void MotorSession::UpdateWarnings()
{
    if (shutDown_)
        return;
    statusBar_.UpdateWarnings(state_, GetControlValueByCaption("I/O Type"),
                              [this](std::string_view t) { return view_.TextWidth(t); }, view_.Panel0Width());
    view_.WarningsChanged();
}

void MotorSession::ErrorClearTick()
{
    statusBar_.ErrorClearTimer(state_, GetControlValueByCaption("I/O Type"),
                               [this](std::string_view t) { return view_.TextWidth(t); }, view_.Panel0Width());
    view_.WarningsChanged();
}

// ---------------------------------------------------------------------------
// Link settings

std::vector<MotorSession::PortMenuItem> MotorSession::PortMenu() const
{
    const std::map<int, ComPortEntry> ports = ComPortMap::Instance().Ports();
    std::vector<PortMenuItem> items;
    for (int n = 1; n <= kPortCount; ++n) {
        const auto it = ports.find(n);
        const ComPortEntry e = it != ports.end() ? it->second : ComPortEntry{};
        const std::string& shown = e.adapter.empty() ? e.device : e.adapter;
        std::error_code ec;
        const bool present = e.source == ComSource::Adapter ||
                             (e.source != ComSource::Free && std::filesystem::exists(e.device, ec));
        items.push_back({QStringLiteral("Comport %1\t%2").arg(n).arg(QString::fromLocal8Bit(shown.c_str())), present});
    }
    return items;
}

void MotorSession::SelectPort(int index)
{
    if (index < 0 || index >= kPortCount)
        return;
    ComPortMap::Instance().Remember(index + 1);
    state_.portIndex = index;
    state_.portError = false;
    com_->SetPortSettings(index + 1, BaudRateOfIndex(state_.baudIndex));
}

void MotorSession::SelectBaudRate(int index)
{
    if (index < 0 || index >= kBaudRateCount)
        return;
    state_.baudIndex = index;
    com_->SetPortSettings(state_.portIndex + 1, BaudRateOfIndex(index));
}

bool MotorSession::SelectAddress(const QString& text)
{
    if (text == QStringLiteral("All")) {
        address_ = 255;
        com_->Reconnect(255);
        return true;
    }
    bool ok = false;
    const int address = text.trimmed().toInt(&ok);
    // 1 to 254 address one motor, 255 all of them; nothing else fits the address byte.
    if (!ok || address < 1 || address > 255) {
        prompts.error(QStringLiteral("'%1' is not a valid address").arg(text), QStringLiteral("Error"));
        return false;
    }
    address_ = address;
    com_->Reconnect(address);
    return true;
}

// ---------------------------------------------------------------------------
// Motor commands

void MotorSession::ResetPosition()
{
    const int f = state_.firmware;
    auto combined = [this](int reg) { return CombineRegisterValue(reg).first; };
    auto write = [this](int reg, std::int32_t value, int width) { Write(reg, value, width); };
    switch (generation_) {
    case 0:
        if (f >= 112) {
            write(regs::f0::P_OFFSET, -combined(regs::P_IST), 4);
            write(regs::SETUP_BITS, combined(regs::SETUP_BITS) | 0x1400, 2);
            write(regs::P_SOLL, 0, 4);
        } else if (f < 95) {
            write(regs::P_IST, 0, 4);
            write(regs::P_FNC, 0, 4);
            write(regs::P_SOLL, 0, 4);
        } else {
            write(regs::P_IST, 0, 4);
            write(regs::P_SOLL, 0, 4);
            write(regs::SETUP_BITS, combined(regs::SETUP_BITS) | 0x400, 4);
        }
        break;
    case 1:
        if (f < 72) {
            write(regs::P_IST, 0, 4);
            write(regs::P_SOLL, 0, 4);
            write(regs::SETUP_BITS, combined(regs::SETUP_BITS) | 0x40, 4);
        } else {
            write(regs::f1::P_NEW, -combined(regs::P_IST), 4);
            write(regs::SETUP_BITS, combined(regs::SETUP_BITS) | 0x140, 4);
            write(regs::P_SOLL, 0, 4);
        }
        break;
    case 2:
        write(regs::f2::P_ENCODER, 0, 4);
        write(regs::f2::COMMAND, regs::f2::CMD_RESET_POSITION, 2);
        break;
    default:
        break;
    }
}

void MotorSession::SaveInMotor()
{
    const Warnings& w = statusBar_.CurrentWarnings();
    if (w.SaveNeedsConfirmation() && !prompts.confirmWarnings(w))
        return;
    if (Write(regs::P_SOLL, 0, 4))
        com_->RequestSpecialCommand(address_, 0x56);
}

void MotorSession::ResetMotor()
{
    if (generation_ == 0 && state_.firmware < 80)
        com_->RequestSpecialCommand(address_, 0x55);
    else
        com_->RequestSpecialCommand(address_, 0x54);
    com_->RequestSpecialCommand(address_, 0x57);
}

void MotorSession::LoadDefault()
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

void MotorSession::ClearErrors()
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
    if (Write(regs::ERR_STAT, v, generation_ == 1 ? 4 : 2) && generation_ == 2)
        Write(regs::SETUP_BITS, 0, 2);
}

}  // namespace quenor
