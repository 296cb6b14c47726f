// Every reader of a file from outside the program, and every folder the
// program scans, against paths that are no regular file or too large: nothing
// waits for a writer, nothing reads without end, a single file is refused
// with its reason and a folder lists its other files. Every save of a user's
// file against paths it must not replace and writes that fail: what was there
// stays as it was, and the save says why.

#include "app/filterselector.h"
#include "app/manyfilt.h"
#include "app/seqletformat.h"
#include "app/setupfile.h"
#include "program/bytestream.h"
#include "program/graphicprogram.h"
#include "program/vizucode.h"
#include "scope/scopefile.h"
#include "platform/savefile.h"
#include "support/savefaults.h"
#include "support/stuckreader.h"
#include "update/firmwarefile.h"
#include "update/firmwarelist.h"
#include "update/firmwarebuilder.h"
#include "update/httpclient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <cstdio>
#include <optional>
#include <functional>
#include <ostream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace quenor {
namespace {

namespace fs = std::filesystem;

enum class Bad { Pipe, LinkToPipe, LinkToZero, Folder, DanglingLink, Oversized };

struct BadCase {
    const char* name;
    Bad bad;
    const char* reason;  // part of the reason a single file is refused with
};

const BadCase kBadPaths[] = {
    {"Pipe", Bad::Pipe, "The path is not a regular file."},
    {"LinkToPipe", Bad::LinkToPipe, "The path is not a regular file."},
    {"LinkToZero", Bad::LinkToZero, "The path is not a regular file."},
    {"Folder", Bad::Folder, "The path is not a regular file."},
    {"DanglingLink", Bad::DanglingLink, "The file does not exist."},
    {"Oversized", Bad::Oversized, "The file is larger than "},
};

// What a reader made of a path: whether it read something, and what it said.
struct Outcome {
    bool read = false;
    std::string said;
};

struct Reader {
    const char* name;
    const char* fileName;  // the path's last part
    std::size_t limit;     // the largest file read
    bool saysWhy;          // the reason is part of what the user is shown
    std::function<Outcome(const std::string& path)> read;
};

void PrintTo(const Reader& r, std::ostream* os) { *os << r.name; }
void PrintTo(const BadCase& b, std::ostream* os) { *os << b.name; }

template <class Error, class Work>
Outcome Catching(Work&& work, std::function<std::string(const Error&)> text)
{
    try {
        work();
        return {true, {}};
    } catch (const Error& e) {
        return {false, text(e)};
    }
}

const Reader kReaders[] = {
    {"SetupFile", "a.vek", kSetupFileMaxBytes, true,
     [](const std::string& p) {
         ReadFault fault = ReadFault::None;
         const bool read = ReadWholeFile(p, kSetupFileMaxBytes, &fault).has_value();
         return Outcome{read, ReadFaultReason(fault, kSetupFileMaxBytes, "a setup file")};
     }},
    {"FormatFile", "format1.mrf", TSeqletFormat::kMaxFileSize, true,
     [](const std::string& p) {
         return Catching<FormatLoadError>([&] { TSeqletFormat().LoadFromFile(p); },
                                          [](const FormatLoadError& e) { return e.text; });
     }},
    {"FirmwareFile", "a.maf", kFirmwareFileMaxBytes, false,
     [](const std::string& p) {
         return Catching<TErr>([&] { LoadFirmwareFile(p); }, [](const TErr& e) { return e.text; });
     }},
    {"ScopeFile", "a.VekScopes", kScopeFileMaxBytes, true,
     [](const std::string& p) {
         const ScopeFileRead r = ReadScopeFile(p);
         return Outcome{r.error.empty(), r.error};
     }},
    {"FilterTable", "manyfilt.dat", CManyFilt::kMaxFileSize, true,
     [](const std::string& p) {
         return Catching<FilterFileError>([&] { CManyFilt().Load(p); },
                                          [](const FilterFileError& e) { return std::string(e.what()); });
     }},
    {"ProgramStream", "Program.Vizu", kProgramStreamMaxBytes, false,
     [](const std::string& p) {
         CGraphicProgram program;
         const ProgramLoadResult r = program.LoadFromFile(p);
         return Outcome{r.ok, r.message};
     }},
    // The update's "CAFile" setting: refused before any connection is tried.
    {"TrustedAuthorities", "ca.pem", 16 * 1024 * 1024, true,
     [](const std::string& p) {
         HttpOptions options;
         options.caFile = p;
         THTTPClient client("QUENOR", options);
         return Catching<EWininet>([&] { client.ReadFile("https://127.0.0.1:1/files4.txt"); },
                                   [](const EWininet& e) { return e.Setting() ? std::string(e.what()) : ""; });
     }},
};

// A test with a folder of its own, removed afterwards.
template <class Param>
class InTemporaryFolder : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quenor-outside-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string dir_;
};

class OutsideFiles : public InTemporaryFolder<std::tuple<Reader, BadCase>> {
protected:

    // Puts the bad entry at dir/name; the path of the pipe to guard, if any.
    std::string MakeBad(Bad bad, const std::string& name, std::size_t limit)
    {
        const std::string path = dir_ + "/" + name;
        // The pipe behind a link has a name that no scan takes.
        const std::string pipe = dir_ + "/fifo" + std::to_string(++pipes_);
        switch (bad) {
        case Bad::Pipe:
            EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
            return path;
        case Bad::LinkToPipe:
            EXPECT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
            EXPECT_EQ(::symlink(pipe.c_str(), path.c_str()), 0);
            return pipe;
        case Bad::LinkToZero:
            EXPECT_EQ(::symlink("/dev/zero", path.c_str()), 0);
            break;
        case Bad::Folder:
            fs::create_directory(path);
            break;
        case Bad::DanglingLink:
            EXPECT_EQ(::symlink((dir_ + "/gone").c_str(), path.c_str()), 0);
            break;
        case Bad::Oversized:
            // Sparse: no disk is used, and nothing of it may be read.
            std::ofstream(path, std::ios::binary).put(';');
            fs::resize_file(path, limit + 1);
            break;
        }
        return {};
    }

    int pipes_ = 0;
};

// A single file that the user or the program names.
TEST_P(OutsideFiles, AFileIsReadOnlyWhenItIsARegularFileWithinItsLimit)
{
    const auto& [reader, bad] = GetParam();
    const std::string pipe = MakeBad(bad.bad, reader.fileName, reader.limit);
    std::atomic<bool> released{false};
    std::jthread guard;
    if (!pipe.empty())
        guard = test::ReleaseStuckReader(pipe, released);

    const Outcome out = reader.read(dir_ + "/" + reader.fileName);
    guard = {};
    EXPECT_FALSE(released) << "the reader waited for a writer of the named pipe";
    EXPECT_FALSE(out.read);
    if (reader.saysWhy)
        EXPECT_NE(out.said.find(bad.reason), std::string::npos) << out.said;
    else
        EXPECT_FALSE(out.said.empty());
}

std::string ParamName(const ::testing::TestParamInfo<std::tuple<Reader, BadCase>>& info)
{
    return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(EveryReader, OutsideFiles,
                         ::testing::Combine(::testing::ValuesIn(kReaders), ::testing::ValuesIn(kBadPaths)),
                         ParamName);

// A folder the program scans: the bad entry is passed over without a word,
// and the good file beside it is listed.
class ScannedFolders : public OutsideFiles {};

std::string FormatRecord()
{
    // Two data bytes, 3 and 0x12, at 0x01F9: format 3, version 1.2.
    const int sum = 0x02 + 0x01 + 0xF9 + 0x00 + 0x03 + 0x12;
    char line[64];
    std::snprintf(line, sizeof line, ":0201F9000312%02X\r", (0x100 - (sum & 0xFF)) & 0xFF);
    return line;
}

TEST_P(ScannedFolders, PassOverAnEntryThatIsNoRegularFile)
{
    const Bad bad = std::get<1>(GetParam()).bad;
    std::atomic<bool> released{false};
    std::jthread guard;
    const auto guardPipe = [&](const std::string& pipe) {
        if (!pipe.empty())
            guard = test::ReleaseStuckReader(pipe, released);
    };

    // Logic-module formats.
    guardPipe(MakeBad(bad, "format1.mrf", TSeqletFormat::kMaxFileSize));
    std::ofstream(dir_ + "/format2.mrf", std::ios::binary) << FormatRecord();
    const FormatList formats = LoadFormatList({dir_});
    guard = {};
    if (bad == Bad::Oversized) {
        // A regular file that cannot be used is reported, as a damaged one is.
        ASSERT_EQ(formats.failures.size(), 1u);
        EXPECT_NE(formats.failures[0].text.find("larger than"), std::string::npos);
    } else {
        EXPECT_TRUE(formats.failures.empty()) << formats.failures[0].text;
    }
    ASSERT_EQ(formats.formats.size(), 1u);
    EXPECT_EQ(FormatListLine(formats.formats[0]), "Format 3(Ver 1.2)");

    // Firmware files.
    guardPipe(MakeBad(bad, "a.maf", kFirmwareFileMaxBytes));
    {
        const updatetest::Bytes good = updatetest::InfoBlock(0, 0, 0x0060, "Good");
        std::ofstream(dir_ + "/b.maf", std::ios::binary)
            .write(reinterpret_cast<const char*>(good.data()), static_cast<std::streamsize>(good.size()));
    }
    const std::vector<SFileInfo> firmware = ScanFirmwareFiles({dir_});
    guard = {};
    ASSERT_EQ(firmware.size(), 1u);
    EXPECT_EQ(firmware[0].description, "Good");

    // Filter tables: the one that stands there as no file is named as such,
    // not as missing from the folder.
    guardPipe(MakeBad(bad, "manyfilt.dat", CManyFilt::kMaxFileSize));
    CFilterSelector selector;
    selector.LoadTables({dir_});
    guard = {};
    const std::string told = selector.TakeLoadError();
    const std::string entry = dir_ + "/manyfilt.dat";
    if (bad == Bad::Oversized) {
        EXPECT_NE(told.find("Cannot open file \"" + entry + "\". The file is larger than"), std::string::npos) << told;
    } else {
        const char* why = bad == Bad::DanglingLink ? " is a link to no file" : " is not a regular file";
        EXPECT_NE(told.find("\"manyfilt.dat\": " + entry + why + "."), std::string::npos) << told;
        EXPECT_EQ(told.find("\"manyfilt.dat\": it is not in"), std::string::npos) << told;
    }
    EXPECT_NE(told.find("\"manyfiltbig.dat\": it is not in " + dir_ + "."), std::string::npos) << told;
    EXPECT_FALSE(released) << "a scan waited for a writer of the named pipe";
}

INSTANTIATE_TEST_SUITE_P(EveryScan, ScannedFolders,
                         ::testing::Combine(::testing::Values(kReaders[0]), ::testing::ValuesIn(kBadPaths)),
                         [](const auto& info) { return std::string(std::get<1>(info.param).name); });

// The files the program writes for itself (the compiler log, the debug copies
// of program images): a named pipe in their place, read or not, neither holds
// the program up nor gets anything.
struct Writer {
    const char* name;
    std::function<void(const std::string& path)> write;
};

void PrintTo(const Writer& w, std::ostream* os) { *os << w.name; }

const Writer kWriters[] = {
    {"CompilerLog",
     [](const std::string& p) {
         TVizuCode code(1, p);
         code.AddEndOfProgram(1);
         code.Link();
     }},
    {"DebugCopy",
     [](const std::string& p) {
         ByteStream stream;
         stream.WriteU32LE(0x12345678);
         stream.SaveToFile(p);
     }},
};

enum class PipeAt { Path, BehindALink, PathWithAReader };

class WrittenFiles : public InTemporaryFolder<std::tuple<Writer, PipeAt>> {};

TEST_P(WrittenFiles, APipeInTheirPlaceGetsNothing)
{
    const auto& [writer, at] = GetParam();
    const std::string pipe = dir_ + "/fifo";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::string path = pipe;
    if (at == PipeAt::BehindALink) {
        path = dir_ + "/link";
        ASSERT_EQ(::symlink(pipe.c_str(), path.c_str()), 0);
    }
    const int reader = at == PipeAt::PathWithAReader ? ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK) : -1;
    std::atomic<bool> released{false};
    std::jthread guard = test::ReleaseStuckReader(pipe, released, O_RDONLY);
    writer.write(path);
    guard = {};
    EXPECT_FALSE(released) << "the writer waited for a reader of the named pipe";
    if (reader >= 0) {
        char byte = 0;
        EXPECT_LE(::read(reader, &byte, 1), 0) << "the pipe got what was meant for a file";
        ::close(reader);
    }
    struct stat st {};
    ASSERT_EQ(::stat(pipe.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

std::string WriterCaseName(const ::testing::TestParamInfo<std::tuple<Writer, PipeAt>>& info)
{
    static const char* const at[] = {"Path", "BehindALink", "PathWithAReader"};
    return std::string(std::get<0>(info.param).name) + "_" + at[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(EveryWriter, WrittenFiles,
                         ::testing::Combine(::testing::ValuesIn(kWriters),
                                            ::testing::Values(PipeAt::Path, PipeAt::BehindALink,
                                                              PipeAt::PathWithAReader)),
                         WriterCaseName);

// The files the program writes for itself still say when the disk did not
// take them whole.
TEST(WrittenFiles, AFullDiskIsReported)
{
    const std::string path = fs::temp_directory_path() / "quenor-written-log";
    bool written = true;
    {
        test::FileSizeLimit full(1024);
        written = WriteRegularFile(path, std::string(4000, 'x'));
    }
    EXPECT_FALSE(written);
    fs::remove(path);
}

// The user's files that the program saves. Each writes more than the file
// size limit below lets through, and less than a library keeps back in its
// buffer until the file is closed.
struct Saver {
    const char* name;
    const char* fileName;
    std::function<bool(const std::string& path, std::string* reason)> save;
    std::function<std::string()> text;  // what a save writes
};

void PrintTo(const Saver& s, std::ostream* os) { *os << s.name; }

std::string SetupText()
{
    std::string text = "[Vek Setup file]\r\n[Tovik Automation A/S]\r\n[Motor type 3]\r\n[Filter Type 2]\r\n";
    for (int i = 0; text.size() < 12000; ++i)
        text += "Parameter " + std::to_string(100 + i) + std::string(12, ' ') + " = " + std::to_string(i * 37) + "\r\n";
    return text;
}

std::vector<std::shared_ptr<TSampleSet>> ScopeSets()
{
    auto set = std::make_shared<TSampleSet>();
    set->name = "Scope 1";
    set->SetCount(1500);
    auto* channel = set->AddChannel(std::make_unique<SChannelData>(1500));
    channel->name = "Actual velocity";
    for (std::int32_t i = 0; i < 1500; ++i)
        channel->SetSample(i, 10000 + i);
    return {set};
}

const Saver kSavers[] = {
    {"SetupFile", "a.vek", [](const std::string& p, std::string* r) { return SaveWholeFile(p, SetupText(), r); },
     SetupText},
    {"ScopeFile", "a.VekScopes", [](const std::string& p, std::string* r) { return SaveScopeFile(p, ScopeSets(), r); },
     [] { return JoinLines(ScopeFileLines(ScopeSets())); }},
};

// What stands at a path: its kind, permissions, owner and inode, the device
// it is, where a link leads, the text of a file.
std::string StandingAt(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0)
        return "nothing";
    std::error_code ec;
    return std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid) + " " +
           std::to_string(st.st_ino) + " " +
           std::to_string(st.st_rdev) + " '" + fs::read_symlink(path, ec).string() + "' " +
           (S_ISREG(st.st_mode) ? ReadWholeFile(path).value_or("unread") : "");
}

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;  // a folder that is not there holds nothing
    for (const auto& e : fs::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A test of saves with a folder of its own, which may hold a folder where no
// new file may be made.
template <class Param>
class InSaveFolder : public InTemporaryFolder<Param> {
protected:
    void TearDown() override
    {
        ::chmod((this->dir_ + "/fixed").c_str(), 0755);
        InTemporaryFolder<Param>::TearDown();
    }
    // A folder where the user may write the file but make nothing new: root's
    // with mode 0555 and a file of the other user's, or the user's own.
    std::string FolderWithoutCreateRights(const std::string& name, const std::string& text)
    {
        const std::string folder = this->dir_ + "/fixed";
        fs::create_directory(folder);
        const std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        if (::geteuid() == 0) {
            EXPECT_EQ(::chown(path.c_str(), test::kOtherUser, test::kOtherUser), 0);
        }
        EXPECT_EQ(::chmod(this->dir_.c_str(), 0755), 0);
        EXPECT_EQ(::chmod(folder.c_str(), 0555), 0);
        return path;
    }
    // A private copy of /dev/full, or the system's where no device may be
    // made (never replaced then: only root could); empty when neither serves.
    std::string FullDevice()
    {
        const std::string node = this->dir_ + "/full";
        if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0)
            return node;
        return ::geteuid() == 0 ? std::string() : std::string("/dev/full");
    }
};

enum class Target {
    NewPath, OldFile, LinkToFile, DanglingLink, InPlace, GroupsFile,  // saved
    FullDisk, FullDiskNewPath, FullDiskInPlace, FullDiskInPlaceShorter, MissingFolder, Device, LinkToDevice, Pipe,
    LinkToPipe, PipeWithAReader, Folder, ReadOnlyFile, OthersFile,
    OthersFileInStickyFolder,  // one the user may write, where only its owner may replace it
    // On a small disk of the test's own, where the user may make no new file.
    OnDiskInPlace,        // a short file
    OnDiskEmpty,          // an empty file
    OnDiskSameLength,     // a file as long as the save
    NoRoomInPlace,        // a short file on the disk that ran full
    NoRoomInPlaceSparse,  // a file with holes, longer than the save, on the disk that ran full
};

// A disk of the test's own, and whether it takes room beforehand or writes
// every change to new blocks.
enum class Disk { None, TakesRoom, CannotTakeRoom, CopiesOnWrite };

struct SaveCase {
    const char* name;
    Target target;
    const char* reason;       // empty: the file is saved
    bool byTheUser = false;   // saved by the other user (the user himself where this is no root)
    Disk disk = Disk::None;
    int left = -1;            // blocks of 4 KiB left on the disk once filled; -1: not filled
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

const char kFull[] = "The file cannot be written: file too large.";
const char kNotRegular[] = "The path is not a regular file.";
const char kDenied[] = "The file cannot be written: permission denied.";
const char kNoRoom[] = "The file cannot be written: no space left on device.";

const SaveCase kSaveCases[] = {
    {"NewPath", Target::NewPath, ""},
    {"OldFile", Target::OldFile, ""},
    {"LinkToFile", Target::LinkToFile, ""},
    {"DanglingLink", Target::DanglingLink, ""},
    {"InPlace", Target::InPlace, "", true},
    {"GroupsFile", Target::GroupsFile, "", true},
    {"FullDisk", Target::FullDisk, kFull},
    {"FullDiskNewPath", Target::FullDiskNewPath, kFull},
    {"FullDiskInPlace", Target::FullDiskInPlace, kFull, true},
    {"FullDiskInPlaceShorter", Target::FullDiskInPlaceShorter, kFull, true},
    {"MissingFolder", Target::MissingFolder, "The file cannot be written: no such file or directory."},
    {"Device", Target::Device, kNotRegular},
    {"LinkToDevice", Target::LinkToDevice, kNotRegular},
    {"Pipe", Target::Pipe, kNotRegular},
    {"LinkToPipe", Target::LinkToPipe, kNotRegular},
    {"PipeWithAReader", Target::PipeWithAReader, kNotRegular},
    {"Folder", Target::Folder, kNotRegular},
    {"ReadOnlyFile", Target::ReadOnlyFile, kDenied, true},
    {"OthersFile", Target::OthersFile, kDenied, true},
    {"OthersFileInStickyFolder", Target::OthersFileInStickyFolder,
     "The file cannot be written: operation not permitted.", true},
    {"InPlaceCannotTakeRoom", Target::OnDiskInPlace, "", true, Disk::CannotTakeRoom},
    {"NoRoomInPlace", Target::NoRoomInPlace, kNoRoom, true, Disk::TakesRoom, 0},
    {"NoRoomInPlaceCannotTakeRoom", Target::NoRoomInPlace, kNoRoom, true, Disk::CannotTakeRoom, 0},
    {"NoRoomInPlaceSparse", Target::NoRoomInPlaceSparse, kNoRoom, true, Disk::TakesRoom, 0},
    {"NoRoomInPlaceSparseCannotTakeRoom", Target::NoRoomInPlaceSparse, kNoRoom, true, Disk::CannotTakeRoom, 0},
    // Where every block written over takes a new one, the save (3 blocks)
    // needs room for all of it, and no more.
    {"InPlaceCopyOnWrite", Target::OnDiskInPlace, "", true, Disk::CopiesOnWrite, 3},
    {"InPlaceEmptyCopyOnWrite", Target::OnDiskEmpty, "", true, Disk::CopiesOnWrite, 3},
    {"NoRoomInPlaceCopyOnWrite", Target::NoRoomInPlace, kNoRoom, true, Disk::CopiesOnWrite, 2},
    {"NoRoomInPlaceSameLengthCopyOnWrite", Target::OnDiskSameLength, kNoRoom, true, Disk::CopiesOnWrite, 2},
    {"NoRoomInPlaceSparseCopyOnWrite", Target::NoRoomInPlaceSparse, kNoRoom, true, Disk::CopiesOnWrite, 2},
};

class Saves : public InSaveFolder<std::tuple<Saver, SaveCase>> {};

// A path that is not there yet, a file, the file a link leads to: the save
// puts the whole text there, the file keeps its permissions and a link stays
// a link. A save that cannot be written whole, or onto what is no regular
// file, leaves everything there as it was and says why. Neither waits for a
// reader nor leaves anything of its own behind.
TEST_P(Saves, PutTheWholeFileInPlaceOrNothing)
{
    const auto& [saver, c] = GetParam();
    const Target t = c.target;
    std::string path = dir_ + "/" + saver.fileName;
    std::string file = path;  // where the text goes when saved
    const std::string old = "[Vek Setup file]\r\nthe user's earlier file\r\n";
    std::string behind;  // what a link leads to
    std::string pipe;    // a named pipe to keep an eye on
    int reader = -1;
    const test::UsersFolder users;
    std::optional<test::SmallDisk> disk;
    if (c.disk != Disk::None) {
        disk.emplace(dir_, c.disk == Disk::TakesRoom        ? test::SmallDisk::TakesRoomBeforehand
                           : c.disk == Disk::CannotTakeRoom ? test::SmallDisk::CannotTakeRoom
                                                            : test::SmallDisk::CopiesOnWrite);
        if (disk->Path().empty())
            GTEST_SKIP() << disk->Why();
        ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    }
    switch (t) {
    case Target::NewPath:
    case Target::FullDiskNewPath:
        break;
    case Target::OldFile:
    case Target::FullDisk:
        std::ofstream(path, std::ios::binary) << old;
        // Root may write any file, a read-only one too.
        ASSERT_EQ(::chmod(path.c_str(), ::geteuid() == 0 ? 0444 : 0640), 0);
        break;
    case Target::LinkToFile:
        file = behind = dir_ + "/target";
        std::ofstream(file, std::ios::binary) << old;
        ASSERT_EQ(::symlink("target", path.c_str()), 0);  // relative to the link's folder
        break;
    case Target::DanglingLink:
        file = dir_ + "/gone";
        ASSERT_EQ(::symlink(file.c_str(), path.c_str()), 0);
        break;
    case Target::InPlace:
    case Target::FullDiskInPlace:
        path = file = FolderWithoutCreateRights(saver.fileName, old);
        break;
    case Target::FullDiskInPlaceShorter:  // the old file is longer than the new one
        path = file = FolderWithoutCreateRights(saver.fileName, old + std::string(20000, 'o'));
        break;
    case Target::OnDiskInPlace:
    case Target::OnDiskEmpty:
    case Target::OnDiskSameLength:
    case Target::NoRoomInPlace:
    case Target::NoRoomInPlaceSparse: {
        // The user's file in root's folder, of more than a page (the kernel
        // writes a page of it or none) and shorter than the save of three
        // blocks of 4 KiB, which needs more room than the file has; a sparse
        // one is followed by a hole to 64 KiB, which reads as zeros but
        // takes no room.
        path = file = disk->Path() + "/" + saver.fileName;
        ASSERT_GT(saver.text().size(), 8192u);
        ASSERT_LE(saver.text().size(), 12288u);
        std::string text = old + std::string(6000, 'o');
        if (t == Target::OnDiskEmpty)
            text.clear();
        if (t == Target::OnDiskSameLength)
            text.assign(saver.text().size(), 'o');
        std::ofstream(path, std::ios::binary) << text;
        ASSERT_EQ(::chown(path.c_str(), test::kOtherUser, test::kOtherUser), 0);
        if (t == Target::NoRoomInPlaceSparse) {
            ASSERT_EQ(::truncate(path.c_str(), 65536), 0);
        }
        if (c.left >= 0) {
            ASSERT_TRUE(disk->Fill(static_cast<std::size_t>(c.left) * 4096));
        }
        break;
    }
    case Target::MissingFolder:
        path = dir_ + "/missing/" + saver.fileName;
        break;
    case Target::Device:
        if (::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
            GTEST_SKIP() << "no device may be made here";
        break;
    case Target::LinkToDevice:
        behind = FullDevice();
        if (behind.empty())
            GTEST_SKIP() << "no device may be made here";
        ASSERT_EQ(::symlink(behind.c_str(), path.c_str()), 0);
        break;
    case Target::Pipe:
    case Target::PipeWithAReader:
        pipe = path;
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        if (t == Target::PipeWithAReader)
            reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
        break;
    case Target::LinkToPipe:
        pipe = behind = dir_ + "/fifo";
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        ASSERT_EQ(::symlink(pipe.c_str(), path.c_str()), 0);
        break;
    case Target::Folder:
        fs::create_directory(path);
        break;
    case Target::ReadOnlyFile:
        path = file = users.ReadOnlyFile(saver.fileName, old);
        ASSERT_FALSE(path.empty());
        break;
    case Target::GroupsFile:
    case Target::OthersFile:
    case Target::OthersFileInStickyFolder:
        // Root's file in the user's folder, which root's group may write (the
        // user's is root's group then; the folder gives its new files another
        // group, so that the group kept shows), or root alone, or anyone in a
        // folder where only a file's owner may replace it.
        if (::geteuid() != 0)
            GTEST_SKIP() << "no file of another user may be made here";
        path = file = users.ReadOnlyFile(saver.fileName, old);
        ASSERT_FALSE(path.empty());
        ASSERT_EQ(::chown(path.c_str(), 0, 0), 0);
        ASSERT_EQ(::chmod(path.c_str(), t == Target::GroupsFile ? 0664 : t == Target::OthersFile ? 0644 : 0666), 0);
        if (t == Target::GroupsFile) {
            ASSERT_EQ(::chmod(users.Path().c_str(), 02755), 0);
        }
        if (t == Target::OthersFileInStickyFolder) {  // a folder of root's, as /tmp is
            const std::string sticky = users.Path() + "/sticky";
            ASSERT_EQ(::mkdir(sticky.c_str(), 0755), 0);
            ASSERT_EQ(::chmod(sticky.c_str(), 01777), 0);
            path = file = sticky + "/" + saver.fileName;
            ASSERT_EQ(::rename((users.Path() + "/" + saver.fileName).c_str(), path.c_str()), 0);
        }
        break;
    }
    const std::string before = StandingAt(path), beforeBehind = StandingAt(behind);
    const std::string folder = fs::path(file).parent_path();  // when not dir_, nothing new is made there
    const std::vector<std::string> entries = Entries(dir_), fixed = Entries(folder);
    struct stat was {};
    ::stat(file.c_str(), &was);

    std::atomic<bool> released{false};
    std::jthread guard;
    if (!pipe.empty())
        guard = test::ReleaseStuckReader(pipe, released, O_RDONLY);
    bool saved = false;
    std::string reason;
    const auto save = [&] {
        std::optional<test::FileSizeLimit> full;
        if (*c.reason && c.reason == std::string(kFull))
            full.emplace(1024);
        saved = saver.save(path, &reason);
    };
    if (c.byTheUser) {
        ASSERT_TRUE(test::AsOtherUser(save));
    } else {
        save();
    }
    guard = {};

    EXPECT_EQ(saved, *c.reason == '\0');
    EXPECT_EQ(reason, saved ? std::string() : std::string(c.reason));
    EXPECT_FALSE(released) << "the save waited for a reader of the named pipe";
    if (reader >= 0) {
        char byte = 0;
        EXPECT_LE(::read(reader, &byte, 1), 0) << "the pipe got what was meant for a file";
        ::close(reader);
    }
    std::vector<std::string> after = entries;
    if (!saved) {
        EXPECT_EQ(StandingAt(path), before);
        EXPECT_EQ(StandingAt(behind), beforeBehind);
    } else {
        EXPECT_EQ(ReadWholeFile(file), saver.text());
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        EXPECT_EQ(S_ISLNK(st.st_mode), path != file) << "a link no longer leads to the file";
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        if (was.st_ino != 0) {  // a file that was there keeps its permissions and group
            EXPECT_EQ(st.st_mode & 07777, was.st_mode & 07777);
            EXPECT_EQ(st.st_gid, was.st_gid);
        }
        if (t == Target::InPlace || t == Target::OnDiskInPlace || t == Target::OnDiskEmpty) {
            EXPECT_EQ(st.st_ino, was.st_ino) << "not written in place";
        }
        if (t == Target::NewPath || t == Target::DanglingLink) {
            after.push_back(fs::path(file).filename().string());
            std::sort(after.begin(), after.end());
        }
    }
    EXPECT_EQ(Entries(dir_), after);
    if (folder != dir_) {
        EXPECT_EQ(Entries(folder), fixed);
    }
}

INSTANTIATE_TEST_SUITE_P(EverySave, Saves,
                         ::testing::Combine(::testing::ValuesIn(kSavers), ::testing::ValuesIn(kSaveCases)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
                         });

}  // namespace
}  // namespace quenor
