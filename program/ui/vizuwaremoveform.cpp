#include "program/ui/vizuwaremoveform.h"

#include "program/ui/vizuwareinoutforms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace quenor {

namespace {

QComboBox* DistanceBox(QWidget* parent, const char* name)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems({QStringLiteral("Register 1"), QStringLiteral("Register 2"), QStringLiteral("Register 3")});
    SetChoice(box, -1, QStringLiteral("0"));
    return box;
}

QLineEdit* NumberEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(QStringLiteral("0"), parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

// Label, control and unit in one grid row.
void AddRow(QGridLayout* grid, int row, QLabel* label, QWidget* control, const QString& unit)
{
    label->setBuddy(control);
    grid->addWidget(label, row, 0);
    grid->addWidget(control, row, 1);
    grid->addWidget(new QLabel(unit, control->parentWidget()), row, 2);
}

SDistanceChoice Choice(const QComboBox* box)
{
    return {ChosenItem(box), box->currentText().toStdString()};
}

void ShowChoice(QComboBox* box, const SDistanceChoice& choice)
{
    SetChoice(box, choice.item, QString::fromStdString(choice.text));
}

}  // namespace

TVizuWareMove::TVizuWareMove(TVizuWareOutput& output, TVizuWareInput& input, QWidget* parent)
    : TCommandDialog(parent),
      output_(output),
      input_(input)
{
    setObjectName(QStringLiteral("VizuWareMove"));
    setWindowTitle(QStringLiteral("Move"));
    moveType_ = new TRadioGroup(QStringLiteral("Move type"),
                                {QStringLiteral("&Relative"), QStringLiteral("Relative + &velocity change at distance"),
                                 QStringLiteral("Relative + set &outputs"), QStringLiteral("&Absolute"),
                                 QStringLiteral("&Sensor")},
                                this);
    moveType_->setObjectName(QStringLiteral("MoveType"));

    auto* general = new QGroupBox(QStringLiteral("General parameters"), this);
    general->setObjectName(QStringLiteral("GeneralGroup"));
    posLabel_ = new QLabel(QStringLiteral("&Distance"), general);
    generalDistance_ = DistanceBox(general, "GeneralDistance");
    generalAcceleration_ = NumberEdit(general, "GeneralAcceleration");
    generalVelocity_ = NumberEdit(general, "GeneralVelocity");
    waitForInPos_ = new QCheckBox(QStringLiteral("Wait for in position"), general);
    waitForInPos_->setChecked(true);
    waitForInPos_->setToolTip(
        QStringLiteral("Wait for in position can only be disabled in Relative and Absolute moves"));
    auto* note = new QLabel(
        QStringLiteral("Enter 0 in velocity or acceleration to use the current velocity or acceleration"), general);
    note->setWordWrap(true);
    auto* generalGrid = new QGridLayout(general);
    AddRow(generalGrid, 0, posLabel_, generalDistance_, QStringLiteral("Counts"));
    AddRow(generalGrid, 1, new QLabel(QStringLiteral("Acceleration"), general), generalAcceleration_,
           QStringLiteral("RPM/s"));
    AddRow(generalGrid, 2, new QLabel(QStringLiteral("Velocity"), general), generalVelocity_, QStringLiteral("RPM"));
    generalGrid->addWidget(note, 3, 0, 1, 3);
    generalGrid->addWidget(waitForInPos_, 4, 0, 1, 3);
    general->setFixedWidth(general->sizeHint().width());

    changeVelGroup_ = new QGroupBox(QStringLiteral("Change velocity parameters"), this);
    changeVelGroup_->setObjectName(QStringLiteral("ChangeVelGroup"));
    changeVelPosition_ = DistanceBox(changeVelGroup_, "ChangeVelPosition");
    changeVelVelocity_ = NumberEdit(changeVelGroup_, "ChangeVelVelocity");
    auto* changeGrid = new QGridLayout(changeVelGroup_);
    AddRow(changeGrid, 0, new QLabel(QStringLiteral("Distance"), changeVelGroup_), changeVelPosition_,
           QStringLiteral("Counts"));
    AddRow(changeGrid, 1, new QLabel(QStringLiteral("New velocity"), changeVelGroup_), changeVelVelocity_,
           QStringLiteral("RPM"));
    changeGrid->setRowStretch(2, 1);

    sensorGroup_ = new QGroupBox(QStringLiteral("Sensor parameters"), this);
    sensorGroup_->setObjectName(QStringLiteral("SensorGroup"));
    sensorDistance_ = DistanceBox(sensorGroup_, "SensorDistance");
    inputCondition_ = new QPushButton(QStringLiteral("Input condition(s)"), sensorGroup_);
    inputCondition_->setObjectName(QStringLiteral("InputCondition"));
    auto* sensorGrid = new QGridLayout(sensorGroup_);
    AddRow(sensorGrid, 0, new QLabel(QStringLiteral("Safety distance"), sensorGroup_), sensorDistance_,
           QStringLiteral("Counts"));
    sensorGrid->addWidget(inputCondition_, 1, 0, 1, 3);
    sensorGrid->setRowStretch(2, 1);

    auto* buttons = new QVBoxLayout;
    QWidget* row = MakeButtons(this);
    buttons->addWidget(row);
    buttons->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(moveType_);
    top->addLayout(buttons);
    top->addStretch();
    body_ = new QHBoxLayout;
    body_->addWidget(general, 0, Qt::AlignTop);
    body_->addWidget(changeVelGroup_, 0, Qt::AlignTop);
    body_->addWidget(sensorGroup_, 0, Qt::AlignTop);
    body_->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(top);
    layout->addLayout(body_);

    moveType_->SetIndex(0);
    changeVelGroup_->hide();
    sensorGroup_->hide();
    connect(moveType_, &TRadioGroup::Clicked, this, &TVizuWareMove::MoveTypeClick);
    connect(inputCondition_, &QPushButton::clicked, this, &TVizuWareMove::InputConditionClick);
    runInput = [](TVizuWareInput& dialog) { return dialog.exec() == QDialog::Accepted; };
}

void TVizuWareMove::Prepare()
{
    moveType_->Button(3)->setEnabled(!isAbsRelProgram || isAbsRelProgram());
    moveType_->Button(4)->setEnabled(true);
    output_.SetDocked(true, body_, 1);
    MoveTypeClick();
}

void TVizuWareMove::MoveTypeClick()
{
    const int type = moveType_->Index();
    changeVelGroup_->setVisible(type == 1);
    sensorGroup_->setVisible(type == 4);
    posLabel_->setText(type == 3 ? QStringLiteral("&Position") : QStringLiteral("&Distance"));
    if (output_.Docked())
        output_.Panel()->setVisible(type == 2);
    const bool free = type == 0 || type == 3;
    waitForInPos_->setEnabled(free);
    if (!free)
        waitForInPos_->setChecked(true);
    if (type == 4)
        input_.SetSensorMode(true);
    adjustSize();
    // A dialog that grew past the screen's edge comes back inside it.
    if (isVisible() && screen()) {
        const QRect area = screen()->availableGeometry();
        QRect frame = frameGeometry();
        if (frame.right() > area.right())
            frame.moveRight(area.right());
        if (frame.bottom() > area.bottom())
            frame.moveBottom(area.bottom());
        if (frame.left() < area.left())
            frame.moveLeft(area.left());
        if (frame.top() < area.top())
            frame.moveTop(area.top());
        move(frame.topLeft());
    }
}

void TVizuWareMove::InputConditionClick()
{
    output_.SetDocked(false);
    const SInputConditionState before = input_.State();
    input_.SetSensorMode(true);
    // What the dialog holds is stored with this dialog's OK; its Cancel
    // leaves the condition as it was.
    if (!runInput || !runInput(input_))
        input_.SetState(before);
    output_.SetDocked(true, body_, 1);
    MoveTypeClick();
}

SMoveState TVizuWareMove::State() const
{
    SMoveState s;
    s.type = moveType_->Index();
    s.waitForInPosition = waitForInPos_->isChecked();
    s.distance = Choice(generalDistance_);
    s.acceleration = generalAcceleration_->text().toStdString();
    s.velocity = generalVelocity_->text().toStdString();
    s.changeDistance = Choice(changeVelPosition_);
    s.newVelocity = changeVelVelocity_->text().toStdString();
    s.safetyDistance = Choice(sensorDistance_);
    return s;
}

void TVizuWareMove::SetState(const SMoveState& s)
{
    moveType_->SetIndex(s.type);
    waitForInPos_->setChecked(s.waitForInPosition);
    ShowChoice(generalDistance_, s.distance);
    generalAcceleration_->setText(QString::fromStdString(s.acceleration));
    generalVelocity_->setText(QString::fromStdString(s.velocity));
    ShowChoice(changeVelPosition_, s.changeDistance);
    changeVelVelocity_->setText(QString::fromStdString(s.newVelocity));
    ShowChoice(sensorDistance_, s.safetyDistance);
    MoveTypeClick();
}

void TVizuWareMove::LoadMove(std::span<const std::uint8_t> cells)
{
    SMoveState m = State();
    SOutputState o = output_.State();
    SInputConditionState i = input_.State();
    quenor::LoadMove(m, o, i, cells);
    if (m.type == 2)
        output_.SetState(o);
    if (m.type == 4) {
        input_.SetSensorMode(true);
        input_.SetState(i);
    }
    SetState(m);
}

bool TVizuWareMove::SaveMove(std::span<std::uint8_t> cells) const
{
    return quenor::SaveMove(State(), output_.State(), input_.State(), cells);
}

CommandCheck TVizuWareMove::Check() const
{
    return CheckMove(State(), output_.State(), input_.State());
}

QWidget* TVizuWareMove::FieldWidget(CommandField field) const
{
    switch (field) {
    case CommandField::Distance: return generalDistance_;
    case CommandField::Acceleration: return generalAcceleration_;
    case CommandField::Velocity: return generalVelocity_;
    case CommandField::ChangeDistance: return changeVelPosition_;
    case CommandField::NewVelocity: return changeVelVelocity_;
    case CommandField::SafetyDistance: return sensorDistance_;
    case CommandField::Input:
    case CommandField::Condition: return inputCondition_;
    default: return output_.PanelField(field);
    }
}

void TVizuWareMove::showEvent(QShowEvent* event)
{
    Prepare();
    TCommandDialog::showEvent(event);
    generalDistance_->setFocus(Qt::OtherFocusReason);
}

}  // namespace quenor
