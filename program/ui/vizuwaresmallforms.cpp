#include "program/ui/vizuwaresmallforms.h"

#include "platform/cp1252.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quenor {

namespace {

QStringList ToList(const std::vector<std::string>& items)
{
    QStringList list;
    for (const std::string& item : items)
        list << QString::fromStdString(item);
    return list;
}

// The dialog's layout: the given rows, then OK and Cancel.
QVBoxLayout* DialogLayout(QDialog* dialog)
{
    auto* layout = new QVBoxLayout(dialog);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return layout;
}

QHBoxLayout* LabelledRow(QWidget* parent, const QString& label, QWidget* control, const QString& unit = QString())
{
    auto* row = new QHBoxLayout;
    auto* caption = new QLabel(label, parent);
    caption->setBuddy(control);
    row->addWidget(caption);
    row->addWidget(control);
    if (!unit.isEmpty())
        row->addWidget(new QLabel(unit, parent));
    return row;
}

void FocusChecked(TRadioGroup* group)
{
    if (QRadioButton* b = group->Checked())
        b->setFocus(Qt::OtherFocusReason);
}

}  // namespace

// --- Position ------------------------------------------------------------------

TVizuWarePosition::TVizuWarePosition(QWidget* parent)
    : TCommandDialog(parent)
{
    setObjectName(QStringLiteral("VizuWarePosition"));
    position_ = new QComboBox(this);
    position_->setObjectName(QStringLiteral("Position"));
    position_->setMaxVisibleItems(4);
    position_->setMinimumContentsLength(12);
    position_->addItems({QStringLiteral("Register 1"), QStringLiteral("Register 2"), QStringLiteral("Register 3")});
    countLabel_ = new QLabel(QStringLiteral("Counts"), this);
    auto* layout = DialogLayout(this);
    QHBoxLayout* row = LabelledRow(this, QStringLiteral("Position"), position_);
    row->addWidget(countLabel_);
    layout->addLayout(row);
    layout->addWidget(MakeButtons(this));
    SetPositionMode(1);
    SetChoice(position_, -1, QStringLiteral("0"));
}

void TVizuWarePosition::SetPositionMode(int mode)
{
    SPositionState s = State();
    mode_ = mode == 0 ? 0 : 1;
    quenor::SetPositionMode(s, mode_);
    setWindowTitle(mode_ == 1 ? QStringLiteral("Set position") : QStringLiteral("Save position"));
    position_->setEditable(mode_ == 1);
    if (mode_ == 1)
        position_->setInsertPolicy(QComboBox::NoInsert);
    countLabel_->setVisible(mode_ == 1);
    SetState(s);
}

SPositionState TVizuWarePosition::State() const
{
    SPositionState s;
    s.mode = mode_;
    s.item = ChosenItem(position_);
    s.text = position_->currentText().toStdString();
    return s;
}

void TVizuWarePosition::SetState(const SPositionState& s)
{
    SetChoice(position_, s.item, QString::fromStdString(s.text));
}

void TVizuWarePosition::LoadData(std::span<const std::uint8_t> cells)
{
    SPositionState s = State();
    LoadPosition(s, cells);
    SetState(s);
}

bool TVizuWarePosition::SaveData(std::span<std::uint8_t> cells) const
{
    return SavePosition(State(), cells);
}

QWidget* TVizuWarePosition::FieldWidget(CommandField) const
{
    return position_;
}

void TVizuWarePosition::showEvent(QShowEvent* event)
{
    TCommandDialog::showEvent(event);
    position_->setFocus(Qt::OtherFocusReason);
}

// --- Zero search and set mode ------------------------------------------------------

TVizuWareModeChoice::TVizuWareModeChoice(bool zeroSearch, QWidget* parent)
    : TCommandDialog(parent),
      zeroSearch_(zeroSearch)
{
    mode_ = new TRadioGroup(QStringLiteral("Mode:"), {}, this);
    mode_->setObjectName(QStringLiteral("Mode"));
    auto* layout = DialogLayout(this);
    layout->addWidget(mode_);
    layout->addWidget(MakeButtons(this));
    SetMotorKind(0);
}

void TVizuWareModeChoice::SetMotorKind(int kind)
{
    const SChoiceState before = State();
    kind_ = kind == 2 ? 2 : 0;
    const std::vector<std::string> items = zeroSearch_ ? ZeroSearchItems(kind_) : SetModeItems(kind_);
    mode_->SetItems(ToList(items));
    // The same stored value keeps its meaning across kinds.
    std::vector<std::uint8_t> cells(1, 0);
    if (before.item >= 0 && (zeroSearch_ ? SaveZeroSearch(before, cells) : SaveSetMode(before, cells)))
        LoadData(cells);
    adjustSize();
}

void TVizuWareModeChoice::LoadData(std::span<const std::uint8_t> cells)
{
    SChoiceState s = State();
    zeroSearch_ ? LoadZeroSearch(s, cells) : LoadSetMode(s, cells);
    mode_->SetIndex(s.item);
}

bool TVizuWareModeChoice::SaveData(std::span<std::uint8_t> cells) const
{
    return zeroSearch_ ? SaveZeroSearch(State(), cells) : SaveSetMode(State(), cells);
}

CommandCheck TVizuWareModeChoice::Check() const
{
    return zeroSearch_ ? CheckZeroSearch(State()) : CheckSetMode(State());
}

void TVizuWareModeChoice::showEvent(QShowEvent* event)
{
    TCommandDialog::showEvent(event);
    FocusChecked(mode_);
}

TVizuWareZeroSearch::TVizuWareZeroSearch(QWidget* parent)
    : TVizuWareModeChoice(true, parent)
{
    setObjectName(QStringLiteral("VizuWareZeroSearch"));
    setWindowTitle(QStringLiteral("Zero search"));
}

TVizuWareSetMode::TVizuWareSetMode(QWidget* parent)
    : TVizuWareModeChoice(false, parent)
{
    setObjectName(QStringLiteral("VizuWareSetMode"));
    setWindowTitle(QStringLiteral("Set mode"));
}

// --- Wait time -----------------------------------------------------------------------

TVizuWareWaitTime::TVizuWareWaitTime(QWidget* parent)
    : TCommandDialog(parent)
{
    setObjectName(QStringLiteral("VizuWareWaitTime"));
    setWindowTitle(QStringLiteral("Wait Time"));
    time_ = new QLineEdit(QStringLiteral("0"), this);
    time_->setObjectName(QStringLiteral("Time"));
    auto* layout = DialogLayout(this);
    layout->addLayout(LabelledRow(this, QStringLiteral("Time"), time_, QStringLiteral("ms")));
    layout->addWidget(MakeButtons(this));
}

void TVizuWareWaitTime::LoadData(std::span<const std::uint8_t> cells)
{
    std::string text;
    LoadWaitTime(text, cells);
    time_->setText(QString::fromStdString(text));
}

bool TVizuWareWaitTime::SaveData(std::span<std::uint8_t> cells) const
{
    return SaveWaitTime(time_->text().toStdString(), cells);
}

CommandCheck TVizuWareWaitTime::Check() const
{
    return CheckWaitTime(time_->text().toStdString());
}

void TVizuWareWaitTime::showEvent(QShowEvent* event)
{
    TCommandDialog::showEvent(event);
    time_->setFocus(Qt::OtherFocusReason);
}

// --- Remark --------------------------------------------------------------------------

TVizuWareComment::TVizuWareComment(QWidget* parent)
    : TCommandDialog(parent)
{
    setObjectName(QStringLiteral("VizuWareComment"));
    setWindowTitle(QStringLiteral("Enter remark"));
    comment_ = new QLineEdit(this);
    comment_->setObjectName(QStringLiteral("Comment"));
    comment_->setFixedWidth(369);
    // A remark line keeps at most 255 characters.
    comment_->setMaxLength(255);
    auto* layout = DialogLayout(this);
    layout->addLayout(LabelledRow(this, QStringLiteral("Remark:"), comment_));
    layout->addWidget(MakeButtons(this));
}

std::string TVizuWareComment::Text() const
{
    return ToCp1252(comment_->text());
}

void TVizuWareComment::SetText(const std::string& text)
{
    comment_->setText(FromCp1252(text));
}

void TVizuWareComment::showEvent(QShowEvent* event)
{
    TCommandDialog::showEvent(event);
    comment_->setFocus(Qt::OtherFocusReason);
}

// --- Program setup -------------------------------------------------------------------

TVizuWareSetup::TVizuWareSetup(QWidget* parent)
    : TCommandDialog(parent)
{
    setObjectName(QStringLiteral("VizuWareSetup"));
    setWindowTitle(QStringLiteral("Setup"));
    auto* settings = new QGroupBox(QStringLiteral("Settings:"), this);
    debounce_ = new QCheckBox(QStringLiteral("Enable input filter"), settings);
    debounce_->setObjectName(QStringLiteral("DebounceChkBox"));
    skipInitialization_ = new QCheckBox(QStringLiteral("Skip initialization (advanced)"), settings);
    skipInitialization_->setObjectName(QStringLiteral("SkipInitializationChkBox"));
    auto* settingsLayout = new QVBoxLayout(settings);
    settingsLayout->addWidget(debounce_);
    settingsLayout->addWidget(skipInitialization_);
    transfer_ = new TRadioGroup(QStringLiteral("Transfer settings:"),
                                {QStringLiteral("Program + Source + Remarks"), QStringLiteral("Program + Source"),
                                 QStringLiteral("Program only")},
                                this);
    transfer_->setObjectName(QStringLiteral("TransferSettings"));
    dedOutBox_ = new QGroupBox(QStringLiteral("Dedicated outputs:"), this);
    dedOutBox_->setObjectName(QStringLiteral("DedOutBox"));
    out1_ = new QCheckBox(QStringLiteral("Enable \"in position\" on output 1"), dedOutBox_);
    out1_->setObjectName(QStringLiteral("Out1ChkBox"));
    out2_ = new QCheckBox(QStringLiteral("Enable \"Error\" on output 2"), dedOutBox_);
    out2_->setObjectName(QStringLiteral("Out2ChkBox"));
    auto* outLayout = new QVBoxLayout(dedOutBox_);
    outLayout->addWidget(out1_);
    outLayout->addWidget(out2_);
    auto* layout = DialogLayout(this);
    layout->addWidget(settings);
    layout->addWidget(transfer_);
    layout->addWidget(dedOutBox_);
    layout->addWidget(MakeButtons(this));
    transfer_->SetIndex(0);
}

void TVizuWareSetup::SetMotorKind(int kind)
{
    const bool stepper = kind == 2;
    debounce_->setVisible(!stepper);
    dedOutBox_->setVisible(!stepper);
    adjustSize();
}

ProgramSetupOptions TVizuWareSetup::Options() const
{
    ProgramSetupOptions o;
    o.inputFilter = debounce_->isChecked() ? 1 : 0;
    o.skipInitialization = skipInitialization_->isChecked() ? 1 : 0;
    o.transferSetting = static_cast<std::uint8_t>(transfer_->Index() < 0 ? 0 : transfer_->Index());
    o.inPositionOutput = out1_->isChecked() ? 1 : 0;
    o.errorOutput = out2_->isChecked() ? 1 : 0;
    return o;
}

void TVizuWareSetup::SetOptions(const ProgramSetupOptions& o)
{
    debounce_->setChecked(o.inputFilter != 0);
    skipInitialization_->setChecked(o.skipInitialization != 0);
    transfer_->SetIndex(o.transferSetting <= 2 ? o.transferSetting : 0);
    out1_->setChecked(o.inPositionOutput != 0);
    out2_->setChecked(o.errorOutput != 0);
}

void TVizuWareSetup::showEvent(QShowEvent* event)
{
    TCommandDialog::showEvent(event);
    (debounce_->isVisible() ? debounce_ : skipInitialization_)->setFocus(Qt::OtherFocusReason);
}

// --- Fast command ----------------------------------------------------------------------

TVizuWareFastVEK::TVizuWareFastVEK(QWidget* parent)
    : TCommandDialog(parent)
{
    setObjectName(QStringLiteral("VizuWareFastVEK"));
    setWindowTitle(QStringLiteral("FastVEK"));
    mode_ = new TRadioGroup(
        QStringLiteral("Mode"),
        {QStringLiteral("Passive"), QStringLiteral("Velocity"), QStringLiteral("Position"), QStringLiteral("Command")},
        this);
    mode_->setObjectName(QStringLiteral("Mode"));
    registerType_ =
        new TRadioGroup(QStringLiteral("Register"),
                        {QStringLiteral("Position"), QStringLiteral("Velocity"), QStringLiteral("Acceleration"),
                         QStringLiteral("Torque"), QStringLiteral("Load"), QStringLiteral("In position window")},
                        this);
    registerType_->setObjectName(QStringLiteral("RegisterType"));
    numberGroup_ = new QGroupBox(QStringLiteral("Number"), this);
    number_ = new QComboBox(numberGroup_);
    number_->setObjectName(QStringLiteral("Number"));
    for (int i = 1; i <= 8; ++i)
        number_->addItem(QString::number(i));
    auto* numberLayout = new QHBoxLayout(numberGroup_);
    numberLayout->addLayout(LabelledRow(numberGroup_, QStringLiteral("Number"), number_));
    commandGroup_ = new QGroupBox(QStringLiteral("Command"), this);
    command_ = new QComboBox(commandGroup_);
    command_->setObjectName(QStringLiteral("Command"));
    command_->setMaxVisibleItems(20);
    for (const SFastCommandItem& item : kFastCommandItems)
        command_->addItem(QString::fromStdString(FastCommandItemText(item)));
    command_->setCurrentIndex(-1);
    auto* commandLayout = new QHBoxLayout(commandGroup_);
    commandLayout->addWidget(command_);

    auto* right = new QVBoxLayout;
    right->addWidget(registerType_);
    right->addWidget(numberGroup_);
    right->addWidget(commandGroup_);
    right->addStretch();
    auto* body = new QHBoxLayout;
    body->addWidget(mode_, 0, Qt::AlignTop);
    body->addLayout(right);
    auto* layout = DialogLayout(this);
    layout->addLayout(body);
    layout->addWidget(MakeButtons(this));

    mode_->SetIndex(0);
    registerType_->SetIndex(0);
    number_->setCurrentIndex(0);
    connect(mode_, &TRadioGroup::Clicked, this, &TVizuWareFastVEK::ModeClick);
    connect(registerType_, &TRadioGroup::Clicked, this, &TVizuWareFastVEK::RegisterTypeClick);
    ModeClick();
}

void TVizuWareFastVEK::ModeClick()
{
    const bool command = mode_->Index() == 3;
    registerType_->setVisible(!command);
    numberGroup_->setVisible(!command);
    commandGroup_->setVisible(command);
    adjustSize();
}

void TVizuWareFastVEK::RegisterTypeClick()
{
    const int count = FastNumberCount(registerType_->Index());
    if (number_->count() == count)
        return;
    const int chosen = std::min(number_->currentIndex(), count - 1);
    const QSignalBlocker block(number_);
    number_->clear();
    for (int i = 1; i <= count; ++i)
        number_->addItem(QString::number(i));
    number_->setCurrentIndex(chosen);
}

SFastCommandState TVizuWareFastVEK::State() const
{
    return {mode_->Index(), registerType_->Index(), number_->currentIndex(), command_->currentIndex()};
}

void TVizuWareFastVEK::SetState(const SFastCommandState& s)
{
    mode_->SetIndex(s.mode);
    registerType_->SetIndex(s.registerType);
    RegisterTypeClick();
    number_->setCurrentIndex(s.number < number_->count() ? s.number : -1);
    command_->setCurrentIndex(s.command);
    ModeClick();
}

void TVizuWareFastVEK::DecodeCommand(std::span<const std::uint8_t> cells)
{
    SFastCommandState s = State();
    LoadFastCommand(s, cells);
    SetState(s);
}

bool TVizuWareFastVEK::EncodeCommand(std::span<std::uint8_t> cells) const
{
    return SaveFastCommand(State(), cells);
}

void TVizuWareFastVEK::showEvent(QShowEvent* event)
{
    TCommandDialog::showEvent(event);
    FocusChecked(mode_);
}

// --- Binary command ---------------------------------------------------------------------

TVizuWareBinaryCommand::TVizuWareBinaryCommand(QWidget* parent)
    : TCommandDialog(parent)
{
    setObjectName(QStringLiteral("VizuWareBinaryCommand"));
    setWindowTitle(QStringLiteral("Enter binary code"));
    code_ = new QLineEdit(this);
    code_->setObjectName(QStringLiteral("Code"));
    code_->setFixedWidth(361);
    auto* layout = DialogLayout(this);
    layout->addLayout(LabelledRow(this, QStringLiteral("Binary code:"), code_));
    layout->addWidget(MakeButtons(this));
}

void TVizuWareBinaryCommand::DecodeCode(std::span<const std::uint8_t> cells)
{
    std::string text;
    LoadBinaryCode(text, cells);
    code_->setText(QString::fromStdString(text));
}

bool TVizuWareBinaryCommand::EncodeCode(std::span<std::uint8_t> cells) const
{
    return SaveBinaryCode(code_->text().toStdString(), cells);
}

CommandCheck TVizuWareBinaryCommand::Check() const
{
    return CheckBinaryCode(code_->text().toStdString());
}

void TVizuWareBinaryCommand::Refused(CommandField)
{
    code_->selectAll();
}

void TVizuWareBinaryCommand::showEvent(QShowEvent* event)
{
    TCommandDialog::showEvent(event);
    code_->setFocus(Qt::OtherFocusReason);
}

}  // namespace quenor
