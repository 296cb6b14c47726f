#include "update/webupdate.h"

#include "platform/savefile.h"
#include "platform/settings.h"
#include "update/unpack.h"

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace quenor {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDefaultFirmwareUrl = "https://updates.example.com/quenor/firmware/";
constexpr const char* kDefaultProgramUrl = "https://updates.example.com/quenor/program/";
// A download is written under a hidden temporary name and renamed once whole.
constexpr const char* kDownloadPrefix = ".quenor-download-";

std::string Folder(std::string url)
{
    if (!url.empty() && url.back() != '/')
        url += '/';
    return url;
}

std::string Trim(const std::string& s)
{
    const char* blanks = " \t\r";
    const auto b = s.find_first_not_of(blanks);
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(blanks);
    return s.substr(b, e - b + 1);
}

std::optional<std::int64_t> ParseNumber(const std::string& s)
{
    if (s.empty() || s.size() > 9)
        return std::nullopt;
    std::int64_t v = 0;
    for (unsigned char c : s) {
        if (!std::isdigit(c))
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Why a request did not go out when a setting kept it in; empty otherwise.
std::string SettingFault(const std::exception& e)
{
    const auto* w = dynamic_cast<const EWininet*>(&e);
    return w && w->Setting() ? std::string(e.what()) : std::string();
}

}  // namespace

UpdateSettings ReadUpdateSettings()
{
    Settings settings;
    auto read = [&](const char* name, const char* def) {
        const QVariant v = settings.Value(QString::fromLatin1(name));
        return v.isValid() ? v.toString().toStdString() : std::string(def);
    };
    UpdateSettings s;
    s.firmwareUrl = Folder(read("Update/FirmwareURL", kDefaultFirmwareUrl));
    s.programUrl = Folder(read("Update/ProgramURL", kDefaultProgramUrl));
    s.caFile = read("Update/CAFile", "");
    return s;
}

HttpOptions UpdateHttpOptions(const UpdateSettings& settings)
{
    HttpOptions o;
    o.caFile = settings.caFile;
    return o;
}

bool IsPlainFileName(const std::string& name)
{
    if (name.empty() || name.size() > 255 || name.front() == '.')
        return false;
    if (name.find("..") != std::string::npos)
        return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\' || c == ':')
            return false;
    }
    return true;
}

bool IsFirmwareFileName(const std::string& name)
{
    return IsPlainFileName(name) && Lower(name).find(".maf") != std::string::npos;
}

std::string PercentEncode(const std::string& name)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::vector<std::string> ParseFileList(const std::string& text)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string name = Trim(text.substr(start, end - start));
        if (!name.empty())
            names.push_back(std::move(name));
        start = end + 1;
    }
    return names;
}

std::optional<ReleaseInfo> ParseReleaseInfo(const std::string& text)
{
    const std::size_t lf = text.find('\n');
    const std::string line = text.substr(0, lf);
    const std::size_t dot = line.find('.');
    if (dot == std::string::npos)
        return std::nullopt;
    const std::size_t blank = line.find(' ', dot);
    if (blank == std::string::npos)
        return std::nullopt;
    const auto major = ParseNumber(line.substr(0, dot));
    const auto minor = ParseNumber(line.substr(dot + 1, blank - dot - 1));
    ReleaseInfo info;
    info.archive = Trim(line.substr(blank + 1));
    if (!major || !minor || !IsPlainFileName(info.archive))
        return std::nullopt;
    info.major = *major;
    info.minor = *minor;
    if (lf != std::string::npos)
        info.notes = text.substr(lf + 1);
    return info;
}

std::int64_t OwnReleaseVersion(std::uint32_t productVersionMS)
{
    return (static_cast<std::int64_t>(productVersionMS >> 16) << 8) + (productVersionMS & 0xFFFF);
}

bool ReleaseOffered(std::int64_t release, std::int64_t own, bool beta)
{
    return release > own || (beta && release == own);
}

int DownloadPercent(std::int64_t done, std::int64_t total)
{
    if (total <= 0 || done >= total)
        return 100;
    if (done <= 0)
        return 0;
    // done < total here, so done * 100 would only overflow for lengths above 2^56.
    if (done > INT64_MAX / 100)
        return static_cast<int>(done / (total / 100));
    return static_cast<int>(done * 100 / total);
}

// ---------------------------------------------------------------- TWebUpdate

TWebUpdate::TWebUpdate(MessageTarget* target, std::string baseUrl, std::string downloadFolder,
                       std::vector<std::string> otherFolders, HttpOptions options)
    : target_(target),
      baseUrl_(Folder(std::move(baseUrl))),
      downloadFolder_(std::move(downloadFolder)),
      otherFolders_(std::move(otherFolders)),
      options_(std::move(options)),
      prompt_(target)
{
    options_.stop = &stop_;
    options_.credentials = &prompt_;
}

TWebUpdate::~TWebUpdate() { Stop(); }

void TWebUpdate::Resume()
{
    if (!thread_.joinable() && !stop_)
        thread_ = std::thread([this] { Execute(); });
}

void TWebUpdate::Stop()
{
    stop_ = true;
    prompt_.Cancel();
    if (thread_.joinable())
        thread_.join();
}

bool TWebUpdate::Fetch(THTTPClient& client, const std::string& name)
{
    std::error_code ec;
    fs::create_directories(downloadFolder_, ec);
    StagedFile file(downloadFolder_, kDownloadPrefix);
    if (!file.IsOpen())
        return false;
    try {
        client.ReadToStream(baseUrl_ + PercentEncode(name),
                            [&file](const char* p, std::size_t n) { return file.Write(p, n); });
    } catch (const std::exception&) {  // the partial file goes with `file`
        return false;
    }
    if (stop_)
        return false;
    // Another start may have fetched it meanwhile: keep the first complete copy.
    const std::string dest = downloadFolder_ + "/" + name;
    if (fs::exists(dest, ec))
        return false;
    return file.Commit(dest);
}

void TWebUpdate::Execute()
{
    THTTPClient client("QUENOR", options_);
    std::vector<std::string> names;
    try {
        int status = 0;
        const std::string text = client.ReadFile(baseUrl_ + kFileListName, &status);
        if (status < 200 || status > 299) {
            if (!stop_)
                PostMessage(target_, UM_FIRMWARELIST, kWebNoConnection, 0);
            finished_ = true;
            return;
        }
        names = ParseFileList(text);
    } catch (const std::exception& e) {
        if (!stop_)
            PostText(target_, UM_FIRMWARELIST, kWebNoConnection, 0, SettingFault(e));
        finished_ = true;
        return;
    }

    bool downloaded = false;
    for (const std::string& name : names) {
        if (stop_)
            break;
        if (!IsFirmwareFileName(name))
            continue;
        std::error_code ec;
        bool present = fs::exists(fs::path(downloadFolder_) / name, ec);
        for (const std::string& folder : otherFolders_)
            present = present || fs::exists(fs::path(folder) / name, ec);
        if (present)
            continue;
        if (Fetch(client, name))
            downloaded = true;
    }
    if (!stop_)
        PostMessage(target_, UM_FIRMWARELIST, downloaded ? kWebNewFiles : kWebNothingNew, 0);
    finished_ = true;
}

std::unique_ptr<TWebUpdate> StartFirmwareCheck(MessageTarget* target, const UpdateSettings& settings,
                                               const std::string& userFolder, const std::string& programFolder)
{
    auto thread = std::make_unique<TWebUpdate>(target, settings.firmwareUrl, userFolder,
                                               std::vector<std::string>{programFolder}, UpdateHttpOptions(settings));
    thread->Resume();
    return thread;
}

// --------------------------------------------------------------- TWebUpdate2

TWebUpdate2::TWebUpdate2(MessageTarget* target, std::string baseUrl, std::string programDir, HttpOptions options)
    : target_(target),
      baseUrl_(Folder(std::move(baseUrl))),
      programDir_(std::move(programDir)),
      options_(std::move(options)),
      prompt_(target)
{
    options_.stop = &stop_;
    options_.credentials = &prompt_;
}

TWebUpdate2::~TWebUpdate2() { Stop(); }

void TWebUpdate2::Resume()
{
    if (!thread_.joinable() && !stop_)
        thread_ = std::thread([this] { Execute(); });
}

void TWebUpdate2::StartDownload()
{
    std::lock_guard lock(mutex_);
    downloadRequested_ = true;
    cv_.notify_all();
}

void TWebUpdate2::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        cv_.notify_all();
    }
    prompt_.Cancel();
    if (thread_.joinable())
        thread_.join();
}

std::string TWebUpdate2::GetReleaseText() const
{
    std::lock_guard lock(mutex_);
    return release_ ? release_->notes : std::string();
}

std::int64_t TWebUpdate2::ReleaseVersion() const
{
    std::lock_guard lock(mutex_);
    return release_ ? release_->Version() : 0;
}

std::string TWebUpdate2::ArchiveName() const
{
    std::lock_guard lock(mutex_);
    return release_ ? release_->archive : std::string();
}

// Fetches, unpacks and hands over. False after a stop; a failure throws its text.
bool TWebUpdate2::Download(THTTPClient& client, const std::string& archive)
{
    int lastPercent = -1;
    client.OnProgress = [this, &lastPercent](int kind, std::int64_t done, std::int64_t total) {
        if (kind != 1)
            return;
        const int percent = DownloadPercent(done, total);
        if (percent != lastPercent) {
            lastPercent = percent;
            PostMessage(target_, UM_PROGRAMUPDATE, kUpdateProgress, percent);
        }
    };
    StagedFile file(programDir_, kDownloadPrefix);
    if (!file.IsOpen())  // the program's folder cannot be written: the unpacker's complaint
        throw std::runtime_error("Unpacker returned errorcode " + std::to_string(kUnpackWrite));
    try {
        client.ReadToStream(baseUrl_ + PercentEncode(Lower(archive)),
                            [&file](const char* p, std::size_t n) { return file.Write(p, n); });
    } catch (const EWininet& e) {
        if (e.Cancelled() || stop_)
            return false;
        throw;
    }
    PostMessage(target_, UM_PROGRAMUPDATE, kUpdateProgress, 100);
    if (!file.Close())
        throw std::runtime_error(kHttpReadError);
    if (stop_)
        return false;
    const int rc = UnpackArchive(file.Path(), programDir_, kArchivePassword);
    if (rc != kUnpackOk)
        throw std::runtime_error("Unpacker returned errorcode " + std::to_string(rc));
    if (stop_)
        return false;
    updater_.Start(programDir_);
    file.Discard();
    PostMessage(target_, UM_PROGRAMUPDATE, kUpdateDone, 0);
    return true;
}

void TWebUpdate2::Execute()
{
    THTTPClient client("QUENOR", options_);
    PostMessage(target_, UM_PROGRAMUPDATE, kUpdateFetching, 0);
    std::optional<ReleaseInfo> info;
    try {
        int status = 0;
        const std::string text = client.ReadFile(baseUrl_ + kReleaseInfoName, &status);
        if (status >= 200 && status <= 299)
            info = ParseReleaseInfo(text);
    } catch (const std::exception& e) {
        if (!stop_ && !SettingFault(e).empty())
            PostText(target_, UM_PROGRAMUPDATE, kUpdateError, 0, SettingFault(e));
    }
    if (stop_)
        return;
    if (!info) {
        PostMessage(target_, UM_PROGRAMUPDATE, kUpdateFailed, 0);
        return;
    }
    std::string archive = info->archive;
    {
        std::lock_guard lock(mutex_);
        release_ = std::move(info);
    }
    PostMessage(target_, UM_PROGRAMUPDATE, kUpdateReleaseReady, 0);

    for (;;) {
        {
            std::unique_lock lock(mutex_);
            cv_.wait(lock, [this] { return downloadRequested_ || stop_; });
            if (stop_)
                return;
            downloadRequested_ = false;
        }
        try {
            if (!Download(client, archive))
                return;
        } catch (const std::exception& e) {
            if (stop_)
                return;
            PostText(target_, UM_PROGRAMUPDATE, kUpdateError, 0, e.what());
            PostMessage(target_, UM_PROGRAMUPDATE, kUpdateFailed, 0);
            return;
        }
    }
}

}  // namespace quenor
