#include "update/unpack.h"

#include "platform/savefile.h"

#include <zip.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenor {

namespace fs = std::filesystem;

namespace {

struct Entry {
    zip_uint64_t index = 0;
    std::string name;  // without a folder entry's trailing '/'
    bool folder = false;
    bool executable = false;
    zip_uint64_t size = 0;
};

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
struct ZipFileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

int ReadError(int zipError)
{
    return (zipError == ZIP_ER_WRONGPASSWD || zipError == ZIP_ER_NOPASSWD) ? kUnpackPassword : kUnpackCorrupt;
}

// Reads one entry whole into a new file at path.
int Extract(zip_t* z, const Entry& e, const fs::path& path)
{
    std::unique_ptr<zip_file_t, ZipFileCloser> in(zip_fopen_index(z, e.index, 0));
    if (!in)
        return ReadError(zip_error_code_zip(zip_get_error(z)));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          e.executable ? 0755 : 0644);
    if (fd < 0)
        return kUnpackWrite;
    std::vector<char> buffer(64 * 1024);
    zip_uint64_t total = 0;
    int result = kUnpackOk;
    for (;;) {
        const zip_int64_t n = zip_fread(in.get(), buffer.data(), buffer.size());
        if (n < 0) {
            result = ReadError(zip_error_code_zip(zip_file_get_error(in.get())));
            break;
        }
        if (n == 0)
            break;
        total += static_cast<zip_uint64_t>(n);
        if (total > e.size) {
            result = kUnpackCorrupt;
            break;
        }
        if (!WriteAll(fd, buffer.data(), static_cast<std::size_t>(n))) {
            result = kUnpackWrite;
            break;
        }
    }
    if (result == kUnpackOk && total != e.size)
        result = kUnpackCorrupt;
    if (result == kUnpackOk && ::fsync(fd) != 0)
        result = kUnpackWrite;
    if (::close(fd) != 0 && result == kUnpackOk)
        result = kUnpackWrite;
    return result;
}

// Lists and checks every entry; nothing is written.
int Survey(zip_t* z, std::vector<Entry>& entries)
{
    const zip_int64_t count = zip_get_num_entries(z, 0);
    if (count < 0)
        return kUnpackBadArchive;
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const char* raw = zip_get_name(z, index, ZIP_FL_ENC_RAW);
        zip_stat_t st;
        if (!raw || zip_stat_index(z, index, 0, &st) != 0)
            return kUnpackBadArchive;
        const std::string name(raw);
        if (!IsSafeEntryName(name))
            return kUnpackUnsafeName;
        Entry e;
        e.index = index;
        e.folder = name.back() == '/';
        e.name = e.folder ? name.substr(0, name.size() - 1) : name;
        e.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;

        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(z, index, 0, &opsys, &attributes) != 0)
            return kUnpackBadArchive;
        if (opsys == ZIP_OPSYS_UNIX) {
            const mode_t mode = static_cast<mode_t>(attributes >> 16);
            const mode_t type = mode & S_IFMT;
            if (type != 0 && type != S_IFREG && type != S_IFDIR)
                return kUnpackSpecialEntry;
            if ((type == S_IFDIR) != e.folder && type != 0)
                return kUnpackSpecialEntry;
            e.executable = (mode & 0111) != 0;
        }
        entries.push_back(std::move(e));
    }
    return kUnpackOk;
}

struct Placed {
    fs::path dest;
    fs::path backup;  // empty when nothing stood there before
};

// What a move into the target changed, so that a refusal can undo it: the
// files put in place and the folders made, both in the order of doing.
struct Changes {
    std::vector<Placed> placed;
    std::vector<fs::path> made;
};

// Undoes changes, newest first: every file goes back to what stood there (or
// away), then every folder made is removed, deepest first. A folder that is
// not empty by then holds something that is not ours and stays.
void PutBack(const Changes& changes)
{
    std::error_code ec;
    for (auto it = changes.placed.rbegin(); it != changes.placed.rend(); ++it) {
        if (it->backup.empty())
            fs::remove(it->dest, ec);
        else
            fs::rename(it->backup, it->dest, ec);
    }
    for (auto it = changes.made.rbegin(); it != changes.made.rend(); ++it)
        fs::remove(*it, ec);
}

// Makes the folder rel below target one level at a time, noting each folder
// that did not stand there before. False when a part is not a folder.
bool MakeFolders(const fs::path& target, const fs::path& rel, std::vector<fs::path>& made)
{
    fs::path at = target;
    for (const fs::path& part : rel) {
        at /= part;
        std::error_code ec;
        if (fs::create_directory(at, ec)) {
            made.push_back(at);
            continue;
        }
        if (!fs::is_directory(at, ec))
            return false;
    }
    return true;
}

// Moves the extracted files from staging into target; on failure puts back
// what was already moved and removes the folders made.
int MoveIn(const std::vector<Entry>& entries, const fs::path& staging, const fs::path& target)
{
    const fs::path old = staging / ".old";
    std::error_code ec;
    if (!fs::create_directory(old, ec))
        return kUnpackWrite;
    Changes changes;
    auto refuse = [&changes] {
        PutBack(changes);
        return kUnpackMove;
    };
    int backups = 0;
    for (const Entry& e : entries) {
        const fs::path name(e.name);
        if (e.folder) {
            if (!MakeFolders(target, name, changes.made))
                return refuse();
            continue;
        }
        if (!MakeFolders(target, name.parent_path(), changes.made))
            return refuse();
        const fs::path dest = target / name;
        const fs::file_status st = fs::symlink_status(dest, ec);
        Placed p{dest, {}};
        if (fs::exists(st)) {
            if (!fs::is_regular_file(st))
                return refuse();
            p.backup = old / std::to_string(backups++);
            fs::rename(dest, p.backup, ec);
            if (ec)
                return refuse();
        }
        fs::rename(staging / "new" / name, dest, ec);
        if (ec) {
            if (!p.backup.empty())
                fs::rename(p.backup, dest, ec);
            return refuse();
        }
        changes.placed.push_back(std::move(p));
    }
    return kUnpackOk;
}

}  // namespace

bool IsSafeEntryName(const std::string& name)
{
    if (name.empty() || name.front() == '/')
        return false;
    const std::string body = name.back() == '/' ? name.substr(0, name.size() - 1) : name;
    if (body.empty())
        return false;
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('/', start);
        if (end == std::string::npos)
            end = body.size();
        const std::string part = body.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        for (unsigned char c : part) {
            if (c < 0x20 || c == 0x7f || c == '\\' || c == ':')
                return false;
        }
        start = end + 1;
    }
    return true;
}

int UnpackArchive(const std::string& archive, const std::string& targetDir, const std::string& password)
{
    int error = 0;
    std::unique_ptr<zip_t, ZipCloser> z(zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!z)
        return kUnpackBadArchive;
    if (!password.empty())
        zip_set_default_password(z.get(), password.c_str());

    std::vector<Entry> entries;
    if (const int rc = Survey(z.get(), entries); rc != kUnpackOk)
        return rc;

    const fs::path target(targetDir);
    std::string pattern = (target / ".quenor-unpack-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return kUnpackWrite;
    const fs::path staging(pattern);

    int rc = kUnpackOk;
    std::error_code ec;
    const fs::path fresh = staging / "new";
    if (!fs::create_directory(fresh, ec))
        rc = kUnpackWrite;
    for (const Entry& e : entries) {
        if (rc != kUnpackOk)
            break;
        const fs::path path = fresh / e.name;
        if (e.folder) {
            fs::create_directories(path, ec);
            if (ec)
                rc = kUnpackWrite;
            continue;
        }
        fs::create_directories(path.parent_path(), ec);
        if (ec) {
            rc = kUnpackWrite;
            break;
        }
        rc = Extract(z.get(), e, path);
    }
    if (rc == kUnpackOk)
        rc = MoveIn(entries, staging, target);
    fs::remove_all(staging, ec);
    return rc;
}

}  // namespace quenor
