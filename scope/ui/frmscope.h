#pragma once
// The scope view: one tab per sample set, the plot with its scale labels and
// cursor readout, zoom, scrolling, reference, rename, close, copy, save and
// load, and the sample run ("&Start", "&Abort", "Setup..."). It reaches the
// motor only through the ScopeLink the session hands in.

#include "platform/messages.h"
#include "scope/samplingflow.h"
#include "scope/scopelink.h"
#include "scope/sampleset.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;
class QTabBar;
class QTimer;

namespace quenor {

class QtMessageTarget;
class Settings;
class TfrmSampleSetup;
class TfrmTrigStatus;
class ScopePlot;
class ScopeTabBar;

// The questions and messages of the scope; tests replace them.
struct ScopePrompts {
    std::function<void(const QString& text, const QString& caption)> error;    // error box
    std::function<void(const QString& text, const QString& caption)> warning;  // exclamation box
    std::function<void(const QString& text, const QString& caption)> info;     // plain box
    std::function<QString()> saveFileName;  // empty: cancelled
    std::function<QString()> openFileName;  // empty: cancelled
    // The new name, or nothing when cancelled.
    std::function<std::optional<QString>(const QString& current)> rename;
    // The user's decimal separator; empty when it cannot be had.
    std::function<QString()> decimalSeparator;
};

class TfrmScope : public QWidget {
    Q_OBJECT
public:
    explicit TfrmScope(QWidget* parent = nullptr);
    ~TfrmScope() override;

    // The session's requests; without a link "&Start" does nothing.
    void SetLink(ScopeLink* link);
    // The motor values the session passes on whenever they arrive.
    void SetVelocity(std::int32_t v) { motor_.motion.velocity = v; }
    void SetAcceleration(std::int32_t a) { motor_.motion.acceleration = a; }
    void SetSCurve(std::int32_t s) { motor_.motion.sCurve = s; }
    void SetMotorMode(std::int32_t mode) { motor_.mode = mode; }
    // On every change of generation: the family (0..2), also for the setup dialog.
    void SetMotorType(int family);
    // The link went away or restarted: a sample run under way is lost with it.
    void LinkLost();
    // The setting "SampleSetup": read at start; written at exit (also by the
    // setup dialog's destructor once it was read).
    void LoadSampleSetup(const Settings& settings);
    void SaveSampleSetup(Settings& settings) const;

    // The target the sampling jobs post to (delivers on the GUI thread).
    MessageTarget* Window() const;
    void Dispatch(const Message& m);

    ScopePrompts prompts;

    // Actions of the form, public for the session and tests.
    void btnStartClick();
    void btnAbortClick();
    void btnSetupClick();
    void DrawScope();
    void UpdateScaleLabels(bool keepValues);
    void UpdateTabs();
    void SaveSets(const std::shared_ptr<TSampleSet>& only);
    void LoadScopes(const QString& fileName);
    void CopySet(const std::shared_ptr<TSampleSet>& set);
    void SetZoom(int type);
    void SetReference(const std::shared_ptr<TSampleSet>& set);  // nullptr: none
    void RenameSet(int index);
    void CloseSet(int index);
    void ShowCursorAt(int x);

    // State, for the session and tests.
    const std::vector<std::shared_ptr<TSampleSet>>& Sets() const { return sets_; }
    std::shared_ptr<TSampleSet> CurrentSet() const { return current_; }
    std::shared_ptr<TSampleSet> Reference() const { return reference_; }
    TfrmSampleSetup* SetupDialog() const { return setup_; }
    TfrmTrigStatus* TrigStatus() const { return trigStatus_; }
    const QImage& PlotImage() const { return image_; }
    QWidget* Plot() const;
    QPushButton* StartButton() const { return btnStart_; }
    QScrollBar* ScrollBar() const { return sbarX_; }
    QTabBar* Tabs() const;
    QTimer* UpdateTimer() const { return tiUpdateScope_; }
    QLabel* TransDiffLabel() const { return lblTransDiff_; }
    QLabel* TimeLabel() const { return lblTime_; }
    QLabel* TimeUnitLabel() const { return lblTimeUnit_; }
    QLabel* TimeScaleLabel() const { return lblTimeScale_; }
    QLabel* ChannelName(int j) const { return slots_[static_cast<std::size_t>(j)].name; }
    QLabel* ChannelValue(int j) const { return slots_[static_cast<std::size_t>(j)].value; }
    QLabel* ChannelUnit(int j) const { return slots_[static_cast<std::size_t>(j)].unit; }
    QLabel* ChannelScale(int j) const { return slots_[static_cast<std::size_t>(j)].scale; }
    QAction* ChannelItem(int j) const { return miChannel_[static_cast<std::size_t>(j)]; }
    QAction* InfoBoxItem() const { return miShowInfoBox_; }
    QMenu* PlotMenu() const { return pmScope_; }
    QMenu* TabMenu() const { return pmScopeTabs_; }
    QAction* UseRefItem() const { return miUseRef_; }
    // Prepares the menus as their pop-up does (tests look at them afterwards).
    void PreparePlotMenu();
    void PrepareTabMenu(int clickedTab);

private:
    struct Slot {
        QLabel* name = nullptr;
        QLabel* value = nullptr;
        QLabel* unit = nullptr;
        QLabel* scale = nullptr;
    };

    void OnSampleState(int phase, std::int64_t run);
    void OnTransferDone(std::int64_t samples, std::int64_t bytes);
    // The run under way ends: its state box closed, the redraw timer
    // stopped, "&Start" enabled. Never for the end of a run the user aborted.
    void EndRun();
    // The same for a run that made no set, and the user told.
    void EndLostRun(bool moved);
    // Takes away the set of a run whose samples did not all come.
    void DropRunSet(const std::shared_ptr<TSampleSet>& set);
    void TabChanged(int index);
    void PlotResized();
    std::shared_ptr<TSampleSet> ClickedSet() const;
    void DropReferenceLater();
    void WriteFile(const QString& name, const std::vector<std::shared_ptr<TSampleSet>>& sets);
    void BuildMenus();

    ScopeLink* link_ = nullptr;
    std::unique_ptr<QtMessageTarget> messages_;
    std::unique_ptr<SamplingFlow> flow_;
    ScopeMotor motor_;
    std::vector<std::shared_ptr<TSampleSet>> sets_;
    std::vector<std::shared_ptr<TSampleSet>> tabSets_;  // the set of each tab
    std::shared_ptr<TSampleSet> current_;
    std::shared_ptr<TSampleSet> reference_;
    std::weak_ptr<TSampleSet> beforeRun_;  // the set shown when the last run's set came
    int clickedTab_ = -1;
    bool infoBox_ = true;
    bool updatingTabs_ = false;
    QImage image_;

    TfrmSampleSetup* setup_;
    TfrmTrigStatus* trigStatus_;
    ScopePlot* imScope_;
    QScrollBar* sbarX_;
    ScopeTabBar* tcScopes_;
    QTimer* tiUpdateScope_;
    QLabel* lblTransDiff_;
    QLabel* lblTime_;
    QLabel* lblTimeUnit_;
    QLabel* lblTimeScale_;
    std::array<Slot, kSampleChannels> slots_{};
    QPushButton* btnStart_;
    QPushButton* btnAbort_;
    QPushButton* btnSetup_;
    QMenu* pmScope_;
    QMenu* pmScopeTabs_;
    std::array<QAction*, kSampleChannels> miChannel_{};
    QAction* sepBeforeZoom_ = nullptr;
    std::array<QAction*, 3> miZoom_{};
    QAction* sepAfterZoom_ = nullptr;
    QAction* miShowInfoBox_ = nullptr;
    QAction* miUseRef_ = nullptr;
};

}  // namespace quenor
