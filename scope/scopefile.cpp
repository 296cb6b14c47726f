#include "scope/scopefile.h"

#include "platform/numtext.h"
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

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool Contains(std::string_view line, std::string_view lowerNeedle)
{
    return Lower(line).find(lowerNeedle) != std::string::npos;
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

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
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
    for (const auto& ch : channels_) {
        lines.emplace_back("NewChannel");
        lines.push_back("ChannelName=" + TextValue(ch->name));
        lines.push_back("UnitName=" + TextValue(ch->unit));
        lines.push_back("Factor=" + Float(ch->Factor));
        lines.push_back("Color=" + std::to_string(ch->Color));
        std::string data = "Data=";
        for (std::int32_t i = 0; i < ch->Count(); ++i) {
            if (i > 0)
                data += ',';
            data += std::to_string(ch->Sample(i));
        }
        lines.push_back(std::move(data));
        lines.emplace_back();
    }
    lines.emplace_back();
    lines.emplace_back("[Setup file start]");
    lines.insert(lines.end(), setupLines.begin(), setupLines.end());
    lines.emplace_back("[Setup file end]");
    lines.emplace_back("[Scope end]");
    lines.emplace_back();
}

TSampleSet::LoadResult TSampleSet::LoadFromStrings(const std::vector<std::string>& lines, std::size_t index)
{
    SampleHeader h = Header();
    SChannelData* channel = nullptr;
    auto integer = [](const std::string& v, std::int64_t lo, std::int64_t hi, std::int64_t& out) {
        const auto p = ParseInteger(v);
        if (!p || *p < lo || *p > hi)
            return false;
        out = *p;
        return true;
    };
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();

    std::size_t i = index;
    for (; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (Contains(line, "[setup file start]")) {
            for (++i; i < lines.size() && !Contains(lines[i], "[setup file end]"); ++i)
                setupLines.push_back(lines[i]);
            continue;
        }
        if (Contains(line, "[scope end]"))
            break;
        const auto eq = line.find('=');
        const std::string key = Lower(line.substr(0, eq));
        const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);

        std::int64_t n = 0;
        if (key == "zoomxtype" || key == "sampledivider" || key == "count" || key == "v_soll" || key == "a_soll"
            || key == "t_soll" || key == "scurve" || key == "revcounts") {
            if (!integer(value, kMin, kMax, n))
                return {i, NotAnIntegerText(value)};
            const auto v = static_cast<std::int32_t>(n);
            if (key == "zoomxtype")
                ZoomXType = static_cast<std::uint8_t>(v >= kZoomAll && v <= kZoomX5 ? v : 0);
            else if (key == "sampledivider")
                SampleDivider = v;
            else if (key == "count") {
                if (v < 0 || v > kMaxFileCount)
                    return {i, "Count " + value + " is out of range (0 to " + std::to_string(kMaxFileCount) + ")"};
                SetCount(v);
            } else if (key == "v_soll")
                h.V_Soll = v;
            else if (key == "a_soll")
                h.A_Soll = v;
            else if (key == "t_soll")
                h.T_Soll = v;
            else if (key == "scurve")
                h.Scurve = v;
            else
                h.Revcounts = v;
        } else if (key == "color") {
            if (!integer(value, kMin, std::numeric_limits<std::uint32_t>::max(), n))
                return {i, NotAnIntegerText(value)};
            if (channel)
                channel->Color = static_cast<std::uint32_t>(n);
        } else if (key == "zeropoint") {
            // The zero line stays inside the plot; a value that is no number puts it in the middle.
            const auto v = ParseDouble(value);
            ZeroPoint = v && !std::isnan(*v) ? std::clamp(*v, 0.0, 1.0) : 0.5;
        } else if (key == "sampletime" || key == "kvout" || key == "factor") {
            const auto v = ParseDouble(value);
            if (!v)
                return {i, NotAFloatText(value)};
            if (key == "sampletime")
                SampleTime = *v;
            else if (key == "kvout")
                h.Kvout = *v;
            else if (channel)
                channel->Factor = *v;
        } else if (key == "scopename") {
            name = value;
        } else if (key == "channelname") {
            if (channel)
                channel->name = value;
        } else if (key == "unitname") {
            if (channel)
                channel->unit = value;
        } else if (key == "newchannel") {
            auto ch = SChannelData::Unfilled(Count());  // holds what its "Data" line gives
            ch->visible = true;
            channel = AddChannel(std::move(ch));  // a fifth channel has nowhere to go: its keys are ignored
        } else if (key == "data") {
            if (!channel)
                continue;
            std::vector<std::int32_t> samples;
            std::size_t pos = 0;
            for (std::int32_t k = 0; k < channel->Count() && pos < value.size(); ++k) {
                const auto comma = value.find(',', pos);
                const std::string piece = value.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
                if (!integer(piece, kMin, kMax, n))
                    return {i, NotAnIntegerText(piece)};
                samples.push_back(static_cast<std::int32_t>(n));
                if (comma == std::string::npos)
                    break;
                pos = comma + 1;
            }
            channel->LoadSamples(samples);
        }
    }
    SetHeader(h);
    return {std::min(i, lines.size()), {}};
}

ScopeFileRead ReadScopeLines(const std::vector<std::string>& lines)
{
    ScopeFileRead out;
    std::int64_t samples = 0;  // of every channel of the sets read
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].starts_with(kScopeBlockStart))
            continue;
        try {
            auto set = std::make_shared<TSampleSet>();
            const TSampleSet::LoadResult r = set->LoadFromStrings(lines, i + 1);
            if (!r.error.empty()) {
                out.error = r.error;
                break;
            }
            for (int c = 0; c < set->ChannelCount(); ++c)
                samples += set->Channel(c)->Count();
            if (samples > kMaxFileSamples) {
                out.error = "The file holds more than " + std::to_string(kMaxFileSamples) + " samples";
                break;
            }
            out.sets.push_back(std::move(set));
            i = r.end;
        } catch (const std::bad_alloc&) {
            out.error = kNoMemoryText;
            break;
        }
    }
    return out;
}

std::vector<std::string> ScopeFileLines(const std::vector<std::shared_ptr<TSampleSet>>& sets)
{
    std::vector<std::string> lines;
    for (const auto& s : sets)
        if (s)
            s->SaveToStrings(lines);
    return lines;
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
