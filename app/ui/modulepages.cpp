// The field-bus modules' pages.

#include "app/ui/modulepages.h"

#include "app/ui/formatpage.h"
#include "platform/cp1252.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>
#include <QWidget>

namespace quenor {

namespace {

QLabel* Label(QWidget* parent, const QString& text, int x, int y, int w = 120, const char* name = nullptr)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, 16);
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    return l;
}

QPlainTextEdit* Memo(QWidget* parent, int x, int y, int w, int h, const char* name)
{
    auto* m = new QPlainTextEdit(parent);
    m->setObjectName(QString::fromLatin1(name));
    m->setReadOnly(true);
    m->setGeometry(x, y, w, h);
    return m;
}

QPushButton* Button(QWidget* parent, const QString& text, int x, int y, const char* name)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, 90, 25);
    return b;
}

// A status bit is shown by enabling its label.
QLabel* Lamp(QWidget* parent, const QString& text, int x, int y, const QString& name)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(x, y, 90, 16);
    l->setEnabled(false);
    return l;
}

void Append(QPlainTextEdit* memo, const std::string& text)
{
    QTextCursor c(memo->document());
    c.movePosition(QTextCursor::End);
    c.insertText(FromCp1252(text));
    memo->moveCursor(QTextCursor::End);
}

void SetIf(QLabel* label, const std::optional<std::string>& text)
{
    if (text)
        label->setText(FromCp1252(*text));
}

QWidget* Page(const char* name)
{
    auto* w = new QWidget;
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

}  // namespace

TModulePages::TModulePages(ModuleRequests& requests, ModuleSetupDialogs dialogs, QObject* parent)
    : QObject(parent), requests_(requests), dialogs_(std::move(dialogs))
{
    BuildProfi();
    BuildCanOpen();
    BuildDeviceNet();
    BuildFs();
    tsSeqlet = new TSeqletPage(requests_);
    tsSeqlet->setObjectName(QStringLiteral("tsSeqlet"));
    owned_ = {tsProfi, tsCanOpen, tsDeviceNet, tsFS, tsSeqlet};
}

TModulePages::~TModulePages()
{
    // Pages the window never adopted go with this object.
    for (const QPointer<QWidget>& page : owned_)
        if (page && !page->parent())
            delete page.data();
}


QString TModulePages::Caption(const QWidget* page)
{
    static const std::pair<const char*, const char*> kCaptions[] = {
        {"tsProfi", "VekMP"}, {"tsCanOpen", "VekMC"}, {"tsDeviceNet", "VekMD"}, {"tsFS", "VekMS"}, {"tsSeqlet", "VekMR"}};
    for (auto [name, caption] : kCaptions)
        if (page && page->objectName() == QLatin1String(name))
            return QString::fromLatin1(caption);
    return {};
}

void TModulePages::BuildProfi()
{
    tsProfi = Page("tsProfi");
    auto* box = new QGroupBox(QStringLiteral("VekMP Profi module"), tsProfi);
    box->setGeometry(8, 8, 420, 200);
    Label(box, QStringLiteral("Status:"), 12, 24, 140);
    lblProfiStatus = Label(box, QStringLiteral("?"), 160, 24, 240, "lblProfiStatus");
    Label(box, QStringLiteral("Profi Station Address:"), 12, 44, 140);
    lblProfiAddress = Label(box, QStringLiteral("?"), 160, 44, 80, "lblProfiAddress");

    auto* inputs = new QGroupBox(QStringLiteral("Inputs"), box);
    inputs->setGeometry(12, 70, 190, 120);
    const char* inNames[] = {"IN1", "IN2", "IN3", "IN4", "NL", "PL"};
    for (int i = 0; i < 6; ++i)
        lblProfiInputs[static_cast<std::size_t>(i)] =
            Lamp(inputs, QString::fromLatin1(inNames[i]), 12 + 90 * (i / 3), 24 + 28 * (i % 3),
                 QStringLiteral("lbl") + QString::fromLatin1(inNames[i]));

    auto* motor = new QGroupBox(QStringLiteral("Motor status"), box);
    motor->setGeometry(212, 70, 196, 120);
    lblInPosition = Lamp(motor, QStringLiteral("In position"), 12, 24, QStringLiteral("lblInPosition"));
    lblError = Lamp(motor, QStringLiteral("Error"), 12, 46, QStringLiteral("lblError"));
    lblAccelerating = Lamp(motor, QStringLiteral("Accelerating"), 12, 68, QStringLiteral("lblAccelerating"));
    lblDecelerating = Lamp(motor, QStringLiteral("Decelerating"), 12, 90, QStringLiteral("lblDecelerating"));
}

void TModulePages::BuildCanOpen()
{
    tsCanOpen = Page("tsCanOpen");
    Label(tsCanOpen, QStringLiteral("Station address:"), 8, 12, 110);
    lblStationAddr = Label(tsCanOpen, QStringLiteral("?"), 120, 12, 80, "lblStationAddr");
    Label(tsCanOpen, QStringLiteral("Baudrate:"), 8, 32, 110);
    lblBaudrate = Label(tsCanOpen, QStringLiteral("?"), 120, 32, 120, "lblBaudrate");
    Label(tsCanOpen, QStringLiteral("Debug information"), 8, 60, 200);
    meCanOpenDebug = Memo(tsCanOpen, 8, 78, 420, 200, "meCanOpenDebug");
    btnDebugClear = Button(tsCanOpen, QStringLiteral("Clear"), 8, 286, "btnDebugClear");
    connect(btnDebugClear, &QPushButton::clicked, this, [this] { meCanOpenDebug->clear(); });
}

void TModulePages::BuildDeviceNet()
{
    tsDeviceNet = Page("tsDeviceNet");
    lblDeviceNetPower = Label(tsDeviceNet, QStringLiteral("DeviceNet Power: ?"), 8, 12, 200, "lblDeviceNetPower");
    Label(tsDeviceNet, QStringLiteral("Baudrate:"), 8, 32, 80);
    lblDeviceNetBaudrate = Label(tsDeviceNet, QStringLiteral("?"), 90, 32, 200, "lblDeviceNetBaudrate");
    Label(tsDeviceNet, QStringLiteral("Node id:"), 8, 52, 80);
    lblDeviceNetNode = Label(tsDeviceNet, QStringLiteral("?"), 90, 52, 200, "lblDeviceNetNode");
    meDeviceNetDebug = Memo(tsDeviceNet, 8, 78, 420, 200, "meDeviceNetDebug");
    btnClearDeviceNetDebug = Button(tsDeviceNet, QStringLiteral("Clear"), 8, 286, "btnClearDeviceNetDebug");
    btnDeviceNetSetup = Button(tsDeviceNet, QStringLiteral("Parameters..."), 106, 286, "btnDeviceNetSetup");
    connect(btnClearDeviceNetDebug, &QPushButton::clicked, this, [this] { meDeviceNetDebug->clear(); });
    connect(btnDeviceNetSetup, &QPushButton::clicked, this, [this] { btnDeviceNetSetupClick(); });
}

void TModulePages::BuildFs()
{
    tsFS = Page("tsFS");
    Label(tsFS, QStringLiteral("Debug information:"), 8, 8, 200);
    meFSDebug = Memo(tsFS, 8, 26, 300, 250, "meFSDebug");
    btnFSDebugClear = Button(tsFS, QStringLiteral("Clear"), 8, 284, "btnFSDebugClear");
    connect(btnFSDebugClear, &QPushButton::clicked, this, [this] { meFSDebug->clear(); });

    auto* setup = new QGroupBox(QStringLiteral("Actual Setup"), tsFS);
    setup->setGeometry(320, 20, 200, 96);
    Label(setup, QStringLiteral("Address"), 12, 22, 70);
    lblFSAddress = Label(setup, QStringLiteral("?"), 90, 22, 100, "lblFSAddress");
    Label(setup, QStringLiteral("Baudrate"), 12, 44, 70);
    lblFSBaudrate = Label(setup, QStringLiteral("?"), 90, 44, 100, "lblFSBaudrate");
    Label(setup, QStringLiteral("GroupID"), 12, 66, 70);
    lblFSGroupID = Label(setup, QStringLiteral("?"), 90, 66, 100, "lblFSGroupID");

    auto* inputs = new QGroupBox(QStringLiteral("Inputs"), tsFS);
    inputs->setGeometry(320, 124, 200, 120);
    const char* texts[] = {"IN1", "IN2", "IN3", "IN4", "AIN"};
    const char* names[] = {"lblFSInput1", "lblFSInput2", "lblFSInput3", "lblFSInput4", "lblFSInputAIN"};
    for (int i = 0; i < 5; ++i)
        lblFSInputs[static_cast<std::size_t>(i)] =
            Lamp(inputs, QString::fromLatin1(texts[i]), 12, 22 + 18 * i, QString::fromLatin1(names[i]));

    btnFSSetup = Button(tsFS, QStringLiteral("Setup..."), 320, 252, "btnFSSetup");
    connect(btnFSSetup, &QPushButton::clicked, this, [this] { btnFSSetupClick(); });
}

bool TModulePages::HandleMessage(const Message& m)
{
    const std::span<const std::uint8_t> data(m.data);
    switch (m.msg) {
    case UM_MODULESETUP:
        OnModuleSetup(data);
        return true;
    case UM_PROFISTATUS:
        OnProfiStatus(data);
        return true;
    case UM_MODULEIO:
        OnModuleIO(data);
        return true;
    case UM_CANOPENDEBUG:
        OnCanOpenDebug(m.text);
        return true;
    case UM_MODULEDEBUG:
        OnModuleDebug(m.text);
        return true;
    case UM_DEVICENETSTATUS:
        OnDeviceNetStatus(data);
        return true;
    default:
        return false;
    }
}

ModuleSetupView TModulePages::OnModuleSetup(std::span<const std::uint8_t> block)
{
    const ModuleSetupView v = DecodeModuleSetup(block);
    SetIf(lblProfiAddress, v.profiAddress);
    SetIf(lblStationAddr, v.stationAddress);
    SetIf(lblBaudrate, v.canOpenBaudrate);
    tsSeqlet->ShowModuleSetup(v);
    if (v.bootloaderVersion)
        bootloaderVersion_ = v.bootloaderVersion;
    moduleType_ = v.moduleType;
    return v;
}

void TModulePages::OnProfiStatus(std::span<const std::uint8_t> block)
{
    const ProfiStatusView v = DecodeProfiStatus(block);
    lblProfiStatus->setText(FromCp1252(v.status));
    for (std::size_t i = 0; i < v.inputs.size(); ++i)
        lblProfiInputs[i]->setEnabled(v.inputs[i]);
    lblInPosition->setEnabled(v.inPosition);
    lblError->setEnabled(v.error);
    lblAccelerating->setEnabled(v.accelerating);
    lblDecelerating->setEnabled(v.decelerating);
    requests_.ClearProfibusPending();
}

void TModulePages::OnModuleIO(std::span<const std::uint8_t> block)
{
    tsSeqlet->OnModuleIO(block);
}

void TModulePages::OnCanOpenDebug(const std::string& text)
{
    Append(meCanOpenDebug, text);
}

void TModulePages::OnModuleDebug(const std::string& text)
{
    switch (ModuleDebugMemo(moduleType_)) {
    case DebugMemo::DeviceNet:
        Append(meDeviceNetDebug, text);
        break;
    case DebugMemo::Fs:
        Append(meFSDebug, text);
        break;
    case DebugMemo::None:
        break;  // no module that sends such texts: dropped
    }
}

void TModulePages::OnDeviceNetStatus(std::span<const std::uint8_t> block)
{
    if (moduleType_ == kModuleTypeMD) {
        const DeviceNetStatusView v = DecodeDeviceNetStatus(block);
        SetIf(lblDeviceNetPower, v.power);
        SetIf(lblDeviceNetNode, v.node);
        SetIf(lblDeviceNetBaudrate, v.baudrate);
        if (v.nodeSetting)
            deviceNetNode_ = *v.nodeSetting;
        if (v.baudSetting)
            deviceNetBaud_ = *v.baudSetting;
    } else if (moduleType_ == kModuleTypeMS) {
        fsStatus_.Assign(block);
        const FsStatusView v = DecodeFsStatus(block);
        SetIf(lblFSGroupID, v.groupId);
        SetIf(lblFSAddress, v.address);
        SetIf(lblFSBaudrate, v.baudrate);
        if (v.inputs)
            for (std::size_t i = 0; i < lblFSInputs.size(); ++i)
                lblFSInputs[i]->setEnabled((*v.inputs)[i]);
    }
}

void TModulePages::btnDeviceNetSetupClick()
{
    if (!dialogs_.deviceNet)
        return;
    if (const std::optional<DeviceNetChoice> c = dialogs_.deviceNet(DeviceNetPreset(deviceNetNode_, deviceNetBaud_)))
        requests_.RequestDeviceNetSettings(c->baudIndex, c->nodeIndex);
}

void TModulePages::btnFSSetupClick()
{
    if (!dialogs_.fs)
        return;
    if (const std::optional<FsChoice> c = dialogs_.fs(FsPresetOf(fsStatus_)))
        if (const auto bytes = FsSetupBytes(*c))
            requests_.RequestFsSetup(*bytes);
}

}  // namespace quenor
