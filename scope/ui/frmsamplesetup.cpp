#include "scope/ui/frmsamplesetup.h"

#include "platform/cp1252.h"
#include "platform/settings.h"
#include "scope/ui/scopecolors.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quenor {

namespace {

std::string Text(const QComboBox* c) { return ToCp1252(c->currentText()); }
std::string Text(const QLineEdit* e) { return ToCp1252(e->text()); }

}  // namespace

TfrmSampleSetup::TfrmSampleSetup(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Sample setup"));
    showError = [this](const QString& text) { QMessageBox::critical(this, QStringLiteral("Error"), text); };
    chooseColor = [this](const QColor& initial) -> std::optional<QColor> {
        const QColor c = QColorDialog::getColor(initial, this);
        if (!c.isValid())
            return std::nullopt;
        return c;
    };

    // Channels.
    auto* gbChannels = new QGroupBox(QStringLiteral("Channels"), this);
    auto* chGrid = new QGridLayout(gbChannels);
    for (int i = 0; i < kSampleChannels; ++i) {
        auto* combo = new QComboBox(gbChannels);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);  // a typed number means that register, not a longer entry
        combo->setMinimumWidth(260);
        combo->setMaxVisibleItems(20);
        auto* color = new QPushButton(QStringLiteral("Color..."), gbChannels);
        chGrid->addWidget(new QLabel(QStringLiteral("Channel %1").arg(i + 1), gbChannels), i, 0);
        chGrid->addWidget(combo, i, 1);
        chGrid->addWidget(color, i, 2);
        cbChannel_[static_cast<std::size_t>(i)] = combo;
        btnColor_[static_cast<std::size_t>(i)] = color;
        connect(color, &QPushButton::clicked, this, [this, i] { ChooseChannelColor(i); });
    }

    // Sample count and trigger point.
    auto* gbSamples = new QGroupBox(QStringLiteral("Samples"), this);
    auto* sGrid = new QGridLayout(gbSamples);
    udSampleTime_ = new QSpinBox(gbSamples);
    udSampleTime_->setMinimum(1);  // no run of zero samples
    sbTrigPoint_ = new QScrollBar(Qt::Horizontal, gbSamples);
    sbTrigPoint_->setRange(0, kTrigPointMax);
    sbTrigPoint_->setMinimumWidth(160);
    lblTotalSampleTime_ = new QLabel(gbSamples);
    lblTrigBefore_ = new QLabel(gbSamples);
    lblTrigAfter_ = new QLabel(gbSamples);
    sGrid->addWidget(new QLabel(QStringLiteral("Sample count"), gbSamples), 0, 0);
    sGrid->addWidget(udSampleTime_, 0, 1);
    sGrid->addWidget(new QLabel(QStringLiteral("Total time"), gbSamples), 0, 2);
    sGrid->addWidget(lblTotalSampleTime_, 0, 3);
    sGrid->addWidget(new QLabel(QStringLiteral("Trig point"), gbSamples), 1, 0);
    sGrid->addWidget(sbTrigPoint_, 1, 1);
    sGrid->addWidget(new QLabel(QStringLiteral("Time before"), gbSamples), 1, 2);
    sGrid->addWidget(lblTrigBefore_, 1, 3);
    sGrid->addWidget(new QLabel(QStringLiteral("Time after"), gbSamples), 2, 2);
    sGrid->addWidget(lblTrigAfter_, 2, 3);
    connect(udSampleTime_, &QSpinBox::valueChanged, this, [this] { UpdateTimeLabels(); });
    connect(sbTrigPoint_, &QScrollBar::valueChanged, this, [this] { UpdateTimeLabels(); });

    // Trigger kind.
    auto* gbTrig = new QGroupBox(QStringLiteral("Trig type"), this);
    gbTrig->setObjectName(QStringLiteral("gbTrig"));
    auto* tLayout = new QVBoxLayout(gbTrig);
    auto* trigGroup = new QButtonGroup(this);
    for (int i = 0; i < kTriggerTypeCount; ++i) {
        auto* rb = new QRadioButton(QString::fromLatin1(kTriggerTypeCaptions[static_cast<std::size_t>(i)]), gbTrig);
        rb->setObjectName(QStringLiteral("rbTrig%1").arg(i + 1));
        trigGroup->addButton(rb, i);
        tLayout->addWidget(rb);
        rbTrig_[static_cast<std::size_t>(i)] = rb;
        connect(rb, &QRadioButton::toggled, this, [this](bool on) {
            if (on && !loading_)
                UpdateTrigControls();
        });
    }
    rbTrig_[kTriggerModuleInputOutput]->setEnabled(false);  // nothing is built for it

    // Trigger conditions (always enabled, whatever the kind).
    auto* gbCond = new QGroupBox(QStringLiteral("Trig condition"), this);
    auto* cGrid = new QGridLayout(gbCond);
    edDist_ = new QLineEdit(gbCond);
    edMaxDist_ = new QLineEdit(gbCond);
    cbRegister_ = new QComboBox(gbCond);
    cbRegister_->setEditable(true);
    cbRegister_->setInsertPolicy(QComboBox::NoInsert);
    cbRegister_->setCompleter(nullptr);
    cbRegister_->setMinimumWidth(220);
    cbOperator_ = new QComboBox(gbCond);
    for (const char* op : kCompareOperatorTexts)
        cbOperator_->addItem(QString::fromLatin1(op));
    edValue_ = new QLineEdit(gbCond);
    lblUnit_ = new QLabel(gbCond);
    cbEdgeTrigged_ = new QCheckBox(QStringLiteral("Edge trigged"), gbCond);
    cbBitNum_ = new QComboBox(gbCond);
    for (const char* b : kBitItemNames)
        cbBitNum_->addItem(QString::fromLatin1(b));
    auto* bitBox = new QWidget(gbCond);
    auto* bitRow = new QHBoxLayout(bitBox);
    bitRow->setContentsMargins(0, 0, 0, 0);
    rbBitH_ = new QRadioButton(QStringLiteral("High"), bitBox);
    rbBitL_ = new QRadioButton(QStringLiteral("Low"), bitBox);
    bitRow->addWidget(rbBitH_);
    bitRow->addWidget(rbBitL_);
    cGrid->addWidget(new QLabel(QStringLiteral("Distance"), gbCond), 0, 0);
    cGrid->addWidget(edDist_, 0, 1);
    cGrid->addWidget(new QLabel(QStringLiteral("Max distance"), gbCond), 1, 0);
    cGrid->addWidget(edMaxDist_, 1, 1);
    cGrid->addWidget(new QLabel(QStringLiteral("Register"), gbCond), 2, 0);
    cGrid->addWidget(cbRegister_, 2, 1, 1, 3);
    cGrid->addWidget(cbOperator_, 3, 1);
    cGrid->addWidget(edValue_, 3, 2);
    cGrid->addWidget(lblUnit_, 3, 3);
    cGrid->addWidget(cbEdgeTrigged_, 4, 1, 1, 2);
    cGrid->addWidget(new QLabel(QStringLiteral("Bit"), gbCond), 5, 0);
    cGrid->addWidget(cbBitNum_, 5, 1);
    cGrid->addWidget(bitBox, 5, 2, 1, 2);
    connect(cbRegister_, &QComboBox::currentTextChanged, this, [this] { RegisterChanged(); });

    auto* btnOk = new QPushButton(QStringLiteral("&Ok"), this);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &TfrmSampleSetup::accept);

    auto* trigRow = new QHBoxLayout;
    trigRow->addWidget(gbTrig);
    trigRow->addWidget(gbCond, 1);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch();
    okRow->addWidget(btnOk);
    auto* top = new QVBoxLayout(this);
    top->addWidget(gbChannels);
    top->addWidget(gbSamples);
    top->addLayout(trigRow);
    top->addLayout(okRow);

    registers_.SelectMotorKind(0);
    FillChannelLists();
    record_.ApplyFamily(0);
    LoadControls();
}

TfrmSampleSetup::~TfrmSampleSetup()
{
    if (saveAtExit_) {
        // Written with the main window's settings when the program ends.
        Settings settings;
        SaveToRegistry(settings);
    }
}

void TfrmSampleSetup::SetMotorType(int family)
{
    family_ = IsValidSampleFamily(family) ? family : 0;
    registers_.SelectMotorKind(family_);
    FillChannelLists();
    LoadControls();
}

SSampleSettings* TfrmSampleSetup::GetSettings(std::string& error)
{
    error = ReadControls();
    return error.empty() ? &record_ : nullptr;
}

void TfrmSampleSetup::LoadFromRegistry(const Settings& settings)
{
    saveAtExit_ = true;
    if (record_.LoadFromSettings(settings))
        LoadControls();
}

void TfrmSampleSetup::SaveToRegistry(Settings& settings) const { record_.SaveToSettings(settings); }

void TfrmSampleSetup::accept()
{
    const std::string error = ReadControls();
    if (!error.empty()) {
        showError(FromCp1252(error));
        return;
    }
    done(QDialog::Accepted);
}

void TfrmSampleSetup::showEvent(QShowEvent* event)
{
    FillChannelLists();
    LoadControls();
    RegisterChanged();
    QDialog::showEvent(event);
}

void TfrmSampleSetup::FillChannelLists()
{
    QStringList list;
    for (const std::string& e : registers_.GetRegisterList(true))
        list << FromCp1252(e);
    loading_ = true;
    for (QComboBox* c : cbChannel_) {
        c->clear();
        c->addItem(QStringLiteral("None"));
        c->addItems(list);
    }
    cbRegister_->clear();
    cbRegister_->addItems(list);
    loading_ = false;
}

void TfrmSampleSetup::LoadControls()
{
    loading_ = true;
    record_.ApplyFamily(family_);
    const SampleSetupControls c = ControlsFromRecord(record_, family_, registers_);
    rbTrig_[static_cast<std::size_t>(c.triggerType)]->setChecked(true);
    edDist_->setText(QString::fromStdString(c.distance));
    edMaxDist_->setText(QString::fromStdString(c.maxDistance));
    cbEdgeTrigged_->setChecked(c.edgeTriggered);
    for (int i = 0; i < kSampleChannels; ++i) {
        QComboBox* combo = cbChannel_[static_cast<std::size_t>(i)];
        const int at = combo->findText(FromCp1252(c.channels[static_cast<std::size_t>(i)]));
        combo->setCurrentIndex(at);
        if (at < 0)
            combo->setEditText(FromCp1252(c.channels[static_cast<std::size_t>(i)]));
        ShowChannelColor(i);
    }
    const int at = cbRegister_->findText(FromCp1252(c.triggerRegister));
    cbRegister_->setCurrentIndex(at);
    if (at < 0)
        cbRegister_->setEditText(FromCp1252(c.triggerRegister));
    cbOperator_->setCurrentIndex(c.compareOperator);
    edValue_->setText(QString::fromStdString(c.compareValue));
    udSampleTime_->setMaximum(c.maxSampleCount);
    udSampleTime_->setSingleStep(c.countStep);
    udSampleTime_->setValue(c.sampleCount);
    sbTrigPoint_->setValue(c.trigPointPosition);
    cbBitNum_->setCurrentIndex(c.bitItem);
    rbBitH_->setChecked(c.bitHigh);
    rbBitL_->setChecked(!c.bitHigh);
    loading_ = false;
    UpdateTrigControls();
}

SampleSetupControls TfrmSampleSetup::ControlsNow() const
{
    SampleSetupControls c;
    c.triggerType = CheckedTrigger();
    c.distance = Text(edDist_);
    c.maxDistance = Text(edMaxDist_);
    c.edgeTriggered = cbEdgeTrigged_->isChecked();
    for (int i = 0; i < kSampleChannels; ++i)
        c.channels[static_cast<std::size_t>(i)] = Text(cbChannel_[static_cast<std::size_t>(i)]);
    c.triggerRegister = Text(cbRegister_);
    c.compareOperator = cbOperator_->currentIndex();
    c.compareValue = Text(edValue_);
    c.sampleCount = udSampleTime_->value();
    c.trigPointPosition = sbTrigPoint_->value();
    c.bitItem = cbBitNum_->currentIndex();
    c.bitHigh = rbBitH_->isChecked();
    return c;
}

std::string TfrmSampleSetup::ReadControls()
{
    return ReadControlsInto(ControlsNow(), family_, registers_, record_);
}

int TfrmSampleSetup::CheckedTrigger() const
{
    for (int i = 0; i < kTriggerTypeCount; ++i)
        if (rbTrig_[static_cast<std::size_t>(i)]->isChecked())
            return i;
    return kTriggerForwardBackward;
}

void TfrmSampleSetup::UpdateTrigControls()
{
    SampleSetupControls c;
    c.triggerType = CheckedTrigger();
    c.trigPointPosition = sbTrigPoint_->value();
    ApplyTriggerType(c);
    sbTrigPoint_->setValue(c.trigPointPosition);
    sbTrigPoint_->setEnabled(c.trigPointEnabled);
    UpdateTimeLabels();
}

void TfrmSampleSetup::UpdateTimeLabels()
{
    if (loading_)
        return;
    // The count is the family's as soon as it is changed: the dialog closed
    // without "&Ok" keeps it too, and it goes with the record at exit.
    record_.SetSampleCount(family_, udSampleTime_->value());
    record_.ApplyFamily(family_);
    const SampleTimeLabels l = TimeLabels(udSampleTime_->value(), sbTrigPoint_->value(), family_);
    lblTotalSampleTime_->setText(QString::fromStdString(l.total));
    lblTrigBefore_->setText(QString::fromStdString(l.before));
    lblTrigAfter_->setText(QString::fromStdString(l.after));
}

void TfrmSampleSetup::RegisterChanged()
{
    if (loading_)
        return;
    const int reg = ParseListNumber(Text(cbRegister_));
    lblUnit_->setText(FromCp1252(registers_.GetUnitName(reg, 0)));
}

void TfrmSampleSetup::ChooseChannelColor(int i)
{
    SSampleChannel& ch = record_.channels[static_cast<std::size_t>(i)];
    if (const auto chosen = chooseColor(ColorFromRef(ch.Color))) {
        ch.Color = RefFromColor(*chosen);
        ShowChannelColor(i);
    }
}

void TfrmSampleSetup::ShowChannelColor(int i)
{
    QComboBox* combo = cbChannel_[static_cast<std::size_t>(i)];
    QPalette pal = combo->palette();
    pal.setColor(QPalette::Text, ColorFromRef(record_.channels[static_cast<std::size_t>(i)].Color));
    combo->setPalette(pal);
    combo->update();
}

}  // namespace quenor
