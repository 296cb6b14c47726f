#pragma once
// The module pages' setup dialogs: DeviceNet parameters (baud rate and node)
// and the VekMS setup (baud rate, address and group id). Drop-down lists that
// take no typing; the caller presets and reads the item indexes. "&Ok" is
// enabled only while every list has a selection.

#include "app/moduledialogs.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QPushButton;

namespace quenor {

class TfrmDeviceNetParameters : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDeviceNetParameters(QWidget* parent = nullptr);

    // Selects the items (an index outside a list leaves it without a selection).
    void SetChoice(const DeviceNetChoice& choice);
    DeviceNetChoice Choice() const;

    QComboBox* cbBaudrate = nullptr;
    QComboBox* cbNode = nullptr;
    QPushButton* btnOk = nullptr;      // modal result 1
    QPushButton* btnCancel = nullptr;  // modal result 2

private:
    void UpdateOk();
};

class TfrmFSSetup : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFSSetup(QWidget* parent = nullptr);

    void SetChoice(const FsChoice& choice);
    FsChoice Choice() const;

    QComboBox* cbBaudrate = nullptr;
    QComboBox* cbAddress = nullptr;
    QComboBox* cbGroupID = nullptr;
    QPushButton* btnOk = nullptr;      // modal result 1
    QPushButton* btnCancel = nullptr;  // modal result 2

private:
    void UpdateOk();
};

// The module pages' "Parameters..." and "Setup..." buttons: preset from what
// the module reported, show modally, and give what to send on "&Ok".
// The DeviceNet settings to send: {baud index, node}.
std::optional<DeviceNetChoice> EditDeviceNetParameters(TfrmDeviceNetParameters& dialog, std::uint8_t nodeSetting,
                                                       std::uint8_t baudSetting);
// The three VekMS setup bytes to send.
std::optional<std::array<std::uint8_t, 3>> EditFsSetup(TfrmFSSetup& dialog, std::uint8_t baudCode, std::uint8_t address,
                                                       std::uint8_t groupId);

}  // namespace quenor
