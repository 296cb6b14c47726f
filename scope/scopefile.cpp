#include "scope/scopefile.h"

#include "platform/numtext.h"
#include "platform/regularfile.h"
#include "platform/savefile.h"
#include "scope/samplesetup.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

namespace quenor {

namespace {

constexpr int kGeneralDigits = 15;
// The largest value with fifteen significant digits below the largest double.
constexpr double kLargestGeneral = 1.79769313486231E308;

char LowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = LowerChar(c);
    return out;
}

// Whether the line holds a block marker ("[...]", lower case) in any case.
bool Contains(std::string_view line, std::string_view lowerMarker)
{
    for (auto at = line.find('['); at != std::string_view::npos; at = line.find('[', at + 1)) {
        const std::string_view rest = line.substr(at);
        if (rest.size() >= lowerMarker.size()
            && std::equal(lowerMarker.begin(), lowerMarker.end(), rest.begin(),
                          [](char m, char c) { return LowerChar(c) == m; }))
            return true;
    }
    return false;
}

std::string Float(double v) { return FormatGeneral(v, '.'); }

// A name or unit goes on a line of its own, and the reader takes any line that
// holds a block marker as that marker: such a name would end the set there and
// lose its channels. Its brackets are written as parentheses, and a line break
// as a space, so the text reads back as the same line.
std::string TextValue(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    const std::string lower = Lower(text);
    for (std::string_view marker : {"[scope end]", "[setup file start]", "[setup file end]"}) {
        for (auto at = lower.find(marker); at != std::string::npos; at = lower.find(marker, at + 1)) {
            text[at] = '(';
            text[at + marker.size() - 1] = ')';
        }
    }
    return text;
}

}  // namespace

std::string FormatGeneral(double value, char separator)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0.0)
        return "0";
    // Fifteen digits of a value above this one round past the largest double,
    // to a text that no longer reads as a number.
    if (std::fabs(value) > kLargestGeneral)
        value = std::copysign(kLargestGeneral, value);
    // Fifteen significant digits as d.dddddddddddddde[+-]x, then laid out.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, kGeneralDigits - 1);
    std::string sci(buf, res.ptr);
    const bool negative = sci[0] == '-';
    if (negative)
        sci.erase(0, 1);
    const auto ePos = sci.find('e');
    const int exponent = std::atoi(sci.c_str() + ePos + 1);
    std::string digits;
    for (std::size_t i = 0; i < ePos; ++i)
        if (sci[i] != '.')
            digits.push_back(sci[i]);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent < -5 || exponent >= kGeneralDigits) {
        out += digits[0];
        if (digits.size() > 1) {
            out += separator;
            out.append(digits, 1);
        }
        out += 'E';
        if (exponent < 0)
            out += '-';
        out += std::to_string(std::abs(exponent));
    } else if (exponent < 0) {
        out += '0';
        out += separator;
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    } else {
        const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            out += digits;
            out.append(intDigits - digits.size(), '0');
        } else {
            out.append(digits, 0, intDigits);
            out += separator;
            out.append(digits, intDigits);
        }
    }
    return out;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

void TSampleSet::SaveToStrings(std::vector<std::string>& lines) const
{
    const SampleHeader h = Header();
    lines.emplace_back(kScopeBlockStart);
    lines.push_back("ScopeName=" + TextValue(name));
    lines.push_back("ZoomXType=" + std::to_string(ZoomXType));
    lines.push_back("SampleDivider=" + std::to_string(SampleDivider));
    lines.push_back("SampleTime=" + Float(SampleTime));
    lines.push_back("ZeroPoint=" + Float(ZeroPoint));
    lines.push_back("Count=" + std::to_string(Count()));
    lines.push_back("V_Soll=" + std::to_string(h.V_Soll));
    lines.push_back("A_Soll=" + std::to_string(h.A_Soll));
    lines.push_back("T_Soll=" + std::to_string(h.T_Soll));
    lines.push_back("Kvout=" + Float(h.Kvout));
    lines.push_back("Scurve=" + std::to_string(h.Scurve));
    lines.push_back("Revcounts=" + std::to_string(h.Revcounts));
    lines.emplace_back();
    std::string data = "Data=";
    for (const auto& ch : channels_) {
        lines.emplace_back("NewChannel");
        lines.push_back("ChannelName=" + TextValue(ch->name));
        lines.push_back("UnitName=" + TextValue(ch->unit));
        lines.push_back("Factor=" + Float(ch->Factor));
        lines.push_back("Color=" + std::to_string(ch->Color));
        // "Data=" and at most 12 characters a sample ("-2147483648,").
        data.resize(5 + 12 * static_cast<std::size_t>(Count()));
        char* p = data.data() + 5;
        for (std::int32_t i = 0; i < Count(); ++i) {
            if (i > 0)
                *p++ = ',';
            p = std::to_chars(p, data.data() + data.size(), ch->Sample(i)).ptr;
        }
        lines.emplace_back(data.data(), p);
        lines.emplace_back();
    }
    lines.emplace_back();
    lines.emplace_back("[Setup file start]");
    lines.insert(lines.end(), setupLines.begin(), setupLines.end());
    lines.emplace_back("[Setup file end]");
    lines.emplace_back("[Scope end]");
    lines.emplace_back();
}

// ---------------------------------------------------------------------------
// Reading.

namespace {

constexpr std::int64_t kMinInt = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMaxInt = std::numeric_limits<std::int32_t>::max();
// The longest key ("sampledivider"): a longer text before "=" is no key.
constexpr std::size_t kLongestKey = 13;

bool Integer(std::string_view v, std::int64_t lo, std::int64_t hi, std::int64_t& out)
{
    const auto p = ParseInteger(v);
    if (!p || *p < lo || *p > hi)
        return false;
    out = *p;
    return true;
}

// A channel as its lines give it; it becomes an SChannelData when its set ends.
struct FileChannel {
    std::string name;
    std::string unit;
    double Factor = 1.0;
    std::uint32_t Color = 0;
    std::vector<std::int32_t> samples;  // what its "Data" lines gave
};

}  // namespace

struct ScopeFileReader::Block {
    std::shared_ptr<TSampleSet> set = std::make_shared<TSampleSet>();
    SampleHeader header;
    std::vector<FileChannel> channels;  // at most four
    int channel = -1;                   // the one its keys go to; -1 none
    bool inSetup = false;               // between the setup file's markers
    std::size_t setupChars = 0;         // of its lines, with their line breaks
    // The first "Data" value that is no integer, and its place: an error if
    // the set keeps that sample.
    std::int64_t badAt = std::numeric_limits<std::int64_t>::max();
    std::string bad;

    // Stores a "Data" line's values from the channel's first sample on (the
    // samples after them stay), at most `most` of them: the rest is not read.
    void Data(FileChannel& ch, std::string_view value, std::size_t most)
    {
        const auto pieces = static_cast<std::size_t>(std::count(value.begin(), value.end(), ',')) + 1;
        ch.samples.reserve(std::min(pieces, most));
        const char* p = value.data();
        const char* const end = p + value.size();
        for (std::size_t k = 0; k < most && p < end; ++k) {
            std::int32_t v = 0;
            auto r = std::from_chars(p, end, v);
            if (r.ec != std::errc() || (r.ptr != end && *r.ptr != ',')) {
                // Blanks, a '+', or no integer at all.
                r.ptr = std::find(p, end, ',');
                std::int64_t n = 0;
                if (!Integer(std::string_view(p, static_cast<std::size_t>(r.ptr - p)), kMinInt, kMaxInt, n)) {
                    if (static_cast<std::int64_t>(k) < badAt) {
                        badAt = static_cast<std::int64_t>(k);
                        bad.assign(p, r.ptr);
                    }
                    return;
                }
                v = static_cast<std::int32_t>(n);
            }
            if (k < ch.samples.size())
                ch.samples[k] = v;
            else
                ch.samples.push_back(v);
            p = r.ptr == end ? end : r.ptr + 1;
        }
    }
};

ScopeContents ContentsOf(const std::vector<std::shared_ptr<TSampleSet>>& sets)
{
    ScopeContents c;
    for (const auto& s : sets) {
        if (!s)
            continue;
        ++c.sets;
        c.samples += static_cast<std::int64_t>(s->Count()) * s->ChannelCount();
    }
    return c;
}

ScopeLimit LimitPassed(const ScopeContents& held, const ScopeContents& more)
{
    if (held.sets + more.sets > kMaxFileSets)
        return ScopeLimit::Sets;
    if (held.samples + more.samples > kMaxFileSamples)
        return ScopeLimit::Samples;
    return ScopeLimit::None;
}

namespace {

std::string LimitWords(ScopeLimit limit)
{
    return limit == ScopeLimit::Sets ? std::to_string(kMaxFileSets) + " scope sets"
                                     : std::to_string(kMaxFileSamples) + " samples";
}

}  // namespace

std::string ScopeFullText(ScopeLimit limit)
{
    return "The scope would hold more than " + LimitWords(limit) + ", more than a scope file may hold."
           "\nClose some of its sets first.";
}

ScopeFileReader::ScopeFileReader(ScopeContents held) : held_(held), samples_(held.samples) {}
ScopeFileReader::~ScopeFileReader() = default;

bool ScopeFileReader::Feed(std::string_view bytes)
{
    try {
        std::size_t i = 0;
        if (afterCr_ && !bytes.empty() && bytes.front() == '\n')
            i = 1;
        afterCr_ = afterCr_ && bytes.empty();
        while (!done_ && i < bytes.size()) {
            const auto end = std::find_if(bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.end(),
                                          [](char c) { return c == '\r' || c == '\n'; });
            const auto e = static_cast<std::size_t>(end - bytes.begin());
            // A line longer than any a scope file may have is not read on.
            if (partial_.size() + (e - i) > kLongestLine) {
                Stop("A line of the file is longer than " + std::to_string(kLongestLine) + " characters");
                break;
            }
            if (e == bytes.size()) {
                partial_.append(bytes.substr(i));
                break;
            }
            if (partial_.empty()) {
                Line(bytes.substr(i, e - i));
            } else {
                partial_.append(bytes.substr(i, e - i));
                Line(partial_);
                partial_.clear();
            }
            i = e + 1;
            if (bytes[e] == '\r') {
                if (i == bytes.size())
                    afterCr_ = true;
                else if (bytes[i] == '\n')
                    ++i;
            }
        }
    } catch (const std::bad_alloc&) {
        Stop(kNoMemoryText);
    }
    return !done_;
}

ScopeFileRead ScopeFileReader::Finish(const std::string& reason)
{
    try {
        if (!reason.empty())
            Stop(reason);
        if (!done_ && !partial_.empty())
            Line(partial_);
        if (!done_ && block_)
            EndBlock();
    } catch (const std::bad_alloc&) {
        Stop(kNoMemoryText);
    }
    done_ = true;
    partial_.clear();
    return std::move(read_);
}

void ScopeFileReader::Stop(std::string error, ScopeLimit limit)
{
    if (done_)
        return;
    done_ = true;
    block_.reset();  // the set being read is dropped
    read_.error = std::move(error);
    read_.limit = limit;
}

void ScopeFileReader::Line(std::string_view line)
{
    if (!block_) {
        if (!line.starts_with(kScopeBlockStart))
            return;  // text outside the blocks
        if (LimitPassed({held_.sets + read_.sets.size(), 0}, {1, 0}) != ScopeLimit::None)
            return Stop("The file holds more than " + LimitWords(ScopeLimit::Sets), ScopeLimit::Sets);
        block_ = std::make_unique<Block>();
        return;
    }
    Block& b = *block_;
    if (b.inSetup) {
        if (Contains(line, "[setup file end]")) {
            b.inSetup = false;
        } else {
            std::vector<std::string>& setup = b.set->setupLines;
            b.setupChars += line.size() + 2;
            if (setup.size() >= kMaxSetupLines)
                return Stop("The setup file of a set has more than " + std::to_string(kMaxSetupLines) + " lines");
            if (b.setupChars > kMaxSetupChars)
                return Stop("The setup file of a set is longer than " + std::to_string(kMaxSetupChars) + " characters");
            setup.emplace_back(line);
        }
    } else if (Contains(line, "[setup file start]")) {
        b.inSetup = true;
    } else if (Contains(line, "[scope end]")) {
        EndBlock();
    } else {
        KeyLine(b, line);
    }
}

void ScopeFileReader::KeyLine(Block& b, std::string_view line)
{
    // A line without "=" is its own key.
    const auto eq = line.find('=');
    const std::string_view rawKey = line.substr(0, eq);
    if (rawKey.size() > kLongestKey)
        return;
    const std::string key = Lower(rawKey);
    const std::string_view value = eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
    TSampleSet& set = *b.set;
    FileChannel* channel = b.channel >= 0 ? &b.channels[static_cast<std::size_t>(b.channel)] : nullptr;

    std::int64_t n = 0;
    if (key == "zoomxtype" || key == "sampledivider" || key == "count" || key == "v_soll" || key == "a_soll"
        || key == "t_soll" || key == "scurve" || key == "revcounts") {
        if (!Integer(value, kMinInt, kMaxInt, n))
            return Stop(NotAnIntegerText(value));
        const auto v = static_cast<std::int32_t>(n);
        if (key == "zoomxtype")
            set.ZoomXType = static_cast<std::uint8_t>(v >= kZoomAll && v <= kZoomX5 ? v : 0);
        else if (key == "sampledivider")
            set.SampleDivider = v;
        else if (key == "count") {
            if (v < 0 || v > kMaxFileCount)
                return Stop("Count " + std::string(value) + " is out of range (0 to " + std::to_string(kMaxFileCount)
                            + ")");
            set.SetCount(v);
        } else if (key == "v_soll")
            b.header.V_Soll = v;
        else if (key == "a_soll")
            b.header.A_Soll = v;
        else if (key == "t_soll")
            b.header.T_Soll = v;
        else if (key == "scurve")
            b.header.Scurve = v;
        else
            b.header.Revcounts = v;
    } else if (key == "color") {
        if (!Integer(value, kMinInt, std::numeric_limits<std::uint32_t>::max(), n))
            return Stop(NotAnIntegerText(value));
        if (channel)
            channel->Color = static_cast<std::uint32_t>(n);
    } else if (key == "zeropoint") {
        // The zero line stays inside the plot; a value that is no number puts it in the middle.
        const auto v = ParseDouble(value);
        set.ZeroPoint = v && !std::isnan(*v) ? std::clamp(*v, 0.0, 1.0) : 0.5;
    } else if (key == "sampletime" || key == "kvout" || key == "factor") {
        const auto v = ParseDouble(value);
        if (!v)
            return Stop(NotAFloatText(value));
        if (key == "sampletime")
            set.SampleTime = *v;
        else if (key == "kvout")
            b.header.Kvout = *v;
        else if (channel)
            channel->Factor = *v;
    } else if (key == "scopename") {
        set.name = value;
    } else if (key == "channelname") {
        if (channel)
            channel->name = value;
    } else if (key == "unitname") {
        if (channel)
            channel->unit = value;
    } else if (key == "newchannel") {
        // A fifth channel has nowhere to go: its keys are ignored.
        b.channel = -1;
        if (b.channels.size() < static_cast<std::size_t>(TSampleSet::kMaxChannels)) {
            b.channels.emplace_back();
            b.channel = static_cast<int>(b.channels.size()) - 1;
        }
    } else if (key == "data" && channel) {
        // Values past what the file may still hold are not kept: a set whose
        // Count reached them would pass the limit.
        b.Data(*channel, value, static_cast<std::size_t>(std::min<std::int64_t>(kMaxFileCount, kMaxFileSamples - samples_)));
    }
}

void ScopeFileReader::EndBlock()
{
    Block& b = *block_;
    const std::int32_t count = b.set->Count();
    if (b.badAt < count)
        return Stop(NotAnIntegerText(b.bad));
    const std::int64_t samples = samples_ + static_cast<std::int64_t>(count) * static_cast<std::int64_t>(b.channels.size());
    if (samples > kMaxFileSamples)
        return Stop("The file holds more than " + LimitWords(ScopeLimit::Samples), ScopeLimit::Samples);
    for (FileChannel& fc : b.channels) {
        auto ch = SChannelData::Unfilled(count);
        ch->name = std::move(fc.name);
        ch->unit = std::move(fc.unit);
        ch->Factor = fc.Factor;
        ch->Color = fc.Color;
        ch->visible = true;
        ch->LoadSamples(fc.samples);
        std::vector<std::int32_t>().swap(fc.samples);
        b.set->AddChannel(std::move(ch));
    }
    b.set->SetHeader(b.header);
    samples_ = samples;
    read_.sets.push_back(std::move(b.set));
    block_.reset();
}

ScopeFileRead ReadScopeText(std::string_view text)
{
    ScopeFileReader reader;
    reader.Feed(text);
    return reader.Finish();
}

ScopeFileRead ReadScopeFile(const std::string& path, ScopeContents held)
{
    RegularFile file(path, kScopeFileMaxBytes);
    if (!file.IsOpen()) {
        ScopeFileRead read;
        read.error = ReadFaultReason(file.Fault(), kScopeFileMaxBytes, "a scope file");
        return read;
    }
    // A piece at a time: the whole text is never held. The limits of a file
    // count the sets held already.
    constexpr std::size_t kPiece = 1 << 20;
    ScopeFileReader reader(held);
    std::vector<char> piece(kPiece);
    std::string reason;
    for (;;) {
        const std::ptrdiff_t n = file.ReadSome(piece.data(), piece.size());
        if (n < 0)
            reason = ReadFaultReason(file.Fault(), kScopeFileMaxBytes, "a scope file");
        if (n <= 0 || !reader.Feed(std::string_view(piece.data(), static_cast<std::size_t>(n))))
            break;
    }
    return reader.Finish(reason);
}

std::vector<std::string> ScopeFileLines(const std::vector<std::shared_ptr<TSampleSet>>& sets)
{
    std::vector<std::string> lines;
    for (const auto& s : sets)
        if (s)
            s->SaveToStrings(lines);
    return lines;
}

bool SaveScopeFile(const std::string& path, const std::vector<std::shared_ptr<TSampleSet>>& sets,
                   std::string* reason)
{
    return SaveWholeFile(path, JoinLines(ScopeFileLines(sets)), reason);
}

std::string ClipboardText(const TSampleSet& set, char sep)
{
    const double ms = set.SampleTime * 1000.0;
    std::string out = set.name + "\r\n";
    out.append("Sampletime [ms] \t").append(FormatGeneral(ms, sep)).append("\r\n");
    out += "Time [ms]";
    for (int c = 0; c < set.ChannelCount(); ++c) {
        const SChannelData* ch = set.Channel(c);
        out.append("\t").append(ch->name).append(" [").append(ch->unit).append("]");
    }
    out += "\r\n";
    for (std::int32_t i = 0; i < set.Count(); ++i) {
        out += FormatGeneral(i * ms, sep);
        for (int c = 0; c < set.ChannelCount(); ++c)
            out.append("\t").append(FormatGeneral(set.Channel(c)->Value(i), sep));
        out += "\r\n";
    }
    return out;
}

std::string SaveErrorText(const std::string& reason) { return "Could not save the file\nError: " + reason; }
std::string LoadErrorText(const std::string& reason) { return "Could not load the file\nError: " + reason; }

}  // namespace quenor
