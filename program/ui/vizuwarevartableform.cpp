#include "program/ui/vizuwarevartableform.h"

#include "platform/cp1252.h"
#include "program/vizuvartable.h"

#include <QHBoxLayout>
#include <algorithm>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quenor {

TVizuWareVarTable::TVizuWareVarTable(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VizuWareVarTable"));
    setWindowTitle(QStringLiteral("Variables"));

    varDialog_ = new TVizuWareVar(this);

    varList_ = new QTreeWidget(this);
    varList_->setObjectName(QStringLiteral("VarList"));
    varList_->setRootIsDecorated(false);
    varList_->setSelectionMode(QAbstractItemView::SingleSelection);
    varList_->setHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Location"), QStringLiteral("System")});

    auto makeButton = [this](const char* text, const char* name) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    addButton_ = makeButton("Add", "AddButton");
    editButton_ = makeButton("Edit", "EditButton");
    removeButton_ = makeButton("Remove", "RemoveButton");
    loadButton_ = makeButton("Load list", "LoadButton");
    saveButton_ = makeButton("Save list", "SaveButton");
    closeButton_ = makeButton("Close", "CloseButton");

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {addButton_, editButton_, removeButton_, loadButton_, saveButton_})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(varList_, 1);
    layout->addLayout(buttons);

    connect(addButton_, &QPushButton::clicked, this, &TVizuWareVarTable::AddClick);
    connect(editButton_, &QPushButton::clicked, this, &TVizuWareVarTable::EditClick);
    connect(removeButton_, &QPushButton::clicked, this, &TVizuWareVarTable::RemoveClick);
    connect(closeButton_, &QPushButton::clicked, this, &TVizuWareVarTable::accept);
    connect(varList_, &QTreeWidget::itemDoubleClicked, this, [this] { EditClick(); });

    runVarDialog = [](TVizuWareVar& dialog) { return dialog.exec(); };
    showMessage = [this](const QString& text) { ShowVariableMessage(this, text); };
}

void TVizuWareVarTable::SetTable(TVizuVarTable* table)
{
    table_ = table;
    FillList();
}

QString TVizuWareVarTable::TypeText(int sizeType)
{
    switch (sizeType) {
    case kVar8: return QStringLiteral("8 bit signed");
    case kVar16: return QStringLiteral("16 bit signed");
    case kVar32: return QStringLiteral("32 bit signed");
    default: return QStringLiteral("Unknown!");
    }
}

void TVizuWareVarTable::FillList()
{
    varList_->setUpdatesEnabled(false);
    varList_->clear();
    if (table_) {
        for (const SVarElem& v : table_->Variables()) {
            auto* item = new QTreeWidgetItem(varList_);
            item->setText(0, FromCp1252(v.name));
            item->setText(1, TypeText(v.sizeType));
            item->setText(2, v.automatic ? QStringLiteral("Auto") : QString::number(v.location));
            item->setText(3, v.system ? QStringLiteral("System") : QStringLiteral("User"));
        }
    }
    for (int c = 0; c < varList_->columnCount(); ++c)
        varList_->resizeColumnToContents(c);
    varList_->setUpdatesEnabled(true);
}

bool TVizuWareVarTable::SelectedUserVariable(std::string& name) const
{
    if (!table_)
        return false;
    const QTreeWidgetItem* item = varList_->currentItem();
    if (!item || !item->isSelected())
        return false;
    name = ToCp1252(item->text(0));
    const SVarElem* v = table_->Find(name);
    return v && !v->system;
}

bool TVizuWareVarTable::VariableFromDialog(SVarElem& variable)
{
    const QString error = varDialog_->Validate();
    if (!error.isEmpty()) {
        showMessage(error);
        return false;
    }
    variable = SVarElem{};
    variable.name = ToCp1252(varDialog_->Name());
    variable.sizeType = static_cast<std::uint8_t>(std::max(varDialog_->TypeIndex(), 0));
    variable.access = 3;
    variable.system = 0;
    if (const auto location = varDialog_->Location()) {
        variable.location = static_cast<std::uint8_t>(*location);
        variable.automatic = 0;
    } else {
        variable.location = 0;
        variable.automatic = 1;
    }
    return true;
}

void TVizuWareVarTable::AddClick()
{
    if (!table_)
        return;
    varDialog_->SetName(QString());
    varDialog_->SetLocationChecked(false);
    while (runVarDialog(*varDialog_) == QDialog::Accepted) {
        SVarElem v;
        if (!VariableFromDialog(v))
            continue;
        const std::string error = table_->Add(v);
        if (error.empty()) {
            FillList();
            return;
        }
        showMessage(QStringLiteral("Unable to add variable: ") + FromCp1252(error));
    }
}

void TVizuWareVarTable::EditClick()
{
    std::string oldName;
    if (!SelectedUserVariable(oldName))
        return;
    const SVarElem old = *table_->Find(oldName);
    varDialog_->SetName(FromCp1252(old.name));
    varDialog_->SetTypeIndex(old.sizeType <= kVar32 ? old.sizeType : 0);
    if (old.automatic)
        varDialog_->SetLocationChecked(false);
    else
        varDialog_->SetLocation(old.location);
    while (runVarDialog(*varDialog_) == QDialog::Accepted) {
        SVarElem v;
        if (!VariableFromDialog(v))
            continue;
        const std::string error = table_->Replace(oldName, v);
        if (error.empty()) {
            FillList();
            return;
        }
        showMessage(QStringLiteral("Unable to edit variable: ") + FromCp1252(error));
    }
}

void TVizuWareVarTable::RemoveClick()
{
    std::string name;
    if (!SelectedUserVariable(name))
        return;
    table_->Remove(name);
    FillList();
}

}  // namespace quenor
