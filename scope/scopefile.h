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
constexpr std::int64_t kMaxFileRuns = 1000;
constexpr std::int64_t kMaxFileSamples = kMaxFileRuns * kSampleChannels * kLargestSampleCount;

// Splits a file's text into lines at CR LF, LF or CR (a last line break ends
// the last line, it does not start an empty one).
std::vector<std::string> SplitLines(std::string_view text);
// Every line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

// Result of reading the lines of a scope file: the sets read completely, and
// an error text (empty when the whole file was read) that ends the reading; the
// set being read when it failed is dropped.
struct ScopeFileRead {
    std::vector<std::shared_ptr<TSampleSet>> sets;
    std::string error;
};
ScopeFileRead ReadScopeLines(const std::vector<std::string>& lines);

// The blocks of the given sets, in order.
std::vector<std::string> ScopeFileLines(const std::vector<std::shared_ptr<TSampleSet>>& sets);

// The tab-separated text of a set, lines ended by CR LF, floats with the given
// decimal separator.
std::string ClipboardText(const TSampleSet& set, char decimalSeparator);

// The message texts of a failed save or load.
std::string SaveErrorText(const std::string& reason);
std::string LoadErrorText(const std::string& reason);
// The reason given when memory ran out.
inline constexpr const char* kNoMemoryText = "Not enough memory";

}  // namespace quenor
