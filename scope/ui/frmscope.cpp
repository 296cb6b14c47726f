#include "scope/ui/frmscope.h"

#include "app/ui/modalresult.h"
#include "platform/cp1252.h"
#include "platform/qtmessagetarget.h"
#include "platform/settings.h"
#include "scope/scopefile.h"
#include "scope/scopeview.h"
#include "scope/ui/drawscope.h"
#include "scope/ui/frmsamplesetup.h"
#include "scope/ui/frmtrigstatus.h"
#include "scope/ui/scopecolors.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <new>
#include <stdexcept>
#include <unordered_set>

namespace quenor {

namespace {

constexpr int kRedrawMs = 300;
const QString kScopeFilter = QStringLiteral("Scopes (*.VekScopes);;All files (*.*)");

QString Q(const std::string& s) { return FromCp1252(s); }

// Runs work that handles a file's data; an exception it ends with (memory that
// ran out on a large file or set) comes back as its reason, empty when none.
template <class Work>
std::string Failure(Work&& work)
{
    try {
        work();
    } catch (const std::bad_alloc&) {
        return kNoMemoryText;
    } catch (const std::exception& e) {
        const std::string what = e.what();
        return what.empty() ? std::string("Unknown error") : what;
    }
    return {};
}

}  // namespace

// The plot: shows the image that DrawScope painted; reports its size, the
// mouse and its context menu to the form. It never draws anything itself.
class ScopePlot : public QWidget {
public:
    ScopePlot(const QImage& image, QWidget* parent) : QWidget(parent), image_(image)
    {
        setMouseTracking(true);
        setMinimumSize(100, 50);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setContextMenuPolicy(Qt::CustomContextMenu);
    }
    std::function<void()> resized;
    std::function<void(int x)> mouseMoved;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.drawImage(0, 0, image_);
    }
    void resizeEvent(QResizeEvent* e) override
    {
        QWidget::resizeEvent(e);
        if (resized)
            resized();
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (mouseMoved)
            mouseMoved(static_cast<int>(e->position().x()));
    }

private:
    const QImage& image_;
};

// The tabs of the sets. A tab bar lays out all its tabs for every tab added,
// removed or renamed, measuring each through the style: n tabs made one by one
// would be measured n * n / 2 times. Changes made in Batch take a stand-in
// size for every tab, and the tabs are measured once when the batch ends.
class ScopeTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;

    template <class Changes>
    void Batch(Changes&& changes)
    {
        batch_ = true;
        changes();
        batch_ = false;
        // What a change of font does: the tabs measured and laid out anew.
        QEvent remeasure(QEvent::FontChange);
        QTabBar::changeEvent(&remeasure);
    }

protected:
    QSize tabSizeHint(int index) const override { return batch_ ? QSize(1, 1) : QTabBar::tabSizeHint(index); }
    QSize minimumTabSizeHint(int index) const override
    {
        return batch_ ? QSize(1, 1) : QTabBar::minimumTabSizeHint(index);
    }

private:
    bool batch_ = false;
};

TfrmScope::TfrmScope(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("VEK Scope"));
    messages_ = std::make_unique<QtMessageTarget>([this](const Message& m) { Dispatch(m); });

    prompts.error = [this](const QString& text, const QString& caption) {
        QMessageBox::critical(this, caption, text);
    };
    prompts.warning = [this](const QString& text, const QString& caption) {
        QMessageBox::warning(this, caption, text);
    };
    prompts.info = [this](const QString& text, const QString& caption) {
        QMessageBox::information(this, caption, text);
    };
    prompts.saveFileName = [this] {
        QFileDialog d(this);
        d.setAcceptMode(QFileDialog::AcceptSave);
        d.setNameFilter(kScopeFilter);
        d.setDefaultSuffix(QStringLiteral("Scope"));
        return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first() : QString();
    };
    prompts.openFileName = [this] { return QFileDialog::getOpenFileName(this, QString(), QString(), kScopeFilter); };
    prompts.rename = [this](const QString& current) -> std::optional<QString> {
        QInputDialog box(this);
        box.setWindowTitle(QStringLiteral("Sample rename"));
        box.setLabelText(QStringLiteral("Enter a new name for the sample set"));
        box.setTextValue(current);
        // The field holds fewer characters than a name may have: a name that
        // comes back as the field showed it is kept whole.
        const auto* field = box.findChild<QLineEdit*>();
        const QString shown = field ? field->text() : current;
        if (box.exec() != QDialog::Accepted)
            return std::nullopt;
        return box.textValue() == shown ? current : box.textValue();
    };
    prompts.decimalSeparator = [] { return QLocale::system().decimalPoint(); };

    setup_ = new TfrmSampleSetup(this);
    trigStatus_ = new TfrmTrigStatus(this);
    trigStatus_->setWindowModality(Qt::ApplicationModal);
    connect(trigStatus_, &QDialog::finished, this, [this](int result) {
        if (result == kMrAbort)
            btnAbortClick();
    });

    // Top panel: transfer ratio, readout, scales, buttons.
    auto* gbScope = new QGroupBox(QStringLiteral("Scope"), this);
    auto* scopeLayout = new QVBoxLayout(gbScope);
    lblTransDiff_ = new QLabel(gbScope);
    lblTransDiff_->setMinimumWidth(60);
    scopeLayout->addWidget(lblTransDiff_);
    scopeLayout->addStretch();

    auto* gbData = new QGroupBox(QStringLiteral("Sampled data"), this);
    auto* dataGrid = new QGridLayout(gbData);
    auto* gbScale = new QGroupBox(QStringLiteral("Scaling"), this);
    auto* scaleLayout = new QVBoxLayout(gbScale);
    lblTime_ = new QLabel(gbData);
    lblTime_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblTime_->setMinimumWidth(70);
    lblTimeUnit_ = new QLabel(gbData);
    dataGrid->addWidget(new QLabel(QStringLiteral("Time"), gbData), 0, 0);
    dataGrid->addWidget(lblTime_, 0, 1);
    dataGrid->addWidget(lblTimeUnit_, 0, 2);
    lblTimeScale_ = new QLabel(gbScale);
    lblTimeScale_->setMinimumWidth(120);
    scaleLayout->addWidget(lblTimeScale_);
    for (int j = 0; j < kSampleChannels; ++j) {
        Slot& s = slots_[static_cast<std::size_t>(j)];
        s.name = new QLabel(gbData);
        s.value = new QLabel(gbData);
        s.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        s.value->setMinimumWidth(70);
        s.unit = new QLabel(gbData);
        s.scale = new QLabel(gbScale);
        s.scale->setMinimumWidth(120);
        dataGrid->addWidget(s.name, j + 1, 0);
        dataGrid->addWidget(s.value, j + 1, 1);
        dataGrid->addWidget(s.unit, j + 1, 2);
        scaleLayout->addWidget(s.scale);
    }
    dataGrid->setColumnMinimumWidth(0, 120);

    btnStart_ = new QPushButton(QStringLiteral("&Start"), this);
    btnStart_->setDefault(true);
    btnAbort_ = new QPushButton(QStringLiteral("&Abort"), this);
    btnSetup_ = new QPushButton(QStringLiteral("Setup..."), this);
    connect(btnStart_, &QPushButton::clicked, this, &TfrmScope::btnStartClick);
    connect(btnAbort_, &QPushButton::clicked, this, &TfrmScope::btnAbortClick);
    connect(btnSetup_, &QPushButton::clicked, this, &TfrmScope::btnSetupClick);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnStart_);
    buttons->addWidget(btnAbort_);
    buttons->addWidget(btnSetup_);
    buttons->addStretch();

    auto* panel = new QHBoxLayout;
    panel->addWidget(gbScope);
    panel->addWidget(gbData);
    panel->addWidget(gbScale);
    panel->addLayout(buttons);
    panel->addStretch();

    // The tab control: plot, scroll bar, tabs at the bottom.
    imScope_ = new ScopePlot(image_, this);
    imScope_->resized = [this] { PlotResized(); };
    imScope_->mouseMoved = [this](int x) { ShowCursorAt(x); };
    sbarX_ = new QScrollBar(Qt::Horizontal, this);
    sbarX_->setRange(0, 0);
    sbarX_->setEnabled(false);
    connect(sbarX_, &QScrollBar::valueChanged, this, [this] { DrawScope(); });
    tcScopes_ = new ScopeTabBar(this);
    tcScopes_->setShape(QTabBar::RoundedSouth);
    tcScopes_->setExpanding(false);
    tcScopes_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tcScopes_, &QTabBar::currentChanged, this, &TfrmScope::TabChanged);

    auto* top = new QVBoxLayout(this);
    top->addLayout(panel);
    top->addWidget(imScope_, 1);
    top->addWidget(sbarX_);
    top->addWidget(tcScopes_);

    tiUpdateScope_ = new QTimer(this);
    tiUpdateScope_->setInterval(kRedrawMs);
    connect(tiUpdateScope_, &QTimer::timeout, this, [this] {
        DrawScope();
        UpdateScaleLabels(true);
    });

    BuildMenus();
    connect(imScope_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PreparePlotMenu();
        pmScope_->exec(imScope_->mapToGlobal(pos));
    });
    connect(tcScopes_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const int index = tcScopes_->tabAt(pos);
        if (index < 0)
            return;  // no menu outside the tabs
        PrepareTabMenu(index);
        pmScopeTabs_->exec(tcScopes_->mapToGlobal(pos));
    });
    UpdateScaleLabels(false);
}

TfrmScope::~TfrmScope() = default;

void TfrmScope::BuildMenus()
{
    pmScope_ = new QMenu(this);
    for (int j = 0; j < kSampleChannels; ++j) {
        QAction* a = pmScope_->addAction(QStringLiteral("Show channel %1").arg(j + 1));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, j](bool checked) {
            if (current_ && current_->Channel(j)) {
                current_->Channel(j)->visible = checked;
                DrawScope();
            }
        });
        miChannel_[static_cast<std::size_t>(j)] = a;
    }
    sepBeforeZoom_ = pmScope_->addSeparator();
    const char* zoomTexts[] = {"Time: Zoom All", "Time: Zoom X1", "Time: Zoom X5"};
    for (int z = 0; z < 3; ++z) {
        miZoom_[static_cast<std::size_t>(z)] = pmScope_->addAction(QString::fromLatin1(zoomTexts[z]));
        connect(miZoom_[static_cast<std::size_t>(z)], &QAction::triggered, this, [this, z] { SetZoom(z); });
    }
    sepAfterZoom_ = pmScope_->addSeparator();
    miShowInfoBox_ = pmScope_->addAction(QStringLiteral("Information box"));
    miShowInfoBox_->setCheckable(true);
    miShowInfoBox_->setChecked(true);
    connect(miShowInfoBox_, &QAction::triggered, this, [this](bool checked) {
        infoBox_ = checked;
        DrawScope();
    });
    QAction* load = pmScope_->addAction(QStringLiteral("Load scope(s)"));
    connect(load, &QAction::triggered, this, [this] {
        const QString name = prompts.openFileName();
        if (!name.isEmpty())
            LoadScopes(name);
    });

    pmScopeTabs_ = new QMenu(this);
    miUseRef_ = pmScopeTabs_->addAction(QStringLiteral("Use as reference"));
    miUseRef_->setCheckable(true);
    connect(miUseRef_, &QAction::triggered, this, [this] {
        const auto set = ClickedSet();
        SetReference(set && set == reference_ ? nullptr : set);
    });
    connect(pmScopeTabs_->addAction(QStringLiteral("Rename")), &QAction::triggered, this,
            [this] { RenameSet(clickedTab_); });
    connect(pmScopeTabs_->addAction(QStringLiteral("Close")), &QAction::triggered, this,
            [this] { CloseSet(clickedTab_); });
    pmScopeTabs_->addSeparator();
    connect(pmScopeTabs_->addAction(QStringLiteral("Copy")), &QAction::triggered, this, [this] {
        if (const auto set = ClickedSet())
            CopySet(set);
    });
    connect(pmScopeTabs_->addAction(QStringLiteral("Save")), &QAction::triggered, this, [this] {
        if (const auto set = ClickedSet())
            SaveSets(set);
    });
    connect(pmScopeTabs_->addAction(QStringLiteral("Save all")), &QAction::triggered, this,
            [this] { SaveSets(nullptr); });
}

void TfrmScope::SetLink(ScopeLink* link)
{
    link_ = link;
    flow_ = link ? std::make_unique<SamplingFlow>(*link, messages_.get()) : nullptr;
}

void TfrmScope::SetMotorType(int family)
{
    motor_.family = IsValidSampleFamily(family) ? family : 0;
    setup_->SetMotorType(motor_.family);
}

void TfrmScope::LoadSampleSetup(const Settings& settings) { setup_->LoadFromRegistry(settings); }

void TfrmScope::SaveSampleSetup(Settings& settings) const { setup_->SaveToRegistry(settings); }

MessageTarget* TfrmScope::Window() const { return messages_.get(); }

QWidget* TfrmScope::Plot() const { return imScope_; }

QTabBar* TfrmScope::Tabs() const { return tcScopes_; }

void TfrmScope::Dispatch(const Message& m)
{
    switch (m.msg) {
    case UM_SAMPLESTATE:
        OnSampleState(static_cast<int>(m.wParam), m.lParam);
        break;
    case UM_TRANSFERDONE:
        OnTransferDone(m.wParam, m.lParam);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// The sample run.

void TfrmScope::btnSetupClick() { setup_->exec(); }

void TfrmScope::btnStartClick()
{
    if (!flow_ || !btnStart_->isEnabled())
        return;
    std::string error;
    SSampleSettings* record = setup_->GetSettings(error);
    if (!record) {
        prompts.error(Q(error), QStringLiteral("Error"));
        return;
    }
    // The scope holds no more than a scope file may.
    if (const ScopeLimit full = LimitPassed(ContentsOf(sets_), SamplingFlow::RunContents(*record, motor_.family));
        full != ScopeLimit::None) {
        prompts.error(QStringLiteral("Could not start the sample run\nError: ") + Q(ScopeFullText(full)),
                      QStringLiteral("Error"));
        return;
    }
    switch (flow_->Start(*record, motor_)) {
    case SamplingFlow::StartResult::kWrongMode:
        prompts.warning(QString::fromLatin1(kWrongModeText), QString::fromLatin1(kWrongModeCaption));
        return;
    case SamplingFlow::StartResult::kTriggerNotBuilt:
        prompts.warning(QString::fromLatin1(kTriggerNotBuiltText)
                            .arg(QString::fromLatin1(kTriggerTypeCaptions[std::min<std::size_t>(
                                record->triggerType, kTriggerTypeCaptions.size() - 1)])),
                        QString::fromLatin1(kTriggerNotBuiltCaption));
        return;
    case SamplingFlow::StartResult::kNotQueued:
        return;  // the session has told the user; nothing will report back
    case SamplingFlow::StartResult::kStarted:
        break;
    }
    btnStart_->setEnabled(false);
    trigStatus_->SetState(QString::fromLatin1(kStateWaiting));
    trigStatus_->open();
}

void TfrmScope::btnAbortClick()
{
    if (flow_)
        flow_->Abort();
    btnStart_->setEnabled(true);
}

void TfrmScope::OnSampleState(int phase, std::int64_t run)
{
    if (!flow_)
        return;
    const SamplingFlow::PhaseResult r = flow_->OnSampleState(phase, run, imScope_->width());
    if (r.abortedCutOff) {
        // Told at once, over the box of a run started since, which goes on:
        // that run starts from wherever the motor is now.
        prompts.warning(QStringLiteral("A reply of the motor was lost after the move of the sample run you aborted "
                                       "was sent.\nThe aborted run was cut off.\n") +
                            QString::fromLatin1(kMotorMayHaveMovedText),
                        QStringLiteral("Sampling"));
        return;
    }
    if (r.lost)
        return EndLostRun(false);
    if (r.cutOff) {
        EndRun();
        DrawScope();
        prompts.warning(QStringLiteral("A reply of the motor was lost after the sample run's move was sent.\n"
                                       "The run was cut off and made no sample set.\n") +
                            QString::fromLatin1(kMotorMayHaveMovedText),
                        QStringLiteral("Sampling"));
        return;
    }
    if (!r.state.empty())
        trigStatus_->SetState(Q(r.state));
    if (!r.set)
        return;
    beforeRun_ = current_;
    sets_.push_back(r.set);
    current_ = r.set;
    UpdateScaleLabels(false);
    UpdateTabs();
    tiUpdateScope_->start();
}

void TfrmScope::OnTransferDone(std::int64_t samples, std::int64_t bytes)
{
    if (!flow_)
        return;
    const SamplingFlow::TransferResult r = flow_->OnTransferDone(samples, bytes);
    // The upload of a run the user aborted leaves the run started since alone.
    if (r.endsRun)
        EndRun();
    else if (!flow_->Uploading())
        tiUpdateScope_->stop();
    if (r.incomplete)
        DropRunSet(r.incomplete);
    DrawScope();
    UpdateScaleLabels(true);
    lblTransDiff_->setText(Q(r.ratio));
}

void TfrmScope::LinkLost()
{
    if (!flow_)
        return;
    const SamplingFlow::LostRuns lost = flow_->LinkLost();
    if (!lost.any)
        return;
    for (const auto& set : lost.sets)
        DropRunSet(set);
    EndLostRun(lost.moved);
}

void TfrmScope::EndRun()
{
    if (trigStatus_->isVisible())
        trigStatus_->done(kMrOk);
    tiUpdateScope_->stop();
    btnStart_->setEnabled(true);
}

void TfrmScope::EndLostRun(bool moved)
{
    EndRun();
    DrawScope();
    prompts.warning(QStringLiteral("The connection to the motor was lost during the sample run.\n"
                                   "The run made no sample set.") +
                        (moved ? QStringLiteral("\n") + QString::fromLatin1(kMotorMayHaveMovedText) : QString()),
                    QStringLiteral("Sampling"));
}

void TfrmScope::DropRunSet(const std::shared_ptr<TSampleSet>& set)
{
    const auto at = std::find(sets_.begin(), sets_.end(), set);
    if (at == sets_.end())
        return;  // its tab was closed already
    sets_.erase(at);
    if (set == reference_)
        reference_.reset();
    if (set == current_) {
        // The set shown before the run, when it is still there.
        const auto before = beforeRun_.lock();
        current_ = before && std::find(sets_.begin(), sets_.end(), before) != sets_.end()
                       ? before
                       : (sets_.empty() ? nullptr : sets_.back());
    }
    UpdateTabs();
    UpdateScaleLabels(false);
}

// ---------------------------------------------------------------------------
// Drawing and labels.

void TfrmScope::DrawScope()
{
    ScopeDrawInput in;
    in.current = current_.get();
    in.reference = reference_.get();
    in.scrollPosition = sbarX_->value();
    in.infoBox = infoBox_;
    in.family = motor_.family;
    const ScopeDrawResult r = quenor::DrawScope(image_, imScope_->size(), in);
    {
        const QSignalBlocker block(sbarX_);
        sbarX_->setRange(0, r.scrollMaximum);
        sbarX_->setValue(r.scrollPosition);
        sbarX_->setEnabled(r.scrollMaximum > 0);
    }
    if (!current_)
        UpdateScaleLabels(false);
    imScope_->update();
    if (r.referenceDropped) {
        reference_.reset();
        DropReferenceLater();
    }
}

void TfrmScope::DropReferenceLater()
{
    // Told once, after the drawing, outside whatever event caused it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            prompts.info(QStringLiteral("The sampletime of the reference is\n not equal to the the current "
                                        "sampletime\nThe reference has been disabled"),
                         QStringLiteral("Wrong sampletime"));
        },
        Qt::QueuedConnection);
}

void TfrmScope::UpdateScaleLabels(bool keepValues)
{
    if (!current_) {
        lblTimeScale_->clear();
        lblTime_->clear();
        for (Slot& s : slots_) {
            s.name->clear();
            s.scale->clear();
            s.value->clear();
        }
        return;
    }
    lblTimeScale_->setText(Q(TimeScaleText(*current_)));
    for (int j = 0; j < kSampleChannels; ++j) {
        Slot& s = slots_[static_cast<std::size_t>(j)];
        const SChannelData* ch = current_->Channel(j);
        if (!ch) {
            s.name->clear();
            s.value->clear();
            s.unit->clear();
            s.scale->clear();
            continue;
        }
        s.name->setText(Q(ch->name));
        s.scale->setText(Q(ChannelScaleText(*ch)));
        if (!keepValues)
            s.value->clear();
        const QString style = QStringLiteral("color: %1").arg(ColorFromRef(ch->Color).name());
        for (QLabel* l : {s.name, s.value, s.unit, s.scale})
            l->setStyleSheet(style);
    }
}

void TfrmScope::ShowCursorAt(int x)
{
    if (!current_)
        return;
    const auto r = ReadoutAt(*current_, x);
    if (!r)
        return;  // beyond the last sample: the readout stays
    lblTimeUnit_->setText(QStringLiteral("ms"));
    lblTime_->setText(Q(r->time));
    for (int j = 0; j < current_->ChannelCount() && j < kSampleChannels; ++j) {
        Slot& s = slots_[static_cast<std::size_t>(j)];
        if (r->values[static_cast<std::size_t>(j)])
            s.value->setText(Q(*r->values[static_cast<std::size_t>(j)]));
        s.unit->setText(Q(r->units[static_cast<std::size_t>(j)]));
    }
}

void TfrmScope::PlotResized()
{
    DrawScope();
    UpdateScaleLabels(true);
}

void TfrmScope::SetZoom(int type)
{
    if (!current_)
        return;
    current_->SetZoomType(type, imScope_->width());
    DrawScope();
    UpdateScaleLabels(true);
}

// ---------------------------------------------------------------------------
// Tabs and their menu.

void TfrmScope::UpdateTabs()
{
    // Sets are appended, closed and renamed: only the tabs of those change.
    updatingTabs_ = true;
    tcScopes_->Batch([this] {
        const std::unordered_set<std::shared_ptr<TSampleSet>> kept(sets_.begin(), sets_.end());
        for (std::size_t i = tabSets_.size(); i-- > 0;) {
            if (!kept.contains(tabSets_[i])) {
                tcScopes_->removeTab(static_cast<int>(i));
                tabSets_.erase(tabSets_.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        int selected = -1;
        for (std::size_t i = 0; i < sets_.size(); ++i) {
            const QString text = Q(TabCaption(sets_[i]->name));
            if (i == tabSets_.size() || tabSets_[i] != sets_[i]) {
                tcScopes_->insertTab(static_cast<int>(i), text);
                tabSets_.insert(tabSets_.begin() + static_cast<std::ptrdiff_t>(i), sets_[i]);
            } else if (tcScopes_->tabText(static_cast<int>(i)) != text) {
                tcScopes_->setTabText(static_cast<int>(i), text);
            }
            if (sets_[i] == current_)
                selected = static_cast<int>(i);
        }
        tcScopes_->setCurrentIndex(selected);
    });
    updatingTabs_ = false;
}

void TfrmScope::TabChanged(int index)
{
    if (updatingTabs_ || index < 0 || index >= static_cast<int>(sets_.size()))
        return;
    current_ = sets_[static_cast<std::size_t>(index)];
    DrawScope();
    UpdateScaleLabels(false);
}

std::shared_ptr<TSampleSet> TfrmScope::ClickedSet() const
{
    if (clickedTab_ < 0 || clickedTab_ >= static_cast<int>(sets_.size()))
        return nullptr;
    return sets_[static_cast<std::size_t>(clickedTab_)];
}

void TfrmScope::PreparePlotMenu()
{
    const bool has = current_ != nullptr;
    for (QAction* a : miZoom_)
        a->setVisible(has);
    sepAfterZoom_->setVisible(has);
    sepBeforeZoom_->setVisible(has && current_->ChannelCount() > 0);
    for (int j = 0; j < kSampleChannels; ++j) {
        QAction* a = miChannel_[static_cast<std::size_t>(j)];
        const SChannelData* ch = has ? current_->Channel(j) : nullptr;
        a->setVisible(ch != nullptr);
        if (ch) {
            a->setText(QStringLiteral("Show ") + Q(ch->name));
            a->setChecked(ch->visible);
        }
    }
}

void TfrmScope::PrepareTabMenu(int clickedTab)
{
    clickedTab_ = clickedTab;
    const auto set = ClickedSet();
    miUseRef_->setChecked(set && set == reference_);
}

void TfrmScope::SetReference(const std::shared_ptr<TSampleSet>& set)
{
    reference_ = set;
    DrawScope();
}

void TfrmScope::RenameSet(int index)
{
    if (index < 0 || index >= static_cast<int>(sets_.size()))
        return;
    TSampleSet& set = *sets_[static_cast<std::size_t>(index)];
    if (const auto name = prompts.rename(Q(set.name))) {
        set.name = ToCp1252(*name);
        UpdateTabs();
    }
}

void TfrmScope::CloseSet(int index)
{
    if (index < 0 || index >= static_cast<int>(sets_.size()))
        return;
    const std::shared_ptr<TSampleSet> set = sets_[static_cast<std::size_t>(index)];
    sets_.erase(sets_.begin() + index);
    if (set == reference_)
        reference_.reset();
    if (set == current_)
        current_ = sets_.empty() ? nullptr : sets_.front();
    clickedTab_ = -1;
    UpdateTabs();
    DrawScope();
    UpdateScaleLabels(false);
    // A running upload keeps its own hold on the set until it ends.
}

// ---------------------------------------------------------------------------
// Files and clipboard.

void TfrmScope::SaveSets(const std::shared_ptr<TSampleSet>& only)
{
    const QString name = prompts.saveFileName();
    if (name.isEmpty())
        return;
    WriteFile(name, only ? std::vector<std::shared_ptr<TSampleSet>>{only} : sets_);
}

void TfrmScope::WriteFile(const QString& name, const std::vector<std::shared_ptr<TSampleSet>>& sets)
{
    const std::string failure = Failure([&] {
        std::string reason;
        if (!SaveScopeFile(QFile::encodeName(name).toStdString(), sets, &reason))
            throw std::runtime_error(reason);
    });
    if (!failure.empty())
        prompts.error(Q(SaveErrorText(failure)), QStringLiteral("Error"));
}

void TfrmScope::LoadScopes(const QString& fileName)
{
    ScopeFileRead read;
    const std::string failure =
        Failure([&] { read = ReadScopeFile(QFile::encodeName(fileName).toStdString(), ContentsOf(sets_)); });
    if (!failure.empty()) {  // nothing was read
        prompts.error(Q(LoadErrorText(failure)), QStringLiteral("Error"));
        return;
    }
    if (read.limit != ScopeLimit::None && !sets_.empty()) {
        // With the sets held the scope would pass what a file may hold: the
        // file's sets stay out, the scope's stay as they are.
        prompts.error(Q(LoadErrorText(ScopeFullText(read.limit))), QStringLiteral("Error"));
        return;
    }
    for (const auto& set : read.sets)
        sets_.push_back(set);
    if (!read.sets.empty())
        current_ = read.sets.back();
    UpdateTabs();
    DrawScope();
    UpdateScaleLabels(false);
    if (!read.error.empty())
        prompts.error(Q(LoadErrorText(read.error)), QStringLiteral("Error"));
}

void TfrmScope::CopySet(const std::shared_ptr<TSampleSet>& set)
{
    const QString separator = prompts.decimalSeparator();
    if (separator.isEmpty()) {
        prompts.error(QStringLiteral("Could not load decimal saperator"), QStringLiteral("Error"));
        return;
    }
    const QChar c = separator.at(0);
    const char sep = c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '.';
    const std::string failure = Failure([&] { QGuiApplication::clipboard()->setText(Q(ClipboardText(*set, sep))); });
    if (!failure.empty())
        prompts.error(Q(failure), QStringLiteral("Error"));  // nothing is copied
}

}  // namespace quenor
