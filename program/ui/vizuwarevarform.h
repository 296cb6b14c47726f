#pragma once
// The single-variable editor: name, type and either a fixed location or "Auto".

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace quenor {

class TVizuWareVar : public QDialog {
    Q_OBJECT
public:
    explicit TVizuWareVar(QWidget* parent = nullptr);

    QString Name() const;
    void SetName(const QString& name);
    // 0 "8 bit", 1 "16 bit", 2 "32 bit".
    int TypeIndex() const;
    void SetTypeIndex(int index);
    bool LocationChecked() const;
    // Checked: the edit is enabled and emptied; unchecked: disabled, "Auto".
    void SetLocationChecked(bool checked);
    // Checks the box and shows this location.
    void SetLocation(int location);
    QString LocationText() const;
    // The typed location when the box is checked and the text is a number from
    // 0 to 255; nothing otherwise.
    std::optional<int> Location() const;
    // Empty when the input can be taken, else the reason.
    QString Validate() const;

    // How messages are shown; tests replace it.
    std::function<void(const QString&)> showMessage;

    QLineEdit* NameEdit() const { return nameEdit_; }
    QComboBox* TypeComboBox() const { return typeComboBox_; }
    QCheckBox* LocationCheckBox() const { return locationCheckBox_; }
    QLineEdit* LocationEdit() const { return locationEdit_; }

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void LocationClick(bool checked);
    void MatchLocationEdit();

    QLineEdit* nameEdit_;
    QComboBox* typeComboBox_;
    QCheckBox* locationCheckBox_;
    QLineEdit* locationEdit_;
};

// The message box the dialogs show by default.
void ShowVariableMessage(QWidget* parent, const QString& text);

}  // namespace quenor
