// The session's side of the other forms: the scope's and the module pages'
// requests, the endurance test, and the filter selector's batch of writes.

#include "app/comrequests.h"
#include "app/motorregisters.h"
#include "app/motorsession.h"
#include "app/motortypes.h"
#include "app/testthread.h"
#include "platform/cp1252.h"
#include "platform/qtmessagetarget.h"

namespace quenor {
namespace {

// The scope's requests on the session's link.
class SessionScopeLink : public ScopeLink {
public:
    explicit SessionScopeLink(MotorSession& session) : session_(session) {}
    bool RequestWrite(int address, int reg, std::int32_t value, int width) override
    {
        return session_.RequestWriteTo(address, reg, value, width);
    }
    bool RequestTestMove(MessageTarget* window, std::shared_ptr<SampleRun> run) override
    {
        bool queued = false;
        session_.Guarded([&] { queued = session_.Com().RequestTestMove(window, std::move(run)); });
        return queued;
    }
    bool RequestSampleUpload(MessageTarget* window, std::shared_ptr<TSampleSet> set) override
    {
        bool queued = false;
        session_.Guarded([&] { queued = session_.Com().RequestSampleUpload(window, std::move(set)); });
        return queued;
    }
    std::vector<std::string> SetupLines() override { return session_.BuildSetupLines(); }

private:
    MotorSession& session_;
};

}  // namespace

void MotorSession::CreateFormLinks()
{
    scopeLink_ = std::make_unique<SessionScopeLink>(*this);
    moduleRequests_ = std::make_unique<ComModuleRequests>(*com_, [this] { ReportRingFull(); });
    // The test thread's refused move is told on the GUI thread.
    testThread_ = std::make_unique<TTestThread>(*com_, [this] {
        PostMessage(notify_.get(), UM_PARAMERROR, +ParamNotice::RequestsRefused, 0);
    });
}

void MotorSession::SuspendLink(bool sendStop) { com_->SuspendLink(sendStop); }

void MotorSession::ResumeLink(bool sendResume)
{
    try {
        com_->ResumeLink(sendResume);
    } catch (const TSerErr& e) {
        const std::string text = e.detail.empty() ? e.text : e.text + " (" + e.detail + ")";
        prompts.error(FromCp1252(text), QStringLiteral("Error"));
    }
}

bool MotorSession::RequestWrite(int reg, std::int32_t value, int width)
{
    return RequestWriteTo(address_, reg, value, width);
}

bool MotorSession::RequestWriteTo(int address, int reg, std::int32_t value, int width)
{
    bool queued = false;
    Guarded([&] { queued = Write(reg, value, width, address); });
    return queued;
}

void MotorSession::SetFilterSelector(FilterSelectorPort* selector)
{
    filter_ = selector;
    TellFilterMotorType();
}

void MotorSession::TellFilterMotorType()
{
    if (!filter_)
        return;
    if (state_.connected && state_.motorTypeUnknown) {
        // The family's first type stands in for the pages only: its filters
        // are not for this motor.
        filter_->SetUnknownMotorType(state_.reportedTypeCode);
        return;
    }
    const int code = state_.motorType;
    filter_->SetMotorType(code - 1, ModelDisplayNumber(code),
                          UsesNewFilters(GenerationOfType(code), state_.connected, state_.firmware));
}

void MotorSession::OnFilterWrite(const Message& m)
{
    const RegisterWrite w = DecodeWriteRegister(m);
    if (!filterBatch_.Add(w))
        OnWriteRegister(m.wParam, static_cast<std::int32_t>(m.lParam));
}

void MotorSession::OnFilterBatch(std::int64_t wParam, const std::string& text)
{
    if (wParam == 0) {
        filterBatch_.Begin();
        return;
    }
    const std::vector<RegisterWrite> writes = filterBatch_.End();
    // The whole batch or nothing: a filter half written is another filter.
    if (!BatchFits(writes.size(), com_->QueueLength(), ComThread::kRingSize - 1)) {
        ReportRingFull();
        return;
    }
    com_->ClearWriteProgress();
    for (const RegisterWrite& w : writes)
        OnWriteRegister(WriteRegisterMessage(w).wParam, w.value);
    com_->StartWriteProgress(text);
}

}  // namespace quenor
