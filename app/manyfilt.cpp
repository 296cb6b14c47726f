#include "app/manyfilt.h"

#include "platform/regularfile.h"

#include <algorithm>

namespace quenor {

namespace {

std::int16_t Int16At(const std::vector<std::uint8_t>& b, std::size_t offset)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(b[offset] | (b[offset + 1] << 8)));
}

std::string SizeError(const std::string& name)
{
    return "Incorrect size of file <" + name + ">";
}

}  // namespace

void CManyFilt::Load(const std::string& fileName)
{
    if (loaded_)
        return;
    ReadFault fault = ReadFault::None;
    const std::optional<std::string> text = ReadWholeFile(fileName, kMaxFileSize, &fault);
    if (!text)
        throw FilterFileError("Cannot open file \"" + fileName + "\". " +
                              ReadFaultReason(fault, kMaxFileSize, "a filter table"));
    LoadBytes(std::vector<std::uint8_t>(text->begin(), text->end()), fileName);
}

void CManyFilt::CheckHeader(const std::vector<std::uint8_t>& bytes, std::int64_t fileSize, const std::string& name)
{
    if (bytes.size() < static_cast<std::size_t>(kHeaderSize))
        throw FilterFileError(SizeError(name));
    const int r = Int16At(bytes, 0);
    if (r < kHeaderSize)
        throw FilterFileError(SizeError(name));
    int groups[6];
    for (int i = 0; i < 6; ++i) {
        groups[i] = Int16At(bytes, 8 + 2 * static_cast<std::size_t>(i));
        if (groups[i] < 0)
            throw FilterFileError(SizeError(name));
    }
    if (groups[5] == 0)
        groups[5] = 1;
    // Records in the file; the product is built only while it stays below that,
    // so it never overflows.
    const std::int64_t records = fileSize / r - 1;
    if (fileSize % r != 0 || records < 0)
        throw FilterFileError(SizeError(name));
    std::int64_t product = std::find(groups, groups + 6, 0) == groups + 6 ? 1 : 0;
    for (int g : groups) {
        if (product == 0)
            break;
        if (product > records / g)
            throw FilterFileError(SizeError(name));
        product *= g;
    }
    if (product != records)
        throw FilterFileError(SizeError(name));

    recordSize_ = r;
    std::copy(groups, groups + 6, groups_);
    major_ = static_cast<std::uint16_t>(Int16At(bytes, 2));
    minor_ = static_cast<std::uint16_t>(Int16At(bytes, 4));
    headerWords_.clear();
    for (std::size_t off = 6; off < static_cast<std::size_t>(kHeaderSize); off += 2)
        headerWords_.push_back(Int16At(bytes, off));
    headerWords_[6] = static_cast<std::int16_t>(groups_[5]);
}

void CManyFilt::LoadBytes(std::vector<std::uint8_t> bytes, const std::string& name)
{
    if (loaded_)
        return;
    CheckHeader(bytes, static_cast<std::int64_t>(bytes.size()), name);
    bytes_ = std::move(bytes);
    loaded_ = true;
}

std::int64_t CManyFilt::RecordIndex(const FilterSelection& s) const
{
    std::int64_t index = s.motor;
    index = index * groups_[5] + s.currentFilter;
    index = index * groups_[0] + s.speed;
    index = index * groups_[1] + s.hardness;
    index = index * groups_[2] + s.damping;
    index = index * groups_[3] + s.feedForward;
    return index;
}

bool CManyFilt::InRange(const FilterSelection& s) const
{
    if (!loaded_)
        return false;
    const auto in = [](int w, int g) { return w >= 0 && w < g; };
    return in(s.speed, groups_[0]) && in(s.hardness, groups_[1]) && in(s.damping, groups_[2]) &&
           in(s.feedForward, groups_[3]) && in(s.motor, groups_[4]) && in(s.currentFilter, groups_[5]);
}

std::span<const std::uint8_t> CManyFilt::RecordOffset(const FilterSelection& s) const
{
    if (!InRange(s))
        throw std::out_of_range("filter selection outside the table");
    const std::size_t start = static_cast<std::size_t>(recordSize_) * static_cast<std::size_t>(RecordIndex(s) + 1);
    return std::span<const std::uint8_t>(bytes_).subspan(start, static_cast<std::size_t>(recordSize_));
}

std::vector<std::uint8_t> CManyFilt::CopyRecord(const FilterSelection& s) const
{
    const std::span<const std::uint8_t> record = RecordOffset(s);
    std::vector<std::uint8_t> out(kCopySize, 0);
    std::copy_n(record.begin(), std::min<std::size_t>(record.size(), kCopySize), out.begin());
    return out;
}

std::string CManyFilt::VersionText() const
{
    return std::to_string(major_) + "." + std::to_string(minor_);
}

}  // namespace quenor
