#pragma once
// Pieces the command dialogs share: a radio group with an index, rows of
// High / Low / "Don't care" buttons, and the dialog base that checks its input
// on OK and keeps itself open with a message when the check fails.

#include "program/commandcells.h"

#include <QDialog>
#include <QGroupBox>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QButtonGroup;
class QGridLayout;
class QRadioButton;
class QVBoxLayout;
class QComboBox;

namespace quenor {

// A group box of radio buttons; index -1 when none is checked.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);
    void SetItems(const QStringList& items);
    int Count() const
    {
        return static_cast<int>(buttons_.size());
    }
    int Index() const;
    // -1 or an index beyond the items clears the choice.
    void SetIndex(int index);
    QRadioButton* Button(int index) const;
    // A control beside the button of item index (the item's own value).
    void SetTrailing(int index, QWidget* widget);
    // The checked button, nullptr when none.
    QRadioButton* Checked() const;

signals:
    void Clicked(int index);

private:
    QButtonGroup* group_;
    QGridLayout* layout_;
    std::vector<QRadioButton*> buttons_;
};

// Rows of "High", "Low" and "Don't care" buttons under a caption per row.
class TLevelRows : public QGroupBox {
    Q_OBJECT
public:
    TLevelRows(const QString& title, const QStringList& rows, QWidget* parent = nullptr);
    int Count() const
    {
        return static_cast<int>(rows_.size());
    }
    std::uint8_t Level(int row) const;
    void SetLevel(int row, std::uint8_t level);
    void SetRowVisible(int row, bool visible);
    QRadioButton* Button(int row, std::uint8_t level) const;

private:
    struct Row {
        QWidget* caption;
        QRadioButton* buttons[3];
    };
    std::vector<Row> rows_;
};

// The message box the command dialogs show.
void ShowCommandMessage(QWidget* parent, const QString& text);

// The index of the combo box's text among its items; -1 for typed text.
int ChosenItem(const QComboBox* box);
// Selects item `index`, or shows `text` with no item chosen.
void SetChoice(QComboBox* box, int index, const QString& text);

// A command dialog: OK runs Check; a refusal shows its message, puts the
// focus on the field and keeps the dialog open. Cancel always closes.
class TCommandDialog : public QDialog {
    Q_OBJECT
public:
    explicit TCommandDialog(QWidget* parent = nullptr);

    // How messages are shown; tests replace it.
    std::function<void(const QString&)> showMessage;

public slots:
    void accept() override;

protected:
    virtual CommandCheck Check() const = 0;
    // The control of a refused field (nullptr: none).
    virtual QWidget* FieldWidget(CommandField field) const = 0;
    // Hook for a refusal beyond the focus (the binary code selects its text).
    virtual void Refused(CommandField) {}
    // The OK and Cancel row, wired to accept and reject.
    QWidget* MakeButtons(QWidget* parent);
};

}  // namespace quenor
