#pragma once
// The program update dialog: shows the running version, fetches the newest
// release's notes through TWebUpdate2, offers "&Download && Install" for a
// newer release (an equal one too for a beta build) and, once the archive is
// unpacked and the updater started, asks whether Quenor may close. Modal
// result 1 means: the updater takes over, close the program.

#include "app/ownversion.h"
#include "platform/messages.h"
#include "update/webupdate.h"

#include <QDialog>
#include <functional>
#include <memory>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace quenor {

class QtMessageTarget;

class TfrmQuenorUpdate : public QDialog {
    Q_OBJECT
public:
    explicit TfrmQuenorUpdate(QWidget* parent = nullptr);
    ~TfrmQuenorUpdate() override;

    // Where the release is fetched and unpacked, and the version we are.
    // Default: the settings, the program's folder and this build's version.
    struct Source {
        std::string programUrl;
        std::string programDir;
        HttpOptions options;
        OwnVersionInfo version;
    };
    void SetSource(Source source) { source_ = std::move(source); }
    const Source& GetSource() const { return source_; }

    QLabel* lblCurrentVersion = nullptr;
    QListWidget* lbStatus = nullptr;
    QPlainTextEdit* meRelNotes = nullptr;
    QProgressBar* pbDownload = nullptr;
    QPushButton* btnUpdate = nullptr;  // "&Download && Install"
    QPushButton* btnClose = nullptr;   // "&Close"

    // The "Update ready" question; true for OK. Replaceable for tests.
    std::function<bool()> AskUpdateReady;
    // The proxy credentials question. Replaceable for tests.
    std::function<void(ProxyPrompt&)> AskProxy;

    void FormShow();
    void OnUpdateStatus(std::int64_t code, std::int64_t value, const std::string& text);
    void StopThread();
    TWebUpdate2* Thread() const { return thread_.get(); }

public slots:
    void btnUpdateClick();
    void btnCloseClick();
    void reject() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Dispatch(const Message& m);
    void AddStatus(const QString& line);

    Source source_;
    std::unique_ptr<TWebUpdate2> thread_;
    QtMessageTarget* target_ = nullptr;  // a child; one per thread
    int generation_ = 0;                 // of the current thread's target
};

// The main window's "Update program" command: shows the dialog modally and
// returns its result (1: close the program, the updater takes over).
int ShowQuenorUpdate(QWidget* parent);

}  // namespace quenor
