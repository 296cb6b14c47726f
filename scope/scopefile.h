#pragma once
// Scope files: text blocks of sample sets, one after another, each with the
// motor's setup lines taken when it was sampled; and the clipboard text of one
// set for spreadsheets.

#include "scope/sampleset.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quenor {

// A float in the general form: at most 15 significant digits, no trailing
// zeros, exponent form ("1.5E-7", "1E20") below 1E-5 or from 1E15 on; the
// decimal separator as given. Reads back with ParseDouble (for '.') to a value
// that writes the same text again. A finite value beyond ±1.79769313486231E308
// (whose fifteen digits would round past the largest double) writes that value.
std::string FormatGeneral(double value, char separator = '.');

// The line that opens a set in a scope file (it must begin the line, exact case).
inline constexpr std::string_view kScopeBlockStart = "[Scope v0.9]";

// The largest Count a scope file may give.
constexpr std::int32_t kMaxFileCount = 1000000;
// The most samples (of all channels of all sets) a scope file may hold: those
// of a thousand of the longest sample runs, four channels each (14 848 000).
// A set holds Count samples in every channel, whether its "Data" lines give
// them or not.
constexpr std::int64_t kMaxFileRuns = 1000;
constexpr std::int64_t kMaxFileSamples = kMaxFileRuns * kSampleChannels * kLargestSampleCount;
// The most sets a scope file may hold: as many as those runs.
constexpr std::size_t kMaxFileSets = static_cast<std::size_t>(kMaxFileRuns);

// What a scope holds, or a file gives: sets, and samples of all their
// channels (a set holds Count samples in every channel).
struct ScopeContents {
    std::size_t sets = 0;
    std::int64_t samples = 0;
};
ScopeContents ContentsOf(const std::vector<std::shared_ptr<TSampleSet>>& sets);

// The limit of a scope file that a reading or a scope would pass.
enum class ScopeLimit { None, Sets, Samples };
// Which limit a scope that holds `held` would pass with `more` besides.
ScopeLimit LimitPassed(const ScopeContents& held, const ScopeContents& more);
// Why the scope takes no more: it would pass the limit (not None).
std::string ScopeFullText(ScopeLimit limit);

// The longest line a scope file may have: a "Data" line of the largest
// Count, every value of eleven characters and a comma.
constexpr std::size_t kLongestLine = 5 + 12 * static_cast<std::size_t>(kMaxFileCount);
// The most a set's copy of the motor's setup file may take: lines, and
// characters with their line breaks. A motor's setup file is a small part of it.
constexpr std::size_t kMaxSetupLines = 4096;
constexpr std::size_t kMaxSetupChars = 1 << 20;

// Every line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

// Result of reading a scope file: the sets read completely, and an error text
// (empty when the whole file was read) that ends the reading; the set being
// read when it failed is dropped.
struct ScopeFileRead {
    std::vector<std::shared_ptr<TSampleSet>> sets;
    std::string error;
    ScopeLimit limit = ScopeLimit::None;  // the reading ended at this limit
};

// Reads a scope file as it comes, in pieces of any size, a line at a time
// (lines end at CR LF, LF or CR): it holds the line being read and what the
// sets keep, never the whole text. A set is made when its block ends: then its
// Count is known, and every channel gets Count samples, the first Count values
// of its "Data" line and zeros after them, wherever the Count line stands. A
// channel stores only what its "Data" line gives, and never more than the
// samples the file may still hold, so no Count takes memory by itself.
class ScopeFileReader {
public:
    // held: what the scope that takes the sets holds already; the limits
    // count it with the sets read.
    explicit ScopeFileReader(ScopeContents held = {});
    ~ScopeFileReader();
    ScopeFileReader(const ScopeFileReader&) = delete;
    ScopeFileReader& operator=(const ScopeFileReader&) = delete;

    // The next bytes of the file. False once the reading has ended (an error,
    // a limit): the rest of the file need not be given.
    bool Feed(std::string_view bytes);
    // The end of the file: a last line without a line break is read and an
    // unended set is made. With a reason (the file could not be read to its
    // end), the set being read is dropped and the reason is the error.
    ScopeFileRead Finish(const std::string& reason = {});

private:
    struct Block;
    void Line(std::string_view line);
    void KeyLine(Block& b, std::string_view line);
    void EndBlock();
    void Stop(std::string error, ScopeLimit limit = ScopeLimit::None);

    std::string partial_;  // the line that the bytes so far began
    bool afterCr_ = false;  // the last bytes ended in CR: an LF next belongs to it
    std::unique_ptr<Block> block_;  // the set being read
    ScopeContents held_;        // of the scope beside the sets read
    std::int64_t samples_ = 0;  // of the scope and the sets read
    ScopeFileRead read_;
    bool done_ = false;
};

// A whole file's text read at once.
ScopeFileRead ReadScopeText(std::string_view text);

// The largest scope file read: every sample a file may hold as a number of
// eleven characters and a comma, and for each set its copy of the setup file
// and as much again for its name and other lines (about 2.3 GB).
constexpr std::size_t kScopeFileMaxBytes =
    12 * static_cast<std::size_t>(kMaxFileSamples) + kMaxFileSets * 2 * kMaxSetupChars;

// Reads a scope file a piece at a time (ScopeFileReader) beside a scope that
// holds `held`. A path that is no regular file (a folder, a named pipe, a
// device), may not be read or is larger than kScopeFileMaxBytes is not read:
// no sets, and the reason as the error.
ScopeFileRead ReadScopeFile(const std::string& path, ScopeContents held = {});

// The blocks of the given sets, in order.
std::vector<std::string> ScopeFileLines(const std::vector<std::shared_ptr<TSampleSet>>& sets);
// Saves the blocks of the given sets as the whole of the file at path
// (SaveWholeFile): a save that fails leaves the file there as it was, and a
// path that is no regular file is refused. False with the reason when not saved.
bool SaveScopeFile(const std::string& path, const std::vector<std::shared_ptr<TSampleSet>>& sets,
                   std::string* reason);

// The tab-separated text of a set, lines ended by CR LF, floats with the given
// decimal separator.
std::string ClipboardText(const TSampleSet& set, char decimalSeparator);

// The message texts of a failed save or load.
std::string SaveErrorText(const std::string& reason);
std::string LoadErrorText(const std::string& reason);
// The reason given when memory ran out.
inline constexpr const char* kNoMemoryText = "Not enough memory";

}  // namespace quenor
