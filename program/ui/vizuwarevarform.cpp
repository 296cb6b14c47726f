#include "program/ui/vizuwarevarform.h"

#include "platform/numtext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace quenor {

void ShowVariableMessage(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, QStringLiteral("Quenor"), text);
}

TVizuWareVar::TVizuWareVar(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VizuWareVar"));
    setWindowTitle(QStringLiteral("Variable"));

    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName(QStringLiteral("NameEdit"));
    typeComboBox_ = new QComboBox(this);
    typeComboBox_->setObjectName(QStringLiteral("TypeComboBox"));
    typeComboBox_->addItems({QStringLiteral("8 bit"), QStringLiteral("16 bit"), QStringLiteral("32 bit")});
    locationCheckBox_ = new QCheckBox(QStringLiteral("Location"), this);
    locationCheckBox_->setObjectName(QStringLiteral("LocationCheckBox"));
    locationEdit_ = new QLineEdit(this);
    locationEdit_->setObjectName(QStringLiteral("LocationEdit"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Name"), nameEdit_);
    form->addRow(QStringLiteral("Type"), typeComboBox_);
    form->addRow(locationCheckBox_, locationEdit_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TVizuWareVar::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TVizuWareVar::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(locationCheckBox_, &QCheckBox::clicked, this, &TVizuWareVar::LocationClick);
    showMessage = [this](const QString& text) { ShowVariableMessage(this, text); };
    SetLocationChecked(false);
}

QString TVizuWareVar::Name() const
{
    return nameEdit_->text();
}

void TVizuWareVar::SetName(const QString& name)
{
    nameEdit_->setText(name);
}

int TVizuWareVar::TypeIndex() const
{
    return typeComboBox_->currentIndex();
}

void TVizuWareVar::SetTypeIndex(int index)
{
    typeComboBox_->setCurrentIndex(index);
}

bool TVizuWareVar::LocationChecked() const
{
    return locationCheckBox_->isChecked();
}

void TVizuWareVar::SetLocationChecked(bool checked)
{
    locationCheckBox_->setChecked(checked);
    LocationClick(checked);
}

void TVizuWareVar::SetLocation(int location)
{
    locationCheckBox_->setChecked(true);
    locationEdit_->setEnabled(true);
    locationEdit_->setText(QString::number(location));
}

QString TVizuWareVar::LocationText() const
{
    return locationEdit_->text();
}

void TVizuWareVar::LocationClick(bool checked)
{
    locationEdit_->setEnabled(checked);
    locationEdit_->setText(checked ? QString() : QStringLiteral("Auto"));
}

void TVizuWareVar::MatchLocationEdit()
{
    // A location preset by the caller stays; an unchecked box always shows "Auto".
    locationEdit_->setEnabled(locationCheckBox_->isChecked());
    if (!locationCheckBox_->isChecked())
        locationEdit_->setText(QStringLiteral("Auto"));
}

std::optional<int> TVizuWareVar::Location() const
{
    if (!LocationChecked())
        return std::nullopt;
    const auto value = ParseInteger(locationEdit_->text().toStdString());
    if (!value || *value < 0 || *value > 255)
        return std::nullopt;
    return static_cast<int>(*value);
}

QString TVizuWareVar::Validate() const
{
    if (nameEdit_->text().trimmed().isEmpty())
        return QStringLiteral("Please enter a variable name.");
    if (LocationChecked() && !Location())
        return QStringLiteral("'%1' is not a valid location (0 to 255).").arg(locationEdit_->text());
    return QString();
}

void TVizuWareVar::accept()
{
    const QString error = Validate();
    if (!error.isEmpty()) {
        if (showMessage)
            showMessage(error);
        return;
    }
    QDialog::accept();
}

void TVizuWareVar::showEvent(QShowEvent* event)
{
    MatchLocationEdit();
    QDialog::showEvent(event);
}

}  // namespace quenor
