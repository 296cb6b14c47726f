#pragma once
// Table files of the generator in a folder of the test's own.

#include "tools/filtergen/filtergen.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace quenor::filtertest {

namespace fg = quenor::filtergen;

class TempDir {
public:
    explicit TempDir(const std::string& suffix = "")
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "quenor-filter-" + std::to_string(getpid());
        if (info)
            name += std::string("-") + info->test_suite_name() + "-" + info->name();
        if (!suffix.empty())
            name += "-" + suffix;
        for (char& c : name)
            if (c == '/')
                c = '_';
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string Path() const { return path_.string(); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A normal table: 5 speeds, 5 hardnesses, 5 dampings, 5 feed-forward types,
// 4 motors, 3 current filters.
inline fg::TableDesign NormalSpec()
{
    fg::TableDesign s;
    s.groups = {5, 5, 5, 5, 4, 3};
    return s;
}

// A large-motor table: one motor, no current filter choice.
inline fg::TableDesign LargeSpec()
{
    fg::TableDesign s;
    s.large = true;
    s.recordSize = 132;
    s.groups = {5, 5, 5, 5, 1, 0};
    s.minor = 7;
    return s;
}

}  // namespace quenor::filtertest
