#include "program/ui/commandformparts.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quenor {

TRadioGroup::TRadioGroup(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent),
      group_(new QButtonGroup(this)),
      layout_(new QGridLayout(this))
{
    connect(group_, &QButtonGroup::idClicked, this, &TRadioGroup::Clicked);
    SetItems(items);
}

void TRadioGroup::SetItems(const QStringList& items)
{
    for (QRadioButton* b : buttons_) {
        group_->removeButton(b);
        delete b;
    }
    buttons_.clear();
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        group_->addButton(b, i);
        layout_->addWidget(b, i, 0);
        buttons_.push_back(b);
    }
}

int TRadioGroup::Index() const
{
    return group_->checkedId();
}

void TRadioGroup::SetIndex(int index)
{
    if (index >= 0 && index < Count()) {
        buttons_[static_cast<std::size_t>(index)]->setChecked(true);
        return;
    }
    // An exclusive group cannot uncheck its last button.
    group_->setExclusive(false);
    for (QRadioButton* b : buttons_)
        b->setChecked(false);
    group_->setExclusive(true);
}

QRadioButton* TRadioGroup::Button(int index) const
{
    return index >= 0 && index < Count() ? buttons_[static_cast<std::size_t>(index)] : nullptr;
}

void TRadioGroup::SetTrailing(int index, QWidget* widget)
{
    widget->setParent(this);
    layout_->addWidget(widget, index, 1);
}

QRadioButton* TRadioGroup::Checked() const
{
    return Button(Index());
}

TLevelRows::TLevelRows(const QString& title, const QStringList& rows, QWidget* parent)
    : QGroupBox(title, parent)
{
    auto* grid = new QGridLayout(this);
    for (int r = 0; r < rows.size(); ++r) {
        Row row;
        auto* caption = new QLabel(rows[r], this);
        row.caption = caption;
        grid->addWidget(caption, r, 0);
        auto* group = new QButtonGroup(this);
        const char* texts[3] = {"High", "Low", "Don't care"};
        for (int b = 0; b < 3; ++b) {
            row.buttons[b] = new QRadioButton(QString::fromLatin1(texts[b]), this);
            group->addButton(row.buttons[b], b);
            grid->addWidget(row.buttons[b], r, b + 1);
        }
        row.buttons[kRowDontCare]->setChecked(true);
        rows_.push_back(row);
    }
}

std::uint8_t TLevelRows::Level(int row) const
{
    const Row& r = rows_.at(static_cast<std::size_t>(row));
    for (std::uint8_t b = 0; b < 3; ++b)
        if (r.buttons[b]->isChecked())
            return b;
    return kRowDontCare;
}

void TLevelRows::SetLevel(int row, std::uint8_t level)
{
    rows_.at(static_cast<std::size_t>(row))
        .buttons[level < 3 ? level : static_cast<std::uint8_t>(kRowDontCare)]
        ->setChecked(true);
}

void TLevelRows::SetRowVisible(int row, bool visible)
{
    Row& r = rows_.at(static_cast<std::size_t>(row));
    r.caption->setVisible(visible);
    for (QRadioButton* b : r.buttons)
        b->setVisible(visible);
}

QRadioButton* TLevelRows::Button(int row, std::uint8_t level) const
{
    return rows_.at(static_cast<std::size_t>(row)).buttons[level];
}

void ShowCommandMessage(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, QStringLiteral("Quenor"), text);
}

int ChosenItem(const QComboBox* box)
{
    return box->findText(box->currentText(), Qt::MatchExactly);
}

void SetChoice(QComboBox* box, int index, const QString& text)
{
    if (index >= 0 && index < box->count()) {
        box->setCurrentIndex(index);
        if (box->isEditable())
            box->setEditText(box->itemText(index));
        return;
    }
    box->setCurrentIndex(-1);
    if (box->isEditable())
        box->setEditText(text);
}

TCommandDialog::TCommandDialog(QWidget* parent)
    : QDialog(parent)
{
    showMessage = [this](const QString& text) { ShowCommandMessage(this, text); };
}

void TCommandDialog::accept()
{
    const CommandCheck check = Check();
    if (check) {
        if (showMessage)
            showMessage(QString::fromStdString(check.message));
        QWidget* w = FieldWidget(check.field);
        if (auto* group = qobject_cast<TRadioGroup*>(w))
            w = group->Checked() ? group->Checked() : group->Button(0);
        if (w)
            w->setFocus(Qt::OtherFocusReason);
        Refused(check.field);
        return;
    }
    QDialog::accept();
}

QWidget* TCommandDialog::MakeButtons(QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    auto* ok = new QPushButton(QStringLiteral("OK"), row);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), row);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    layout->addWidget(ok);
    layout->addWidget(cancel);
    connect(ok, &QPushButton::clicked, this, &TCommandDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &TCommandDialog::reject);
    return row;
}

}  // namespace quenor
