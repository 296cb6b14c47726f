// Test processes write into folders of their own, so that cases that ctest
// runs at the same time never share a file.

#include "platform/datapaths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Run as a child by the case below: prints where this process writes.
TEST(PrivateFolders, ChildReportsItsFolders)
{
    if (!std::getenv("QUENOR_REPORT_FOLDERS"))
        GTEST_SKIP() << "runs as a child of TwoProcessesWriteIntoFoldersOfTheirOwn";
    std::printf("data=%s\ntmp=%s\n", quenor::UserDataDir().c_str(), std::filesystem::temp_directory_path().c_str());
}

struct Folders {
    std::string data;
    std::string tmp;
};

Folders RunChild()
{
    Folders f;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command =
        "QUENOR_REPORT_FOLDERS=1 '" + self + "' --gtest_filter=PrivateFolders.ChildReportsItsFolders";
    FILE* out = ::popen(command.c_str(), "r");
    if (!out)
        return f;
    char line[4096];
    while (std::fgets(line, sizeof line, out)) {
        std::string s(line);
        if (!s.empty() && s.back() == '\n')
            s.pop_back();
        if (s.rfind("data=", 0) == 0)
            f.data = s.substr(5);
        else if (s.rfind("tmp=", 0) == 0)
            f.tmp = s.substr(4);
    }
    ::pclose(out);
    return f;
}

}  // namespace

TEST(PrivateFolders, TwoProcessesWriteIntoFoldersOfTheirOwn)
{
    namespace fs = std::filesystem;
    const Folders a = RunChild();
    const Folders b = RunChild();
    ASSERT_FALSE(a.data.empty());
    ASSERT_FALSE(b.data.empty());
    EXPECT_NE(a.data, b.data);
    EXPECT_NE(a.tmp, b.tmp);
    EXPECT_NE(a.data, quenor::UserDataDir());
    EXPECT_NE(a.tmp, fs::temp_directory_path().string());
    for (const std::string& gone : {a.data, a.tmp, b.data, b.tmp})
        EXPECT_FALSE(fs::exists(gone)) << gone << " is removed when its process ends";
    // This process's own folders are there while it runs, and are not the user's.
    EXPECT_TRUE(fs::is_directory(quenor::UserDataDir()));
    const char* home = std::getenv("HOME");
    if (home && *home) {
        EXPECT_NE(quenor::UserDataDir().rfind(std::string(home) + "/.local", 0), 0u);
    }
}
