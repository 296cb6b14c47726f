// The logic module's page.

#include "app/ui/formatpage.h"

#include "platform/cp1252.h"
#include "platform/datapaths.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace quenor {

namespace {

QLabel* Label(QWidget* parent, const QString& text, int x, int y, int w, const char* name = nullptr)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, 16);
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    return l;
}

QLabel* Lamp(QWidget* parent, const QString& text, int x, int y, const QString& name)
{
    QLabel* l = Label(parent, text, x, y, 50);
    l->setObjectName(name);
    l->setEnabled(false);
    return l;
}

}  // namespace

TSeqletPage::TSeqletPage(ModuleRequests& requests, QWidget* parent) : QWidget(parent), requests_(requests)
{
    auto* box = new QGroupBox(QStringLiteral("VekMR Seqlet"), this);
    box->setGeometry(8, 8, 640, 420);

    Label(box, QStringLiteral("Standard formats"), 12, 22, 150);
    lbFormats = new QListWidget(box);
    lbFormats->setObjectName(QStringLiteral("lbFormats"));
    lbFormats->setGeometry(12, 40, 150, 170);
    connect(lbFormats, &QListWidget::itemClicked, this, [this] { lbFormatsClick(); });
    connect(lbFormats, &QListWidget::currentRowChanged, this, [this] { lbFormatsClick(); });

    Label(box, QStringLiteral("Description"), 172, 22, 150);
    meDescription = new QPlainTextEdit(box);
    meDescription->setObjectName(QStringLiteral("meDescription"));
    meDescription->setReadOnly(true);
    meDescription->setGeometry(172, 40, 280, 170);

    btnDownloadFormat = new QPushButton(QStringLiteral("Download standard format"), box);
    btnDownloadFormat->setObjectName(QStringLiteral("btnDownloadFormat"));
    btnDownloadFormat->setGeometry(12, 218, 180, 25);
    connect(btnDownloadFormat, &QPushButton::clicked, this, [this] { btnDownloadFormatClick(); });

    cbPowerupHoming = new QCheckBox(QStringLiteral("Power-up zero search"), box);
    cbPowerupHoming->setObjectName(QStringLiteral("cbPowerupHoming"));
    cbPowerupHoming->setGeometry(204, 220, 180, 20);

    Label(box, QStringLiteral("Custom file:"), 12, 254, 150);
    edCustomSeqletFormat = new QLineEdit(box);
    edCustomSeqletFormat->setObjectName(QStringLiteral("edCustomSeqletFormat"));
    edCustomSeqletFormat->setGeometry(12, 272, 410, 21);
    btnSeqletBrowse = new QPushButton(QStringLiteral("..."), box);
    btnSeqletBrowse->setObjectName(QStringLiteral("btnSeqletBrowse"));
    btnSeqletBrowse->setGeometry(426, 271, 26, 23);
    connect(btnSeqletBrowse, &QPushButton::clicked, this, [this] { btnSeqletBrowseClick(); });
    btnDownloadCustom = new QPushButton(QStringLiteral("Download custom format"), box);
    btnDownloadCustom->setObjectName(QStringLiteral("btnDownloadCustom"));
    btnDownloadCustom->setGeometry(12, 300, 180, 25);
    connect(btnDownloadCustom, &QPushButton::clicked, this, [this] { btnDownloadCustomClick(); });

    Label(box, QStringLiteral("Module address:"), 12, 340, 110);
    edMRAddress = new QLineEdit(QStringLiteral("255"), box);
    edMRAddress->setObjectName(QStringLiteral("edMRAddress"));
    edMRAddress->setGeometry(124, 338, 60, 21);

    auto* current = new QGroupBox(QStringLiteral("Current setup"), box);
    current->setGeometry(462, 22, 166, 390);
    Label(current, QStringLiteral("Format:"), 10, 22, 70);
    lblFormat = Label(current, QStringLiteral("?"), 86, 22, 70, "lblFormat");
    Label(current, QStringLiteral("Version:"), 10, 42, 70);
    lblVersion = Label(current, QStringLiteral("?"), 86, 42, 70, "lblVersion");
    auto* powerup = Label(current, QStringLiteral("Power-up zero search:"), 10, 62, 146);
    powerup->setWordWrap(false);
    lblCurrentPowerup = Label(current, QStringLiteral("?"), 86, 80, 70, "lblCurrentPowerup");
    Label(current, QStringLiteral("Running:"), 10, 100, 70);
    lblSeqletRun = Label(current, QStringLiteral("?"), 86, 100, 70, "lblSeqletRun");

    auto* inputs = new QGroupBox(QStringLiteral("Inputs"), current);
    inputs->setGeometry(10, 124, 146, 86);
    for (int i = 0; i < 6; ++i)
        lblSeqletIN[static_cast<std::size_t>(i)] = Lamp(inputs, QStringLiteral("IN%1").arg(i + 1), 10 + 66 * (i / 3),
                                                        20 + 20 * (i % 3), QStringLiteral("lblSeqletIN%1").arg(i + 1));
    auto* outputs = new QGroupBox(QStringLiteral("Outputs"), current);
    outputs->setGeometry(10, 216, 146, 66);
    for (int i = 0; i < 4; ++i)
        lblSeqletOUT[static_cast<std::size_t>(i)] =
            Lamp(outputs, QStringLiteral("OUT%1").arg(i + 1), 10 + 66 * (i / 2), 20 + 20 * (i % 2),
                 QStringLiteral("lblSeqletOUT%1").arg(i + 1));

    Label(current, QStringLiteral("Current state:"), 10, 292, 90);
    lblSeqletState = Label(current, QStringLiteral("Unknown"), 100, 292, 60, "lblSeqletState");
    Label(current, QStringLiteral("Motor Com:"), 10, 312, 90);
    lblMotorCom = Label(current, QStringLiteral("Unknown"), 100, 312, 60, "lblMotorCom");

    prompts.loadError = [](const QString& text, const QString& caption) {
        QMessageBox::warning(nullptr, caption, text);
    };
    prompts.error = [this](const QString& text, const QString& caption) {
        QMessageBox::critical(window(), caption, text);
    };
    prompts.openFileName = [this] {
        return QFileDialog::getOpenFileName(window(), QString(), edCustomSeqletFormat->text(),
                                            QStringLiteral("Seqlet formats (*.MRF *.mrf);;All files (*)"));
    };
}

std::vector<std::string> TSeqletPage::DefaultFormatFolders()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/VekMR");
    return {beside.toStdString(), UserDataFile("VekMR")};
}

void TSeqletPage::LoadFormatList(const std::vector<std::string>& folders)
{
    FormatList list = quenor::LoadFormatList(folders);
    for (const FormatLoadError& e : list.failures)
        if (prompts.loadError)
            prompts.loadError(QString::fromStdString(e.text), QStringLiteral("Seqlet format load error"));
    formats_ = std::move(list.formats);
    lbFormats->clear();
    for (const TSeqletFormat& f : formats_)
        lbFormats->addItem(QString::fromStdString(FormatListLine(f)));
}

void TSeqletPage::ShowModuleSetup(const ModuleSetupView& view)
{
    if (view.seqletFormat)
        lblFormat->setText(FromCp1252(*view.seqletFormat));
    if (view.seqletVersion)
        lblVersion->setText(FromCp1252(*view.seqletVersion));
    if (view.seqletPowerup)
        lblCurrentPowerup->setText(FromCp1252(*view.seqletPowerup));
    if (view.seqletAddress)
        edMRAddress->setText(FromCp1252(*view.seqletAddress));
}

void TSeqletPage::OnModuleIO(std::span<const std::uint8_t> block)
{
    const ModuleIoView v = DecodeModuleIo(block);
    for (std::size_t i = 0; i < v.inputs.size(); ++i)
        lblSeqletIN[i]->setEnabled(v.inputs[i]);
    for (std::size_t i = 0; i < v.outputs.size(); ++i)
        lblSeqletOUT[i]->setEnabled(v.outputs[i]);
    lblSeqletState->setText(QString::fromStdString(v.state));
    lblSeqletRun->setText(QString::fromStdString(v.running));
    requests_.ClearModuleIoPending();
}

void TSeqletPage::lbFormatsClick()
{
    const int row = lbFormats->currentRow();
    if (row < 0 || row >= static_cast<int>(formats_.size()))
        return;  // nothing selected
    meDescription->setPlainText(FromCp1252(formats_[static_cast<std::size_t>(row)].Description()));
}

void TSeqletPage::btnDownloadFormatClick()
{
    const int row = lbFormats->currentRow();
    if (row < 0 || row >= static_cast<int>(formats_.size()))
        return;
    DownloadSeqletFormat(formats_[static_cast<std::size_t>(row)], cbPowerupHoming->isChecked());
}

void TSeqletPage::btnSeqletBrowseClick()
{
    if (!prompts.openFileName)
        return;
    const QString name = prompts.openFileName();
    if (!name.isEmpty())
        edCustomSeqletFormat->setText(name);
}

void TSeqletPage::btnDownloadCustomClick()
{
    custom_.reset();
    const QString name = edCustomSeqletFormat->text();
    auto format = std::make_unique<TSeqletFormat>();
    try {
        format->LoadFromFile(name.toStdString());
    } catch (const FormatLoadError& e) {
        // A file that was not read at all says why, as a setup file does; the
        // parser's own text is not shown.
        const std::string reason = e.readFault.empty() ? std::string() : "\nError: " + e.readFault;
        if (prompts.error)
            prompts.error(QStringLiteral("Error loading format file\n<") + name + QStringLiteral(">") +
                              QString::fromStdString(reason),
                          QStringLiteral("Error"));
        return;
    }
    custom_ = std::move(format);
    DownloadSeqletFormat(*custom_, cbPowerupHoming->isChecked());
}

bool TSeqletPage::DownloadSeqletFormat(const TSeqletFormat& format, bool powerUp)
{
    const int address = ParseModuleAddress(edMRAddress->text().toStdString());
    return quenor::DownloadSeqletFormat(requests_, format, powerUp, address);
}

}  // namespace quenor
