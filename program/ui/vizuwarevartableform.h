#pragma once
// The list of the program's variables: system variables are shown, user
// variables can be added, edited and removed.

#include "program/ui/vizuwarevarform.h"

#include <QDialog>

#include <functional>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quenor {

class TVizuVarTable;
struct SVarElem;

class TVizuWareVarTable : public QDialog {
    Q_OBJECT
public:
    explicit TVizuWareVarTable(QWidget* parent = nullptr);

    // The table to show and edit (not owned); nullptr shows nothing.
    void SetTable(TVizuVarTable* table);
    void FillList();

    void AddClick();
    void EditClick();
    void RemoveClick();

    TVizuWareVar& VarDialog() { return *varDialog_; }
    QTreeWidget* VarList() const { return varList_; }
    QPushButton* AddButton() const { return addButton_; }
    QPushButton* EditButton() const { return editButton_; }
    QPushButton* RemoveButton() const { return removeButton_; }

    // How the variable dialog is run and messages are shown; tests replace them.
    std::function<int(TVizuWareVar&)> runVarDialog;
    std::function<void(const QString&)> showMessage;

    // The texts of the type column.
    static QString TypeText(int sizeType);

private:
    // The selected user variable's name; false for none or a system variable.
    bool SelectedUserVariable(std::string& name) const;
    // The variable the dialog describes; false (with a message) when the
    // location cannot be taken.
    bool VariableFromDialog(SVarElem& variable);

    TVizuVarTable* table_ = nullptr;
    TVizuWareVar* varDialog_;
    QTreeWidget* varList_;
    QPushButton* addButton_;
    QPushButton* editButton_;
    QPushButton* removeButton_;
    QPushButton* loadButton_;
    QPushButton* saveButton_;
    QPushButton* closeButton_;
};

}  // namespace quenor
