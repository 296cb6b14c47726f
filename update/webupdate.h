#pragma once
// The two update threads.
//
// TWebUpdate keeps the firmware files complete: it reads the update server's
// list "files4.txt" and fetches every listed firmware file that is in neither
// firmware folder, into the per-user one. It reports once, with
// UM_FIRMWARELIST: 1 nothing was missing, 2 the list could not be had, 3 at
// least one file arrived.
//
// TWebUpdate2 serves the program update dialog: it reads "releaseinfoA.txt",
// reports the release (UM_PROGRAMUPDATE 4, then 5), waits until a download is
// requested or it is stopped, then fetches the archive (6 with the percent),
// unpacks it into the program's folder, starts the updater and reports 7.
// A failure of the download, unpacking or start is reported as 8 with its
// text, then 2, and ends the thread; a failed check is 2 alone.
//
// Both threads stop promptly: Stop cancels a running transfer, checks happen
// before unpacking and before starting the updater, and nothing is reported
// after a stop. Files arrive under temporary names of ours and are renamed
// only when complete; whatever else ends a transfer (an error, a refusal, a
// stop, an exception) removes its temporary file.

#include "platform/messages.h"
#include "update/httpclient.h"
#include "update/proxyprompt.h"
#include "update/updater.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quenor {

inline constexpr int UM_FIRMWARELIST = WM_USER + 101;
inline constexpr int UM_PROGRAMUPDATE = WM_USER + 102;

enum : int {  // UM_FIRMWARELIST
    kWebNothingNew = 1,
    kWebNoConnection = 2,
    kWebNewFiles = 3,
};

enum : int {  // UM_PROGRAMUPDATE
    kUpdateFailed = 2,
    kUpdateFetching = 4,
    kUpdateReleaseReady = 5,
    kUpdateProgress = 6,
    kUpdateDone = 7,
    kUpdateError = 8,  // the text travels with the message
};

inline constexpr const char* kFileListName = "files4.txt";
inline constexpr const char* kReleaseInfoName = "releaseinfoA.txt";

// Settings "Update/FirmwareURL", "Update/ProgramURL" (https folders, each
// ending in '/') and "Update/CAFile" (trusted authorities in place of the
// system's; empty for the system's).
struct UpdateSettings {
    std::string firmwareUrl;
    std::string programUrl;
    std::string caFile;
};
UpdateSettings ReadUpdateSettings();
HttpOptions UpdateHttpOptions(const UpdateSettings& settings);

// A plain file name: not empty, at most 255 bytes, no '/', '\', ':', "..",
// control character or leading '.'.
bool IsPlainFileName(const std::string& name);
// A plain name matching "*.maf*" (case ignored).
bool IsFirmwareFileName(const std::string& name);
// Every byte but A-Z a-z 0-9 - . _ ~ as %XX.
std::string PercentEncode(const std::string& name);

// The names of a file list: lines split at LF, trimmed of blanks, tabs and
// CR, empty ones left out. Unchecked.
std::vector<std::string> ParseFileList(const std::string& text);

struct ReleaseInfo {
    std::int64_t major = 0;
    std::int64_t minor = 0;
    std::string archive;
    std::string notes;  // everything after the first LF
    std::int64_t Version() const { return (major << 8) + minor; }
};
// The first line "major.minor archive"; nullopt when a part is missing, a
// version is not a number or the archive name is not plain.
std::optional<ReleaseInfo> ParseReleaseInfo(const std::string& text);

// The program's own version for comparing with a release: the product
// version's major << 8 plus its minor.
std::int64_t OwnReleaseVersion(std::uint32_t productVersionMS);
// Whether a release is offered: newer, or equal for a beta build.
bool ReleaseOffered(std::int64_t release, std::int64_t own, bool beta);
// done * 100 / total; 100 for an empty download.
int DownloadPercent(std::int64_t done, std::int64_t total);

class TWebUpdate {
public:
    // downloadFolder gets new files (made when needed); a name present there or
    // in one of otherFolders counts as present.
    TWebUpdate(MessageTarget* target, std::string baseUrl, std::string downloadFolder,
               std::vector<std::string> otherFolders, HttpOptions options = {});
    ~TWebUpdate();  // stops
    TWebUpdate(const TWebUpdate&) = delete;
    TWebUpdate& operator=(const TWebUpdate&) = delete;

    void Resume();  // starts the check (once)
    void Stop();    // cancels, waits for the thread; posts nothing more
    bool Finished() const { return finished_.load(); }
    ProxyPrompt& Prompt() { return prompt_; }

private:
    void Execute();
    bool Fetch(THTTPClient& client, const std::string& name);

    MessageTarget* target_;
    std::string baseUrl_;
    std::string downloadFolder_;
    std::vector<std::string> otherFolders_;
    HttpOptions options_;
    ProxyPrompt prompt_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

// Makes and starts the firmware check: firmwareUrl is the folder on the server,
// userFolder receives the files, programFolder is searched too.
std::unique_ptr<TWebUpdate> StartFirmwareCheck(MessageTarget* target, const UpdateSettings& settings,
                                               const std::string& userFolder, const std::string& programFolder);

class TWebUpdate2 {
public:
    // programDir: where the archive is unpacked and the updater lies.
    TWebUpdate2(MessageTarget* target, std::string baseUrl, std::string programDir, HttpOptions options = {});
    ~TWebUpdate2();  // stops
    TWebUpdate2(const TWebUpdate2&) = delete;
    TWebUpdate2& operator=(const TWebUpdate2&) = delete;

    void Resume();         // starts the release check (once)
    void StartDownload();  // the user asked for the download
    void Stop();           // cancels, waits for the thread; posts nothing more

    // Valid once code 5 was posted.
    std::string GetReleaseText() const;
    std::int64_t ReleaseVersion() const;
    std::string ArchiveName() const;

    void TerminateUpdater() { updater_.Terminate(); }
    pid_t UpdaterPid() const { return updater_.Pid(); }
    ProxyPrompt& Prompt() { return prompt_; }

private:
    void Execute();
    bool Download(THTTPClient& client, const std::string& archive);

    MessageTarget* target_;
    std::string baseUrl_;
    std::string programDir_;
    HttpOptions options_;
    ProxyPrompt prompt_;
    UpdaterProcess updater_;

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool downloadRequested_ = false;
    std::atomic<bool> stop_{false};
    std::optional<ReleaseInfo> release_;
    std::thread thread_;
};

}  // namespace quenor
