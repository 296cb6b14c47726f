#pragma once
// The logic module's page (tab "VekMR"): the standard formats with their
// descriptions, the download of a standard or custom format with the module
// address and the power-up zero search choice, and the module's current setup
// and inputs and outputs.

#include "app/moduleblocks.h"
#include "app/seqletformat.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace quenor {

// The page's message boxes and file dialog; the program shows real ones,
// tests answer directly.
struct FormatPagePrompts {
    // A standard format that failed to load (no owner, exclamation icon).
    std::function<void(const QString& text, const QString& caption)> loadError;
    std::function<void(const QString& text, const QString& caption)> error;
    // The file to download as a custom format; empty: cancelled.
    std::function<QString()> openFileName;
};

class TSeqletPage : public QWidget {
    Q_OBJECT
public:
    explicit TSeqletPage(ModuleRequests& requests, QWidget* parent = nullptr);
    static QString Caption() { return QStringLiteral("VekMR"); }

    FormatPagePrompts prompts;

    // Start-up: the standard formats from the first existing folder of
    // DefaultFormatFolders (or the folders given).
    void LoadFormatList(const std::vector<std::string>& folders);
    static std::vector<std::string> DefaultFormatFolders();
    const std::vector<TSeqletFormat>& Formats() const { return formats_; }
    const TSeqletFormat* CustomFormat() const { return custom_.get(); }

    // The module's information block and I/O block (the latter hands the
    // pending flag back, so the next block is posted).
    void ShowModuleSetup(const ModuleSetupView& view);
    void OnModuleIO(std::span<const std::uint8_t> block);

    // The handlers.
    void lbFormatsClick();
    void btnDownloadFormatClick();
    void btnSeqletBrowseClick();
    void btnDownloadCustomClick();
    bool DownloadSeqletFormat(const TSeqletFormat& format, bool powerUp);

    QListWidget* lbFormats = nullptr;
    QPlainTextEdit* meDescription = nullptr;
    QPushButton* btnDownloadFormat = nullptr;
    QCheckBox* cbPowerupHoming = nullptr;
    QLineEdit* edCustomSeqletFormat = nullptr;
    QPushButton* btnSeqletBrowse = nullptr;
    QPushButton* btnDownloadCustom = nullptr;
    QLineEdit* edMRAddress = nullptr;
    QLabel* lblFormat = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCurrentPowerup = nullptr;
    QLabel* lblSeqletRun = nullptr;
    QLabel* lblSeqletState = nullptr;
    QLabel* lblMotorCom = nullptr;
    std::array<QLabel*, 6> lblSeqletIN{};
    std::array<QLabel*, 4> lblSeqletOUT{};

private:
    ModuleRequests& requests_;
    std::vector<TSeqletFormat> formats_;
    std::unique_ptr<TSeqletFormat> custom_;
};

}  // namespace quenor
