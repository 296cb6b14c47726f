#include "app/ui/moduledialogs.h"

#include "app/ui/modalresult.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace quenor {

namespace {

QLabel* AddLabel(QWidget* parent, const QString& text, int x, int y)
{
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setGeometry(x, y, 76, 21);
    return l;
}

QComboBox* AddList(QWidget* parent, const char* name, const QStringList& items, int x, int y)
{
    auto* cb = new QComboBox(parent);
    cb->setObjectName(QString::fromLatin1(name));
    cb->setEditable(false);
    cb->addItems(items);
    cb->setMaxVisibleItems(16);
    cb->setCurrentIndex(-1);
    cb->setGeometry(x, y, 121, 24);
    return cb;
}

QStringList Texts(std::span<const char* const> texts)
{
    QStringList out;
    for (const char* t : texts)
        out.push_back(QString::fromLatin1(t));
    return out;
}

QStringList Numbers(int first, int count)
{
    QStringList out;
    for (const std::string& t : NumberTexts(first, count))
        out.push_back(QString::fromStdString(t));
    return out;
}

void AddButtons(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel, int y)
{
    ok = new QPushButton(QStringLiteral("&Ok"), dialog);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setGeometry(dialog->width() / 2 - 83, y, 75, 25);
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("&Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    cancel->setGeometry(dialog->width() / 2 + 8, y, 75, 25);
    QObject::connect(ok, &QPushButton::clicked, dialog, [dialog] { dialog->done(kMrOk); });
    QObject::connect(cancel, &QPushButton::clicked, dialog, [dialog] { dialog->done(kMrCancel); });
}

}  // namespace

TfrmDeviceNetParameters::TfrmDeviceNetParameters(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmDeviceNetParameters"));
    setWindowTitle(QStringLiteral("DeviceNet Parameters"));
    setFixedSize(240, 125);
    AddLabel(this, QStringLiteral("Baudrate"), 16, 16);
    cbBaudrate = AddList(this, "cbBaudrate", Texts(kDeviceNetBaudTexts), 100, 14);
    AddLabel(this, QStringLiteral("Node ID:"), 16, 50);
    cbNode = AddList(this, "cbNode", Numbers(0, kDeviceNetNodeCount), 100, 48);
    AddButtons(this, btnOk, btnCancel, 88);
    for (QComboBox* cb : {cbBaudrate, cbNode})
        connect(cb, &QComboBox::currentIndexChanged, this, &TfrmDeviceNetParameters::UpdateOk);
    UpdateOk();
}

void TfrmDeviceNetParameters::SetChoice(const DeviceNetChoice& choice)
{
    cbBaudrate->setCurrentIndex(ListPreset(choice.baudIndex, cbBaudrate->count()));
    cbNode->setCurrentIndex(ListPreset(choice.nodeIndex, cbNode->count()));
    UpdateOk();
}

DeviceNetChoice TfrmDeviceNetParameters::Choice() const
{
    return {cbBaudrate->currentIndex(), cbNode->currentIndex()};
}

void TfrmDeviceNetParameters::UpdateOk()
{
    const int indexes[] = {cbBaudrate->currentIndex(), cbNode->currentIndex()};
    btnOk->setEnabled(AllSelected(indexes));
}

TfrmFSSetup::TfrmFSSetup(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmFSSetup"));
    setWindowTitle(QStringLiteral("VekMS Setup"));
    setFixedSize(240, 159);
    AddLabel(this, QStringLiteral("Baudrate"), 16, 16);
    cbBaudrate = AddList(this, "cbBaudrate", Texts(kFsBaudTexts), 100, 14);
    AddLabel(this, QStringLiteral("Address"), 16, 50);
    cbAddress = AddList(this, "cbAddress", Numbers(kFsAddressFirst, kFsAddressCount), 100, 48);
    AddLabel(this, QStringLiteral("Group ID"), 16, 84);
    cbGroupID = AddList(this, "cbGroupID", Numbers(0, kFsGroupCount), 100, 82);
    AddButtons(this, btnOk, btnCancel, 122);
    for (QComboBox* cb : {cbBaudrate, cbAddress, cbGroupID})
        connect(cb, &QComboBox::currentIndexChanged, this, &TfrmFSSetup::UpdateOk);
    UpdateOk();
}

void TfrmFSSetup::SetChoice(const FsChoice& choice)
{
    cbBaudrate->setCurrentIndex(ListPreset(choice.baudIndex, cbBaudrate->count()));
    cbAddress->setCurrentIndex(ListPreset(choice.addressIndex, cbAddress->count()));
    cbGroupID->setCurrentIndex(ListPreset(choice.groupIndex, cbGroupID->count()));
    UpdateOk();
}

FsChoice TfrmFSSetup::Choice() const
{
    return {cbBaudrate->currentIndex(), cbAddress->currentIndex(), cbGroupID->currentIndex()};
}

void TfrmFSSetup::UpdateOk()
{
    const int indexes[] = {cbBaudrate->currentIndex(), cbAddress->currentIndex(), cbGroupID->currentIndex()};
    btnOk->setEnabled(AllSelected(indexes));
}

std::optional<DeviceNetChoice> EditDeviceNetParameters(TfrmDeviceNetParameters& dialog, std::uint8_t nodeSetting,
                                                       std::uint8_t baudSetting)
{
    dialog.SetChoice(DeviceNetPreset(nodeSetting, baudSetting));
    if (dialog.exec() != kMrOk)
        return std::nullopt;
    const DeviceNetChoice choice = dialog.Choice();
    const int indexes[] = {choice.baudIndex, choice.nodeIndex};
    if (!AllSelected(indexes))
        return std::nullopt;
    return choice;
}

std::optional<std::array<std::uint8_t, 3>> EditFsSetup(TfrmFSSetup& dialog, std::uint8_t baudCode, std::uint8_t address,
                                                       std::uint8_t groupId)
{
    dialog.SetChoice(FsPreset(baudCode, address, groupId));
    if (dialog.exec() != kMrOk)
        return std::nullopt;
    return FsSetupBytes(dialog.Choice());
}

}  // namespace quenor
