#pragma once
// A motor session without windows: the pages are built without widgets and
// the questions are answered by the test. The session runs on a
// QCoreApplication's event loop, against the simulated motor or none.

#include "app/motorsession.h"
#include "params/parameterlists.h"
#include "params/paramfactory.h"
#include "support/qtcore.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quenor::test {

class HeadlessView : public SessionView {
public:
    explicit HeadlessView(MotorSession*& session) : session_(session) {}
    void BuildPages(const ParamTableSet& set) override
    {
        for (const ParamTable* t : {set.main, set.extra, set.status})
            for (int r = 0; r < t->RowCount(); ++r)
                if (auto c = CreateParamControl(session_->ControlTarget(), t->Row(r)))
                    session_->Controls().push_back(std::move(c));
    }
    void ArrangeControls(int mask) override { lastMask = mask; }
    void StatusChanged() override { ++statusChanges; }
    void MotorCommandsChanged(bool connected) override { commandsEnabled = connected; }
    void ProgramPresent(bool present) override { programPresent = present; }
    void TestsAllowedChanged(bool allowed) override { testsAllowed.push_back(allowed); }
    void MotionChanged(const MotorRunValues& motion) override { motionModes.push_back(motion.mode); }
    void MotorInfoChanged(const std::string& text) override { motorInfo.push_back(text); }
    bool ModalWindowOpen() const override { return modalOpen; }
    int lastMask = 0;
    bool modalOpen = false;  // a dialog or box of the window is open
    std::vector<bool> testsAllowed;  // every change of the endurance test's Start, in order
    std::vector<int> motionModes;    // every mode the motion forms were shown, in order
    std::vector<std::string> motorInfo;  // every hint the motor picture was given (empty: none)
    int statusChanges = 0;  // the status panels were told to redraw
    bool commandsEnabled = false;
    bool programPresent = false;

private:
    MotorSession*& session_;
};

class AnsweringVizuUi : public VizuWareUi {
public:
    bool Ask(const std::string& text, const std::string&, Buttons) override
    {
        questions.push_back(text);
        if (whileAsked)
            whileAsked();  // what happens while the question is open
        return answer;
    }
    void Message(const std::string& text, const std::string&) override { messages.push_back(text); }
    std::vector<std::string> questions;
    std::vector<std::string> messages;
    std::function<void()> whileAsked;
    bool answer = true;
};

// Fast waits: a test's motor answers at once or not at all.
inline SessionOptions FastSessionOptions()
{
    SessionOptions o;
    o.timings.idleMs = 20;
    o.timings.connectRetryMs = 20;
    o.timings.afterConnectMs = 20;
    o.timings.rescanMs = 1500;
    return o;
}

struct HeadlessSession {
    explicit HeadlessSession(SessionOptions options = FastSessionOptions(), MainSettings settings = {})
    {
        TestCoreApp();
        session = std::make_unique<MotorSession>(view, ui, settings, options);
        raw = session.get();
    }
    MotorSession* operator->() { return session.get(); }
    MotorSession& operator*() { return *session; }
    CParamControl* Control(const std::string& caption) const
    {
        for (const auto& c : session->Controls())
            if (c->Caption() == caption)
                return c.get();
        return nullptr;
    }

    MotorSession* raw = nullptr;
    HeadlessView view{raw};
    AnsweringVizuUi ui;
    std::unique_ptr<MotorSession> session;
};

}  // namespace quenor::test
