// Format files of the logic module and the list of standard formats.

#include "app/seqletformat.h"

#include "platform/numtext.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace quenor {

namespace {

enum : int {
    kCmdFormatBegin = 0x32,
    kCmdFormatStore = 0x35,
    kCmdFormatEnd = 0x33,
};

// The parse of one file.
class HexParser {
public:
    HexParser(std::span<const std::uint8_t> bytes, std::array<std::uint8_t, TSeqletFormat::kImageSize>& image,
              std::string& description)
        : b_(bytes), image_(image), description_(description)
    {
    }

    void Run()
    {
        while (NextElement()) {
            if (b_[pos_++] == ';')
                Comment();
            else
                Record();
        }
        // A file that sets no byte is no format (an empty file, or another
        // kind of file picked by mistake): sent, it would wipe the module's
        // format with zeros.
        if (dataBytes_ == 0)
            Fail("No data in hexfile");
    }

private:
    [[noreturn]] void Fail(std::string text) { throw FormatLoadError{1, std::move(text), {}}; }
    [[noreturn]] void LineError() { Fail("Error in Line " + std::to_string(line_)); }

    // A line ends with CR, CR LF or LF alone.
    bool AtLineEnd() const { return b_[pos_] == '\r' || b_[pos_] == '\n'; }
    void StepCountingLines()
    {
        if (b_[pos_] == '\r' || (b_[pos_] == '\n' && (pos_ == 0 || b_[pos_ - 1] != '\r')))
            ++line_;
        ++pos_;
    }

    // Moves to the next ':' or ';'; false at the end of the file.
    bool NextElement()
    {
        while (pos_ < b_.size() && b_[pos_] != ':' && b_[pos_] != ';')
            StepCountingLines();
        return pos_ < b_.size();
    }

    void Comment()
    {
        const std::size_t start = pos_;
        while (pos_ < b_.size() && !AtLineEnd())
            ++pos_;
        description_.append(reinterpret_cast<const char*>(b_.data()) + start, pos_ - start);
        description_ += "\r\n";
    }

    int Digit()
    {
        if (pos_ >= b_.size())
            LineError();  // the record is cut off by the end of the file
        const int c = b_[pos_];
        int v = -1;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        if (v < 0)
            LineError();
        ++pos_;
        return v;
    }

    std::uint8_t Byte()
    {
        const int hi = Digit();
        const int v = hi << 4 | Digit();
        sum_ = static_cast<std::uint8_t>(sum_ + v);
        return static_cast<std::uint8_t>(v);
    }

    void Record()
    {
        sum_ = 0;
        const int count = Byte();
        int address = Byte() << 8;
        address |= Byte();
        const int type = Byte();
        if (type == 0) {
            for (int i = 0; i < count; ++i) {
                if (address >= static_cast<int>(TSeqletFormat::kImageSize))
                    Fail("Buffer overflow loading hexfile");
                image_[static_cast<std::size_t>(address)] = Byte();
                ++address;
                ++dataBytes_;
            }
        } else if (type != 1) {
            Fail("Unknown hex record type (" + std::to_string(type) + ") in line" + std::to_string(line_));
        }
        Byte();
        if (sum_ != 0)
            Fail("Checksum error in hexfile in Line " + std::to_string(line_));
    }

    std::span<const std::uint8_t> b_;
    std::array<std::uint8_t, TSeqletFormat::kImageSize>& image_;
    std::string& description_;
    std::size_t pos_ = 0;
    int line_ = 1;
    std::uint8_t sum_ = 0;
    int dataBytes_ = 0;
};

bool IsFormatFileName(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name.size() >= 10 && name.starts_with("format") && name.ends_with(".mrf");
}

}  // namespace

void TSeqletFormat::LoadFromBytes(std::span<const std::uint8_t> bytes)
{
    std::array<std::uint8_t, kImageSize> image{};
    std::string description;
    HexParser(bytes, image, description).Run();
    image_ = image;
    description_ = std::move(description);
}

void TSeqletFormat::LoadFromFile(const std::string& path)
{
    ReadFault fault = ReadFault::None;
    const std::optional<std::string> text = ReadWholeFile(path, kMaxFileSize, &fault);
    if (!text) {
        const std::string why = ReadFaultReason(fault, kMaxFileSize, "a format file");
        throw FormatLoadError{1, "Cannot read file " + path + "\n" + why, why};
    }
    LoadFromBytes(std::span(reinterpret_cast<const std::uint8_t*>(text->data()), text->size()));
    fileName_ = path;
}

int CompareFormats(const TSeqletFormat& a, const TSeqletFormat& b)
{
    if (a.GetFormatNumber() != b.GetFormatNumber())
        return a.GetFormatNumber() < b.GetFormatNumber() ? -1 : 1;
    if (a.GetVersion() != b.GetVersion())
        return a.GetVersion() < b.GetVersion() ? -1 : 1;
    return 0;
}

std::string FormatListLine(const TSeqletFormat& format)
{
    const int v = format.GetVersion();
    return "Format " + std::to_string(format.GetFormatNumber()) + "(Ver " + std::to_string(v >> 4) + "." +
           std::to_string(v & 15) + ")";
}

FormatList LoadFormatList(const std::vector<std::string>& folders)
{
    namespace fs = std::filesystem;
    FormatList list;
    std::error_code ec;
    for (const std::string& folder : folders) {
        if (!folder.empty() && fs::is_directory(folder, ec)) {
            list.folder = folder;
            break;
        }
    }
    if (list.folder.empty())
        return list;

    std::vector<std::string> names;
    for (fs::directory_iterator it(list.folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (IsFormatFileName(name) && IsRegularFile(it->path().string()))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        TSeqletFormat f;
        try {
            f.LoadFromFile((fs::path(list.folder) / name).string());
            list.formats.push_back(std::move(f));
        } catch (const FormatLoadError& e) {
            list.failures.push_back(e);
        }
    }
    std::stable_sort(list.formats.begin(), list.formats.end(),
                     [](const TSeqletFormat& a, const TSeqletFormat& b) { return CompareFormats(a, b) < 0; });
    return list;
}

int ParseModuleAddress(std::string_view text)
{
    const std::optional<std::int64_t> v = ParseInteger(text);
    if (!v || *v < 0 || *v > 255)
        return 255;
    return static_cast<int>(*v);
}

bool DownloadSeqletFormat(ModuleRequests& requests, const TSeqletFormat& format, bool powerUp, int address)
{
    return requests.RequestModuleCommand(kCmdFormatBegin) &&
           requests.RequestSeqletFormatWrite(format.Image(), powerUp, address) &&
           requests.RequestModuleCommand(kCmdFormatStore) && requests.RequestModuleCommand(kCmdFormatEnd);
}

}  // namespace quenor
