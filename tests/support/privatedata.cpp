// Every test process gets folders of its own for the files the program and the
// tests write (the per-user data folder, the temporary folder): ctest runs each
// case of a test program as a process of its own and several at once, and two
// cases that write the same file name would otherwise race. The folders are made
// before main() under the data folder the test's environment names (or the
// system's temporary folder) and removed when the process ends normally.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

class PrivateFolders {
public:
    PrivateFolders()
    {
        namespace fs = std::filesystem;
        std::error_code ec;
        const char* data = std::getenv("XDG_DATA_HOME");
        fs::path base = data && *data ? fs::path(data) : fs::temp_directory_path(ec);
        if (base.empty())
            return;
        fs::create_directories(base, ec);
        std::string pattern = (base / "process-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!::mkdtemp(name.data()))
            return;
        root_ = name.data();
        const fs::path dataDir = root_ / "data";
        const fs::path tempDir = root_ / "tmp";
        if (!fs::create_directories(dataDir, ec) || !fs::create_directories(tempDir, ec))
            return;
        ::setenv("XDG_DATA_HOME", dataDir.c_str(), 1);
        ::setenv("TMPDIR", tempDir.c_str(), 1);
    }
    ~PrivateFolders()
    {
        std::error_code ec;
        if (!root_.empty())
            std::filesystem::remove_all(root_, ec);
    }
    PrivateFolders(const PrivateFolders&) = delete;
    PrivateFolders& operator=(const PrivateFolders&) = delete;

private:
    std::filesystem::path root_;
};

const PrivateFolders folders;

}  // namespace
