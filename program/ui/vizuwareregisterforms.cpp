#include "program/ui/vizuwareregisterforms.h"

#include "program/vizuvekparameterlist.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quenor {

TVizuWareRegisterBase::TVizuWareRegisterBase(bool withOperator, QWidget* parent)
    : TCommandDialog(parent),
      withOperator_(withOperator)
{
    regNo_ = new QComboBox(this);
    regNo_->setObjectName(QStringLiteral("RegNo"));
    regNo_->setEditable(true);
    regNo_->setInsertPolicy(QComboBox::NoInsert);
    regNo_->setMaxVisibleItems(20);
    regNo_->setMinimumContentsLength(28);
    value_ = new QLineEdit(QStringLiteral("0"), this);
    value_->setObjectName(QStringLiteral("Value"));
    unit_ = new QComboBox(this);
    unit_->setObjectName(QStringLiteral("Unit"));
    unit_->setMaxVisibleItems(20);
    unit_->setMinimumContentsLength(8);

    auto* grid = new QGridLayout;
    auto* regLabel = new QLabel(QStringLiteral("Reg. No.:"), this);
    regLabel->setBuddy(regNo_);
    grid->addWidget(regLabel, 0, 0);
    grid->addWidget(regNo_, 0, 1, 1, 2);
    int row = 1;
    if (withOperator) {
        operator_ = new QComboBox(this);
        operator_->setObjectName(QStringLiteral("Operator"));
        for (const char* item : kOperatorItems)
            operator_->addItem(QString::fromLatin1(item));
        operator_->setCurrentIndex(0);
        auto* opLabel = new QLabel(QStringLiteral("Operator"), this);
        opLabel->setBuddy(operator_);
        grid->addWidget(opLabel, row, 0);
        grid->addWidget(operator_, row, 1, 1, 2);
        ++row;
    }
    auto* valueLabel = new QLabel(QStringLiteral("Value:"), this);
    valueLabel->setBuddy(value_);
    grid->addWidget(valueLabel, row, 0);
    grid->addWidget(value_, row, 1);
    grid->addWidget(unit_, row, 2);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(grid);
    layout->addWidget(MakeButtons(this));

    connect(regNo_, &QComboBox::currentTextChanged, this, &TVizuWareRegisterBase::RegNoChange);
}

void TVizuWareRegisterBase::SetRegisterList(CVekParameterList* list)
{
    registers_ = list;
    const QSignalBlocker block(regNo_);
    regNo_->clear();
    if (list)
        for (const std::string& entry : list->GetRegisterList(withOperator_))
            regNo_->addItem(QString::fromStdString(entry));
    regNo_->setCurrentIndex(-1);
    regNo_->setEditText(QString());
    unit_->clear();
}

void TVizuWareRegisterBase::RegNoChange()
{
    unit_->clear();
    const std::optional<std::int64_t> reg = RegisterNumberFromText(regNo_->currentText().toStdString());
    if (!reg || !registers_ || *reg < 0 || *reg > 0xFFFF)
        return;
    int selected = 0;
    for (const std::string& name : registers_->GetUnitList(static_cast<int>(*reg), selected))
        unit_->addItem(QString::fromStdString(name));
    unit_->setCurrentIndex(unit_->count() > 0 ? selected : -1);
}

SRegisterState TVizuWareRegisterBase::State() const
{
    SRegisterState s;
    s.reg = regNo_->currentText().toStdString();
    s.op = operator_ ? operator_->currentIndex() : 0;
    s.value = value_->text().toStdString();
    s.unit = unit_->currentIndex() < 0 ? 0 : unit_->currentIndex();
    return s;
}

void TVizuWareRegisterBase::SetState(const SRegisterState& s)
{
    const QString text = QString::fromStdString(s.reg);
    SetChoice(regNo_, regNo_->findText(text, Qt::MatchExactly), text);
    RegNoChange();
    if (operator_)
        operator_->setCurrentIndex(s.op >= 0 && s.op < operator_->count() ? s.op : -1);
    value_->setText(QString::fromStdString(s.value));
    if (s.unit < unit_->count())
        unit_->setCurrentIndex(s.unit);
}

void TVizuWareRegisterBase::LoadData(std::span<const std::uint8_t> cells)
{
    SRegisterState s = State();
    std::vector<std::string> entries;
    for (int i = 0; i < regNo_->count(); ++i)
        entries.push_back(regNo_->itemText(i).toStdString());
    LoadRegister(s, cells, withOperator_, entries);
    SetState(s);
}

bool TVizuWareRegisterBase::SaveData(std::span<std::uint8_t> cells)
{
    return SaveRegister(State(), cells, withOperator_, registers_);
}

CommandCheck TVizuWareRegisterBase::Check() const
{
    return CheckRegister(State(), withOperator_);
}

QWidget* TVizuWareRegisterBase::FieldWidget(CommandField field) const
{
    switch (field) {
    case CommandField::Register: return regNo_;
    case CommandField::Operator: return operator_;
    case CommandField::Value: return value_;
    default: return nullptr;
    }
}

void TVizuWareRegisterBase::showEvent(QShowEvent* event)
{
    TCommandDialog::showEvent(event);
    regNo_->setFocus(Qt::OtherFocusReason);
}

TVizuWareSetReg::TVizuWareSetReg(QWidget* parent)
    : TVizuWareRegisterBase(false, parent)
{
    setObjectName(QStringLiteral("VizuWareSetReg"));
    setWindowTitle(QStringLiteral("Set register"));
}

TVizuWareRegister::TVizuWareRegister(QWidget* parent)
    : TVizuWareRegisterBase(true, parent)
{
    setObjectName(QStringLiteral("VizuWareRegister"));
    setWindowTitle(QStringLiteral("Register condition"));
}

}  // namespace quenor
