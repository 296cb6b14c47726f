// The surroundings of every test process, set before main() however the test
// is started: no display, the settings folder of its test program (never the
// user's own), and folders of its own for the files the program and the tests
// write (the per-user data folder, the temporary folder). ctest runs each case
// of a test program as a process of its own and several at once, and two cases
// that write the same file name would otherwise race. The folders are removed
// when the process ends normally. Serial devices are looked for in empty
// folders of its own, so that no test gives a number to (or opens) an adapter
// or a serial port of the machine.

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
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_CONFIG_HOME", QUENOR_TEST_CONFIG, 1);
        fs::path base = QUENOR_TEST_DATA;
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
        deviceRoots_ = (root_ / "dev").string() + "\n" + (root_ / "sys").string();
        if (!fs::create_directories(dataDir, ec) || !fs::create_directories(tempDir, ec))
            return;
        ::setenv("XDG_DATA_HOME", dataDir.c_str(), 1);
        ::setenv("TMPDIR", tempDir.c_str(), 1);
    }
    const char* DeviceRoots() const { return deviceRoots_.c_str(); }
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
    std::string deviceRoots_ = "/nonexistent/quenor-test-dev\n/nonexistent/quenor-test-sys";
};

const PrivateFolders folders;

}  // namespace

// Where the program looks for serial devices (platform/comports.h).
extern "C" const char* quenor_serial_device_roots() { return folders.DeviceRoots(); }

// The sanitizers' settings: stop at the first report; leaks inside the system
// libraries that Qt loads (fonts, platform plugins) are not ours.
extern "C" const char* __asan_default_options() { return "detect_leaks=1:halt_on_error=1:abort_on_error=1"; }
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\nleak:libdbus\nleak:libglib\n"; }
