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
// that writes the same text again.
std::string FormatGeneral(double value, char separator = '.');

// The line that opens a set in a scope file (it must begin the line, exact case).
inline constexpr std::string_view kScopeBlockStart = "[Scope v0.9]";

// The largest Count a scope file may give.
constexpr std::int32_t kMaxFileCount = 1000000;

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

}  // namespace quenor
