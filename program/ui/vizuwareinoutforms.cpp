#include "program/ui/vizuwareinoutforms.h"

#include "program/vizuoutput.h"

#include <algorithm>
#include <utility>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quenor {

namespace {

QStringList Numbered(const QString& prefix, int count)
{
    QStringList items;
    for (int i = 1; i <= count; ++i)
        items << prefix + QString::number(i);
    return items;
}

void FocusChecked(TRadioGroup* group)
{
    if (QRadioButton* b = group->Checked())
        b->setFocus(Qt::OtherFocusReason);
}

}  // namespace

// --- Input condition ---------------------------------------------------------

TVizuWareInput::TVizuWareInput(QWidget* parent)
    : TCommandDialog(parent)
{
    setObjectName(QStringLiteral("VizuWareInput"));
    setWindowTitle(QStringLiteral("Input"));
    inputStyle_ =
        new TRadioGroup(QStringLiteral("Input type"), {QStringLiteral("Single"), QStringLiteral("Multiple")}, this);
    QStringList inputs = Numbered(QStringLiteral("Input "), 8);
    inputs << QStringLiteral("Motor Error") << QStringLiteral("In Position");
    input_ = new TRadioGroup(QStringLiteral("Input"), inputs, this);
    condition_ = new TRadioGroup(
        QStringLiteral("Input condition"),
        {QStringLiteral("Low"), QStringLiteral("High"), QStringLiteral("Falling Edge"), QStringLiteral("Rising Edge")},
        this);
    QStringList rows = Numbered(QStringLiteral("Input "), 8);
    rows << QStringLiteral("Motor error") << QStringLiteral("In position");
    multipleInputs_ = new TLevelRows(QStringLiteral("Inputs"), rows, this);
    andOr_ = new TRadioGroup(QStringLiteral("Operand"), {QStringLiteral("And"), QStringLiteral("Or")}, this);

    auto* left = new QVBoxLayout;
    left->addWidget(inputStyle_);
    left->addWidget(andOr_);
    left->addStretch();
    auto* body = new QHBoxLayout;
    body->addLayout(left);
    body->addWidget(input_);
    body->addWidget(condition_, 0, Qt::AlignTop);
    body->addWidget(multipleInputs_);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(body);
    layout->addWidget(MakeButtons(this));

    inputStyle_->SetIndex(0);
    input_->SetIndex(0);
    condition_->SetIndex(0);
    andOr_->SetIndex(1);
    connect(inputStyle_, &TRadioGroup::Clicked, this, &TVizuWareInput::InputStyleClick);
    InputStyleClick();
}

void TVizuWareInput::InputStyleClick()
{
    const bool multiple = inputStyle_->Index() == 1;
    input_->setVisible(!multiple);
    condition_->setVisible(!multiple);
    multipleInputs_->setVisible(multiple);
    andOr_->setVisible(multiple);
}

SInputConditionState TVizuWareInput::State() const
{
    SInputConditionState s;
    s.style = inputStyle_->Index() == 1 ? 1 : 0;
    s.input = input_->Index();
    s.condition = condition_->Index();
    for (int i = 0; i < kConditionInputs; ++i)
        s.rows[static_cast<std::size_t>(i)] = multipleInputs_->Level(i);
    s.andOr = andOr_->Index() == 0 ? 0 : 1;
    return s;
}

void TVizuWareInput::SetState(const SInputConditionState& s)
{
    inputStyle_->SetIndex(sensor_ ? 0 : s.style);
    input_->SetIndex(s.input);
    condition_->SetIndex(s.condition);
    for (int i = 0; i < kConditionInputs; ++i)
        multipleInputs_->SetLevel(i, s.rows[static_cast<std::size_t>(i)]);
    andOr_->SetIndex(s.andOr);
    InputStyleClick();
}

void TVizuWareInput::SetSensorMode(bool on)
{
    sensor_ = on;
    if (on)
        inputStyle_->SetIndex(0);
    inputStyle_->Button(1)->setEnabled(!on);
    InputStyleClick();
}

void TVizuWareInput::LoadCondition(std::span<const std::uint8_t> cells)
{
    SInputConditionState s = State();
    quenor::LoadCondition(s, cells, sensor_);
    SetState(s);
}

bool TVizuWareInput::SaveCondition(CellWriter& cursor) const
{
    return quenor::SaveCondition(State(), cursor, sensor_);
}

CommandCheck TVizuWareInput::Check() const
{
    return CheckCondition(State(), sensor_);
}

QWidget* TVizuWareInput::FieldWidget(CommandField field) const
{
    switch (field) {
    case CommandField::Input: return input_;
    case CommandField::Condition: return condition_;
    default: return nullptr;
    }
}

void TVizuWareInput::showEvent(QShowEvent* event)
{
    TCommandDialog::showEvent(event);
    FocusChecked(inputStyle_);
}

// --- Output ----------------------------------------------------------------------

TVizuWareOutput::TVizuWareOutput(QWidget* parent)
    : TCommandDialog(parent)
{
    setObjectName(QStringLiteral("VizuWareOutput"));
    setWindowTitle(QStringLiteral("Output"));
    panel_ = new QWidget(this);
    panel_->setObjectName(QStringLiteral("OutputPanel"));
    outputStyle_ =
        new TRadioGroup(QStringLiteral("Output type"), {QStringLiteral("Single"), QStringLiteral("Multiple")}, panel_);
    outputNo_ = new TRadioGroup(QStringLiteral("&Output No."), Numbered(QStringLiteral("Output "), 8), panel_);
    output_ = new TRadioGroup(
        QStringLiteral("Output state"),
        {QStringLiteral("Low"), QStringLiteral("High"), QStringLiteral("Low pulse"), QStringLiteral("High pulse")},
        panel_);
    // Each pulse time beside its state, followed by "ms".
    auto pulseEdit = [this](int mode, const char* name) {
        auto* row = new QWidget;
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* edit = new QLineEdit(QStringLiteral("0"), row);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMaxLength(4);
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
        layout->addWidget(edit);
        layout->addWidget(new QLabel(QStringLiteral("ms"), row));
        output_->SetTrailing(mode, row);
        return edit;
    };
    lowPulse_ = pulseEdit(kOutputLowPulse, "LowPulse");
    highPulse_ = pulseEdit(kOutputHighPulse, "HighPulse");
    multipleOutputs_ = new TLevelRows(QStringLiteral("Outputs"), Numbered(QStringLiteral("Output "), 8), panel_);

    auto* panelLayout = new QHBoxLayout(panel_);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(outputStyle_, 0, Qt::AlignTop);
    panelLayout->addWidget(outputNo_, 0, Qt::AlignTop);
    panelLayout->addWidget(multipleOutputs_, 0, Qt::AlignTop);
    panelLayout->addWidget(output_, 0, Qt::AlignTop);

    buttons_ = MakeButtons(this);
    ownLayout_ = new QVBoxLayout(this);
    ownLayout_->setSizeConstraint(QLayout::SetFixedSize);
    ownLayout_->addWidget(panel_);
    ownLayout_->addWidget(buttons_);

    outputStyle_->SetIndex(0);
    outputNo_->SetIndex(0);
    output_->SetIndex(0);
    connect(output_, &TRadioGroup::Clicked, this, &TVizuWareOutput::OutputClick);
    connect(outputNo_, &TRadioGroup::Clicked, this, &TVizuWareOutput::OutputClick);
    connect(outputStyle_, &TRadioGroup::Clicked, this, &TVizuWareOutput::OutputStyleClick);
    RebuildOutputs();
    OutputStyleClick();
    OutputClick();
}

void TVizuWareOutput::OutputClick()
{
    lowPulse_->setEnabled(output_->Index() == kOutputLowPulse);
    highPulse_->setEnabled(output_->Index() == kOutputHighPulse);
}

void TVizuWareOutput::OutputStyleClick()
{
    const bool multiple = outputStyle_->Index() == 1;
    outputNo_->setVisible(!multiple);
    output_->setVisible(!multiple);
    multipleOutputs_->setVisible(multiple);
}

void TVizuWareOutput::RebuildOutputs()
{
    const int chosen = outputNo_->Index();
    outputNo_->SetItems(Numbered(QStringLiteral("Output "), count_));
    outputNo_->SetIndex(chosen);
    const int height = count_ == 8 ? 217 : 121;
    outputNo_->setMinimumHeight(height);
    multipleOutputs_->setMinimumHeight(height);
    for (int row = 4; row < kMaxOutputs; ++row)
        multipleOutputs_->SetRowVisible(row, count_ == 8);
}

void TVizuWareOutput::SetOutputCount(int kind)
{
    const int count = OutputCountOfKind(kind);
    if (count == 0 || count == count_)
        return;
    count_ = count;
    RebuildOutputs();
}

void TVizuWareOutput::SetDocked(bool docked, QBoxLayout* host, int index)
{
    RebuildOutputs();
    docked_ = docked && host;
    if (docked_) {
        host->insertWidget(index, panel_, 0, Qt::AlignTop);
        buttons_->hide();
    } else {
        ownLayout_->insertWidget(0, panel_);
        buttons_->show();
    }
    panel_->show();
}

SOutputState TVizuWareOutput::State() const
{
    SOutputState s;
    s.count = count_;
    s.style = outputStyle_->Index() == 1 ? 1 : 0;
    s.number = outputNo_->Index();
    s.mode = output_->Index();
    s.lowPulse = lowPulse_->text().toStdString();
    s.highPulse = highPulse_->text().toStdString();
    for (int i = 0; i < kMaxOutputs; ++i)
        s.rows[static_cast<std::size_t>(i)] = multipleOutputs_->Level(i);
    return s;
}

void TVizuWareOutput::SetState(const SOutputState& s)
{
    outputStyle_->SetIndex(s.style);
    outputNo_->SetIndex(s.number);
    output_->SetIndex(s.mode);
    // Four characters are typed; a longer stored time is shown whole.
    for (auto [edit, text] : {std::pair{lowPulse_, &s.lowPulse}, std::pair{highPulse_, &s.highPulse}}) {
        const QString value = QString::fromStdString(*text);
        edit->setMaxLength(std::max<int>(4, static_cast<int>(value.size())));
        edit->setText(value);
    }
    for (int i = 0; i < kMaxOutputs; ++i)
        multipleOutputs_->SetLevel(i, s.rows[static_cast<std::size_t>(i)]);
    OutputStyleClick();
    OutputClick();
}

void TVizuWareOutput::LoadOutputDialog(std::span<const std::uint8_t> cells)
{
    SOutputState s = State();
    LoadOutputElement(s, cells);
    SetState(s);
}

bool TVizuWareOutput::SaveOutputDialog(CellWriter& cursor) const
{
    return SaveOutputElement(State(), cursor);
}

CommandCheck TVizuWareOutput::CheckPanel() const
{
    return CheckOutputElement(State());
}

QWidget* TVizuWareOutput::PanelField(CommandField field) const
{
    switch (field) {
    case CommandField::Output: return outputNo_;
    case CommandField::OutputMode: return output_;
    case CommandField::LowPulse: return lowPulse_;
    case CommandField::HighPulse: return highPulse_;
    default: return nullptr;
    }
}

void TVizuWareOutput::showEvent(QShowEvent* event)
{
    TCommandDialog::showEvent(event);
    OutputClick();
    FocusChecked(outputStyle_);
}

}  // namespace quenor
