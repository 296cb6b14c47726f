#include "update/ui/frmquenorupdate.h"

#include "app/ui/modalresult.h"
#include "platform/cp1252.h"
#include "platform/qtmessagetarget.h"
#include "update/ui/proxylogin.h"

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>

namespace quenor {

TfrmQuenorUpdate::TfrmQuenorUpdate(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmQuenorUpdate"));
    setWindowTitle(QStringLiteral("Quenor Updater"));
    setFixedSize(441, 401);

    auto label = [this](const QString& text, int x, int y, int w) {
        auto* l = new QLabel(text, this);
        l->setGeometry(x, y, w, 17);
        return l;
    };
    label(QStringLiteral("Current Quenor version:"), 8, 8, 150);
    lblCurrentVersion = label(QString(), 160, 8, 200);
    lblCurrentVersion->setObjectName(QStringLiteral("lblCurrentVersion"));

    label(QStringLiteral("Status"), 8, 32, 200);
    lbStatus = new QListWidget(this);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    lbStatus->setGeometry(8, 50, 425, 80);

    label(QStringLiteral("Release notes:"), 8, 138, 200);
    meRelNotes = new QPlainTextEdit(this);
    meRelNotes->setObjectName(QStringLiteral("meRelNotes"));
    meRelNotes->setGeometry(8, 156, 425, 160);
    meRelNotes->setReadOnly(true);
    meRelNotes->setLineWrapMode(QPlainTextEdit::NoWrap);
    meRelNotes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette p = meRelNotes->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    meRelNotes->setPalette(p);

    label(QStringLiteral("Download progess"), 8, 324, 200);
    pbDownload = new QProgressBar(this);
    pbDownload->setObjectName(QStringLiteral("pbDownload"));
    pbDownload->setGeometry(8, 342, 425, 17);
    pbDownload->setRange(0, 100);
    pbDownload->setValue(0);

    btnUpdate = new QPushButton(QStringLiteral("&Download && Install"), this);
    btnUpdate->setObjectName(QStringLiteral("btnUpdate"));
    btnUpdate->setGeometry(8, 368, 150, 25);
    btnUpdate->setEnabled(false);
    connect(btnUpdate, &QPushButton::clicked, this, &TfrmQuenorUpdate::btnUpdateClick);

    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(358, 368, 75, 25);
    connect(btnClose, &QPushButton::clicked, this, &TfrmQuenorUpdate::btnCloseClick);

    const UpdateSettings settings = ReadUpdateSettings();
    source_.programUrl = settings.programUrl;
    source_.programDir = QCoreApplication::applicationDirPath().toStdString();
    source_.options = UpdateHttpOptions(settings);
    source_.version = GetOwnVersionInfo();

    AskUpdateReady = [this] {
        const auto answer = QMessageBox::question(
            this, QStringLiteral("Update ready"),
            QStringLiteral("The new version is downloaded\nQuenor will now close and the new version will start in a few seconds"),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
        return answer == QMessageBox::Ok;
    };
    AskProxy = [this](ProxyPrompt& prompt) { AnswerProxyPrompt(this, prompt); };
}

TfrmQuenorUpdate::~TfrmQuenorUpdate() { StopThread(); }

void TfrmQuenorUpdate::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())  // not when the window system merely shows it again
        FormShow();
}

void TfrmQuenorUpdate::FormShow()
{
    // The thread works with the program's folder by its full name; the
    // process's current folder is left alone.
    lbStatus->clear();
    meRelNotes->clear();
    pbDownload->setValue(0);
    btnUpdate->setEnabled(false);

    const std::uint32_t ms = source_.version.productVersionMS;
    QString version = QString::number(ms >> 16) + QLatin1Char('.') + QString::number(ms & 0xFFFF);
    if (source_.version.fileFlags & 1)
        version += QString::fromUtf8(" \xC3\x9F");
    lblCurrentVersion->setText(version);

    StopThread();
    const int generation = ++generation_;
    target_ = new QtMessageTarget(
        [this, generation](const Message& m) {
            if (generation == generation_)
                Dispatch(m);
        },
        this);
    thread_ = std::make_unique<TWebUpdate2>(target_, source_.programUrl, source_.programDir, source_.options);
    thread_->Resume();
}

void TfrmQuenorUpdate::StopThread()
{
    if (thread_) {
        thread_->Stop();
        thread_.reset();
    }
    // Messages the old thread left in the queue are ignored, then dropped with
    // their receiver (later: this may run inside one of its deliveries).
    ++generation_;
    if (target_) {
        target_->deleteLater();
        target_ = nullptr;
    }
}

void TfrmQuenorUpdate::Dispatch(const Message& m)
{
    if (m.msg == UM_PROGRAMUPDATE)
        OnUpdateStatus(m.wParam, m.lParam, m.text);
    else if (m.msg == UM_PROXYCREDENTIALS && thread_ && AskProxy)
        AskProxy(thread_->Prompt());
}

void TfrmQuenorUpdate::AddStatus(const QString& line)
{
    lbStatus->addItem(line);
    lbStatus->scrollToBottom();
}

void TfrmQuenorUpdate::OnUpdateStatus(std::int64_t code, std::int64_t value, const std::string& text)
{
    switch (code) {
    case kUpdateFetching:
        AddStatus(QStringLiteral("Downloading release notes from the Internet"));
        break;
    case kUpdateReleaseReady: {
        if (!thread_)
            break;
        const std::string notes = thread_->GetReleaseText();
        QStringList lines;
        std::size_t start = 0;
        for (;;) {
            std::size_t end = notes.find('\n', start);
            std::string line = notes.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines << FromCp1252(line);
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        meRelNotes->setUpdatesEnabled(false);
        meRelNotes->setPlainText(lines.join(QLatin1Char('\n')));
        meRelNotes->setUpdatesEnabled(true);
        meRelNotes->moveCursor(QTextCursor::Start);
        const bool beta = source_.version.fileFlags & 1;
        if (ReleaseOffered(thread_->ReleaseVersion(), OwnReleaseVersion(source_.version.productVersionMS), beta)) {
            AddStatus(QStringLiteral("New Quenor version avaible !!"));
            btnUpdate->setEnabled(true);
        } else {
            AddStatus(QStringLiteral("No updates avaible"));
        }
        break;
    }
    case kUpdateFailed:
        AddStatus(QStringLiteral("Internet update failed"));
        break;
    case kUpdateProgress:
        pbDownload->setValue(static_cast<int>(value < 0 ? 0 : value > 100 ? 100 : value));
        break;
    case kUpdateDone:
        AddStatus(QStringLiteral("Update downloaded successfully"));
        if (AskUpdateReady && AskUpdateReady()) {
            done(kMrOk);
        } else if (thread_) {
            // The program stays; the download may be asked for again.
            thread_->TerminateUpdater();
            btnUpdate->setEnabled(true);
        }
        break;
    case kUpdateError:
        AddStatus(QStringLiteral("Error: ") + FromCp1252(text));
        break;
    default:
        break;
    }
}

void TfrmQuenorUpdate::btnUpdateClick()
{
    if (!thread_)
        return;
    // One download per request: the button comes back with the next offer only.
    btnUpdate->setEnabled(false);
    thread_->StartDownload();
}

void TfrmQuenorUpdate::btnCloseClick() { done(kMrCancel); }

void TfrmQuenorUpdate::reject() { done(kMrCancel); }

void TfrmQuenorUpdate::done(int result)
{
    StopThread();
    QDialog::done(result);
}

int ShowQuenorUpdate(QWidget* parent)
{
    TfrmQuenorUpdate dialog(parent);
    return dialog.exec();
}

}  // namespace quenor
