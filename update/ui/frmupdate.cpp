#include "update/ui/frmupdate.h"

#include "app/motorinfo.h"
#include "app/ui/relnotes.h"
#include "link/sercom.h"
#include "platform/cp1252.h"
#include "update/firmwarefile.h"
#include "update/firmwarefolders.h"
#include "update/vekload.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>

namespace quenor {

TfrmUpdate::TfrmUpdate(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(QStringLiteral("Firmware Update"));
    setFixedSize(433, 377);

    auto* lblSelect = new QLabel(QStringLiteral("Select firmware"), this);
    lblSelect->setGeometry(8, 8, 200, 16);

    lvFiles = new QTreeWidget(this);
    lvFiles->setObjectName(QStringLiteral("lvFiles"));
    lvFiles->setGeometry(8, 26, 417, 177);
    lvFiles->setColumnCount(3);
    lvFiles->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Version"), QStringLiteral("Hardware")});
    lvFiles->setRootIsDecorated(false);
    lvFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lvFiles->setColumnWidth(0, 240);
    lvFiles->setColumnWidth(1, 80);
    lvFiles->header()->setStretchLastSection(true);
    connect(lvFiles, &QTreeWidget::itemDoubleClicked, this, [this] { btnViewRelNotesClick(); });

    cbShowAll = new QCheckBox(QStringLiteral("Show all files"), this);
    cbShowAll->setObjectName(QStringLiteral("cbShowAll"));
    cbShowAll->setGeometry(8, 210, 150, 20);
    connect(cbShowAll, &QCheckBox::clicked, this, &TfrmUpdate::cbShowAllClick);

    btnViewRelNotes = new QPushButton(QStringLiteral("View Relase notes"), this);
    btnViewRelNotes->setObjectName(QStringLiteral("btnViewRelNotes"));
    btnViewRelNotes->setGeometry(295, 208, 130, 25);
    connect(btnViewRelNotes, &QPushButton::clicked, this, &TfrmUpdate::btnViewRelNotesClick);

    const struct {
        const char* caption;
        QLabel** value;
        const char* name;
        int y;
    } rows[] = {{"Loading version:", &lblLoadVersion, "lblLoadVersion", 242},
                {"Current version:", &lblCurVersion, "lblCurVersion", 262},
                {"Status:", &lblStatus, "lblStatus", 282}};
    for (const auto& r : rows) {
        auto* caption = new QLabel(QString::fromLatin1(r.caption), this);
        caption->setGeometry(8, r.y, 100, 16);
        *r.value = new QLabel(this);
        (*r.value)->setObjectName(QString::fromLatin1(r.name));
        (*r.value)->setGeometry(112, r.y, 313, 16);
    }

    btnStart = new QPushButton(QStringLiteral("&Start"), this);
    btnStart->setObjectName(QStringLiteral("btnStart"));
    btnStart->setGeometry(8, 312, 75, 25);
    btnAbort = new QPushButton(QStringLiteral("&Abort"), this);
    btnAbort->setObjectName(QStringLiteral("btnAbort"));
    btnAbort->setGeometry(91, 312, 75, 25);
    btnRS485Start = new QPushButton(QStringLiteral("RS485 Start"), this);
    btnRS485Start->setObjectName(QStringLiteral("btnRS485Start"));
    btnRS485Start->setGeometry(174, 312, 90, 25);
    btnExit = new QPushButton(QStringLiteral("&Exit"), this);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    btnExit->setGeometry(350, 312, 75, 25);
    connect(btnStart, &QPushButton::clicked, this, &TfrmUpdate::btnStartClick);
    connect(btnAbort, &QPushButton::clicked, this, &TfrmUpdate::btnAbortClick);
    connect(btnRS485Start, &QPushButton::clicked, this, &TfrmUpdate::btnRS485StartClick);
    connect(btnExit, &QPushButton::clicked, this, &TfrmUpdate::btnExitClick);

    sbInfo = new QStatusBar(this);
    sbInfo->setObjectName(QStringLiteral("sbInfo"));
    sbInfo->setGeometry(0, 355, 433, 22);
    sbInfo->setSizeGripEnabled(false);

    SetIdle(true);
    target_ = new QtMessageTarget([this](const Message& m) { Dispatch(m); }, this);
}

TfrmUpdate::~TfrmUpdate()
{
    // The loader's thread ends before the loader goes.
    if (loader_) {
        loader_->Terminate();
        loader_->Wait();
    }
}

int TfrmUpdate::Run(const FirmwareUpdateRequest& request)
{
    comIndex_ = request.comIndex;
    family_ = request.family;
    enterThroughFirmware_ = request.connected;
    moduleType_ = request.moduleType;
    subTypeFilter_ = request.subTypeFilter;
    autoStart_ = request.autoStart;
    return exec();
}

void TfrmUpdate::SetIdle(bool idle)
{
    btnStart->setEnabled(idle);
    btnExit->setEnabled(idle);
    btnAbort->setEnabled(!idle);
    btnRS485Start->setEnabled(!idle);
}

void TfrmUpdate::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    BuildList();
    sbInfo->clearMessage();
    lblCurVersion->clear();
    lblLoadVersion->clear();
    if (!shownOnce_) {
        shownOnce_ = true;
        if (firstShowHook_) {
            sbInfo->showMessage(QStringLiteral("Checking for new updates"));
            firstShowHook_(target_);
        }
    }
    if (autoStart_ && lvFiles->topLevelItemCount() > 0) {
        lvFiles->setCurrentItem(lvFiles->topLevelItem(0));
        btnStartClick();
    }
}

void TfrmUpdate::BuildList()
{
    std::vector<std::string> folders = folders_;
    if (folders.empty())
        folders = {ProgramFirmwareFolder(), UserFirmwareFolder()};
    std::vector<SFileInfo> files = ScanFirmwareFiles(folders);
    SortFirmwareFiles(files);
    FirmwareListFilter filter;
    filter.showAll = cbShowAll->isChecked();
    filter.family = family_;
    filter.moduleType = moduleType_;
    filter.subTypeFilter = subTypeFilter_;
    listed_ = FilterFirmwareFiles(files, filter);

    lvFiles->clear();
    for (const SFileInfo& f : listed_) {
        auto* item = new QTreeWidgetItem(lvFiles);
        item->setText(0, FromCp1252(f.description));
        item->setText(1, QString::fromStdString(FormatVersion(SVersion(f.version))));
        item->setText(2, QString::fromStdString(HardwareName(f.hardware, f.version)));
    }
}

void TfrmUpdate::btnStartClick()
{
    lblCurVersion->clear();
    const int row = lvFiles->currentItem() ? lvFiles->indexOfTopLevelItem(lvFiles->currentItem()) : -1;
    if (row < 0 || row >= static_cast<int>(listed_.size()) || loader_)
        return;
    std::unique_ptr<TVekLoad> loader;
    try {
        loader = std::make_unique<TVekLoad>(target_, std::make_unique<TSerCom>(comIndex_ + 1, 57600, 10000, false));
    } catch (const TSerErr&) {
        lblLoadVersion->setText(QStringLiteral("Error opening serial port"));
        lblStatus->clear();  // no "Done" of an earlier load beside this failure
        return;
    }
    loader->SetEnterThroughFirmware(enterThroughFirmware_);
    loader->SetModuleType(moduleType_);
    try {
        loader->LoadFile(listed_[static_cast<std::size_t>(row)].fileName);
    } catch (const TErr&) {
        lblLoadVersion->setText(QStringLiteral("Error loading firmware file"));
        lblStatus->clear();
        return;
    }
    lblLoadVersion->setText(FromCp1252(loader->Description()));
    loader_ = std::move(loader);
    loader_->StartLoad();
    SetIdle(false);
}

void TfrmUpdate::EndLoad()
{
    if (loader_) {
        loader_->Terminate();
        loader_->Wait();  // freed only once its thread has ended
        loader_.reset();
    }
    SetIdle(true);
}

void TfrmUpdate::btnAbortClick()
{
    EndLoad();
}

void TfrmUpdate::btnExitClick()
{
    autoStart_ = false;
    close();
}

void TfrmUpdate::btnRS485StartClick()
{
    if (loader_)
        loader_->RS485Start();
}

void TfrmUpdate::cbShowAllClick()
{
    BuildList();
}

void TfrmUpdate::btnViewRelNotesClick()
{
    QTreeWidgetItem* item = lvFiles->currentItem();
    const int row = item ? lvFiles->indexOfTopLevelItem(item) : -1;
    if (row < 0 || row >= static_cast<int>(listed_.size()))
        return;
    try {
        const FirmwareFile f = LoadFirmwareFile(listed_[static_cast<std::size_t>(row)].fileName);
        if (f.hasReleaseNotes)
            ShowReleaseNotes(FromCp1252(f.releaseNotes));
        else
            ShowBox(QMessageBox::Information, QStringLiteral("Info"),
                    QStringLiteral("Sorry, this firmware file doesn't contain any release notes"));
    } catch (const TErr&) {
        ShowBox(QMessageBox::Critical, QStringLiteral("Error!"), QStringLiteral("Error reading the file"));
    }
}

void TfrmUpdate::Dispatch(const Message& m)
{
    switch (m.msg) {
    case UM_LOADERSTATUS:
        OnLoaderStatus(static_cast<int>(m.wParam), static_cast<int>(m.lParam), m.text);
        break;
    case UM_LOADERVERSION:
        lblCurVersion->setText(QString::fromStdString(FormatVersion(SVersion(m.wParam))));
        break;
    case UM_FIRMWAREFILES:
        if (m.wParam == 1) {
            sbInfo->showMessage(QStringLiteral("No new updates"));
        } else if (m.wParam == 2) {
            // A setting that kept the check from going out says why.
            const QString text = !m.text.empty()
                                     ? QStringLiteral("Failed to connect to the internet: ") + FromCp1252(m.text)
                                     : QStringLiteral("Failed to connect to the internet");
            sbInfo->showMessage(text);
        } else if (m.wParam == 3) {
            sbInfo->showMessage(QStringLiteral("New updates found"));
            BuildList();
        }
        sbInfo->setToolTip(sbInfo->currentMessage());  // the whole text, where the bar is too narrow
        break;
    default:
        break;
    }
}

void TfrmUpdate::OnLoaderStatus(int code, int value, const std::string& errors)
{
    lblStatus->setText(QString::fromStdString(LoaderStatusText(code, value)));
    if (code == kLoaderDone || code == kLoaderFailed)
        EndLoad();
    if (code == kLoaderFailed) {
        const std::string text = UpdateFailedText(value, SplitErrorLines(errors));
        if (!text.empty())
            ShowBox(QMessageBox::Warning, QStringLiteral("Update error"), FromCp1252(text));
    }
}

void TfrmUpdate::closeEvent(QCloseEvent* event)
{
    EndLoad();  // closing aborts a running load
    QDialog::closeEvent(event);
}

void TfrmUpdate::reject()
{
    EndLoad();
    QDialog::reject();
}

void TfrmUpdate::ShowBox(QMessageBox::Icon icon, const QString& caption, const QString& text)
{
    QMessageBox box(icon, caption, text, QMessageBox::Ok, this);
    box.exec();
}

void TfrmUpdate::ShowReleaseNotes(const QString& notes)
{
    TfrmReleaseNotes dlg(this);
    dlg.meRelNotes->setPlainText(notes);
    dlg.exec();
}

}  // namespace quenor
