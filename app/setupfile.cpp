#include "app/setupfile.h"

#include "app/motortypes.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace quenor {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::optional<int> ReadInt(const std::string& text)
{
    std::string_view s(text);
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    int v = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || res.ec != std::errc() || res.ptr != s.data() + s.size())
        return std::nullopt;
    return v;
}

// The text between position `after` (exclusive, counted from 1) and the last character.
std::string Between(const std::string& line, std::size_t after)
{
    if (line.size() <= after + 1)
        return {};
    return line.substr(after, line.size() - after - 1);
}

}  // namespace

std::vector<std::string> SplitTextLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string current;
    bool pending = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
            pending = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            continue;
        }
        current.push_back(c);
        pending = true;
    }
    if (pending)
        lines.push_back(std::move(current));
    return lines;
}

std::string JoinTextLines(const std::vector<std::string>& lines)
{
    std::string out;
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

SetupHeader ScanSetupHeader(const std::vector<std::string>& lines)
{
    SetupHeader h;
    static const std::string motorPrefix = "[Motor type ";
    static const std::string filterPrefix = "[filter type ";
    static const std::string familyPrefix = "[Motor family ";
    for (const auto& line : lines) {
        if (line.empty() || line[0] != '[')
            break;
        if (line == kSetupFileMarker) {
            h.valid = true;
        } else if (line.compare(0, motorPrefix.size(), motorPrefix) == 0) {
            if (auto v = ReadInt(Between(line, motorPrefix.size())))
                h.motorType = *v;
            else
                h.malformed = true;
        } else if (line.compare(0, familyPrefix.size(), familyPrefix) == 0) {
            if (auto v = ReadInt(Between(line, familyPrefix.size())); v && *v >= 0 && *v <= 2)
                h.family = *v;
            else
                h.malformed = true;
        } else if (line.size() >= filterPrefix.size()) {
            std::string head = line.substr(0, filterPrefix.size());
            std::transform(head.begin(), head.end(), head.begin(), Lower);
            if (head == filterPrefix) {
                if (auto v = ReadInt(Between(line, filterPrefix.size())))
                    h.filterType = *v;
                else
                    h.malformed = true;
            }
        }
    }
    return h;
}

std::vector<std::string> SetupHeaderLines(int motorType, int generation, int filterType, bool typeUnknown)
{
    std::vector<std::string> lines{kSetupFileMarker, kSetupFileCompany,
                                   "[Motor type " + std::to_string(motorType) + "]"};
    if (typeUnknown)
        lines.push_back("[Motor family " + std::to_string(generation) + "]");
    if (generation != 2)
        lines.push_back("[Filter Type " + std::to_string(filterType) + "]");
    return lines;
}

int FilterTypeOfValues(int generation, std::int32_t r102, std::int32_t r103, std::int32_t r104, std::int32_t r105)
{
    auto v = [generation](std::int32_t x) -> std::int64_t {
        return generation == 0 ? static_cast<std::int16_t>(static_cast<std::uint16_t>(x & 0xFFFF)) : x;
    };
    return v(r102) + v(r103) + v(r104) + v(r105) != 256 ? 2 : 1;
}

bool IsFilterRegister(int generation, int reg)
{
    switch (generation) {
    case 0:
        return (reg >= 89 && reg <= 111) || reg == 126;
    case 1:
        return (reg >= 121 && reg <= 149) || reg == 173;
    default:
        return false;
    }
}

int OfflineTypeOfFile(const SetupHeader& header)
{
    if (header.family >= 0)
        return MotorTypeOfFamily(header.family, header.motorType).type;
    return SelectableMotorType(header.motorType);
}

SetupLoadDecision DecideSetupLoad(bool connected, int generation, int motorType, int firmware,
                                  const SetupHeader& header)
{
    SetupLoadDecision d;
    if (!connected)
        return d;
    if (!header.valid) {
        // Not a setup file: no parameter of it is applied, and the notice says
        // so rather than warning about its type or filter as if the rest went in.
        d.incompatible = true;
        return d;
    }
    if (generation == 0) {
        d.wrongType = header.motorType != motorType;
        // A file of another family (its family line says so, or else its code).
        d.incompatible = header.family >= 0 ? header.family != 0 : header.motorType >= 10;
        const int expected = firmware < 112 ? 1 : 2;
        if (header.filterType != expected) {
            if (expected == 1) {
                d.wrongType = true;
                d.firmwareReason = true;
            } else {
                d.convertFilter = true;
            }
        }
    } else if (generation == 1) {
        d.wrongType = (header.motorType >> 1) != (motorType >> 1);
        if ((firmware < 72 && header.filterType > 1) || (firmware >= 72 && header.filterType != 2)) {
            d.wrongType = true;
            d.firmwareReason = true;
        }
        d.incompatible = header.family >= 0 ? header.family != 1 : header.motorType < 10;
    }
    return d;
}

std::vector<Notice> SetupLoadNotices(const SetupLoadDecision& d)
{
    std::vector<Notice> notices;
    if (d.incompatible) {
        notices.push_back({"This setup file is not compatible with this motor type.\n"
                           "The motor parameters will not be loaded.\n"
                           "If the file contains a -MRP program this will be loaded.",
                           "Incompatible motor type!"});
    } else if (d.wrongType && !d.firmwareReason) {
        notices.push_back({"This setup file is made for a different motor type.\n"
                           "The filter parameters will not be loaded.\n"
                           "Please notice that it might be nessasary\n"
                           "to select a new filter in the filter selector.\n"
                           "If the file contains a -MRP program this will be loaded.",
                           "Wrong motor type!"});
    } else if (d.wrongType) {
        notices.push_back({"The filter parameters in this setup file is not compatible\n"
                           "with the firmware in the motor.\n"
                           "The setup file will be loaded except for the filter parameters.\n"
                           "Please notice that it might be necessary\n"
                           "to select a new filter in the filter selector.\n"
                           "We recommend you to update the motor firmware\n"
                           "to the latest version by using the \"Updates\" menu",
                           "Incompatible firmware!"});
    }
    if (d.convertFilter) {
        notices.push_back({"This setup file contains an old filter type.\n"
                           "The filter will be converted to comply with the new firmware.",
                           "Old filter type!"});
    }
    return notices;
}

std::optional<SetupEntry> SplitSetupEntry(const std::string& line)
{
    const auto p = line.find('=');
    if (p == std::string::npos)
        return std::nullopt;
    SetupEntry e;
    e.key = line.substr(0, p);
    while (!e.key.empty() && (e.key.back() == ' ' || e.key.back() == '\t'))
        e.key.pop_back();
    e.value = line.substr(p + 1, 100);
    return e;
}

bool SetupKeyMatches(const std::string& key, const std::string& caption)
{
    if (key.size() != caption.size())
        return false;
    for (std::size_t i = 0; i < key.size(); ++i)
        if (Lower(key[i]) != Lower(caption[i]))
            return false;
    return true;
}

std::string ProgramLine(const std::string& hexText)
{
    std::string key = kProgramKey;
    if (key.size() < 25)
        key.append(25 - key.size(), ' ');
    return key + " = " + hexText;
}

std::int32_t FilterConverter::Apply(int reg, std::int32_t value)
{
    if (reg >= 97 && reg <= 100) {
        a_ -= value;
        return static_cast<std::int32_t>(-a_);
    }
    if (reg >= 102 && reg <= 105) {
        b_ += value;
        return static_cast<std::int32_t>(b_);
    }
    return value;
}

std::vector<int> SetupWriteOrder(const std::array<bool, kRegisterSlots>& loaded)
{
    std::vector<int> order;
    for (int r = 0; r < kRegisterSlots; ++r)
        if (loaded[static_cast<std::size_t>(r)] && r != 37)
            order.push_back(r);
    if (loaded[37])
        order.push_back(37);
    return order;
}

bool IsSetupFileName(const std::string& name)
{
    if (name.size() < 3)
        return false;
    return SetupKeyMatches(name.substr(name.size() - 3), "vek");
}

}  // namespace quenor
