#pragma once
// A servo filter table file, read whole and checked against its own header.
//
// Little-endian layout: record 0 is the header (int16 record size R at 0,
// uint16 major and minor version at 2 and 4, int16 group sizes G1..G6 at 8..18:
// speed, hardness, damping, feed-forward type, motor, current filter; G6 = 0
// counts as 1). Records 1.. hold the filters, R bytes each, ordered by the
// choices motor, current filter, speed, hardness, damping, feed-forward type
// (the last one varying fastest). The file is exactly R x (G1..G6 product + 1)
// bytes long.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace quenor {

// Raised by CManyFilt::Load; what() is the text shown to the user.
class FilterFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The six choices of a filter, each counted from 0 (-1: not chosen).
struct FilterSelection {
    int speed = -1;          // w1
    int hardness = -1;       // w2
    int damping = -1;        // w3
    int feedForward = -1;    // w4
    int motor = -1;          // w5
    int currentFilter = -1;  // w6
    friend bool operator==(const FilterSelection&, const FilterSelection&) = default;
};

class CManyFilt {
public:
    static constexpr int kHeaderSize = 30;  // bytes 0..29 are interpreted
    static constexpr int kCopySize = 128;   // the part of a record the selector uses
    // The largest table read: the maker's tables are a few hundred KB (the
    // normal table of 2,500 records of 128 bytes takes 320,128 bytes).
    static constexpr std::size_t kMaxFileSize = 16u << 20;

    CManyFilt() = default;

    // Reads and checks the file once; does nothing when already loaded.
    // FilterFileError: the file cannot be read ("Cannot open file ...": also
    // one that is no regular file or is larger than kMaxFileSize) or its
    // size does not match its header ("Incorrect size of file <name>"). The
    // table then stays not loaded.
    void Load(const std::string& fileName);
    // The same checks on bytes already in memory (name is used in messages).
    void LoadBytes(std::vector<std::uint8_t> bytes, const std::string& name);

    bool Loaded() const { return loaded_; }
    int RecordSize() const { return recordSize_; }
    std::int64_t FileSize() const { return static_cast<std::int64_t>(bytes_.size()); }
    // Group sizes G1..G6 (index 1..6; G6 is at least 1). 0 while not loaded.
    int Group(int n) const { return n >= 1 && n <= 6 ? groups_[static_cast<std::size_t>(n - 1)] : 0; }
    // The header words from offset 6 to 29.
    const std::vector<std::int16_t>& HeaderWords() const { return headerWords_; }

    // Record number of a selection: ((((w5 G6 + w6) G1 + w1) G2 + w2) G3 + w3) G4 + w4.
    std::int64_t RecordIndex(const FilterSelection& s) const;
    // True when every choice lies inside its group (a table not loaded has none).
    bool InRange(const FilterSelection& s) const;
    // The R bytes of a selection's record; the caller checks InRange first
    // (std::out_of_range otherwise).
    std::span<const std::uint8_t> RecordOffset(const FilterSelection& s) const;
    // The first 128 bytes of the record; a shorter record is padded with zeros.
    std::vector<std::uint8_t> CopyRecord(const FilterSelection& s) const;

    // major + "." + minor, in decimal.
    std::string VersionText() const;

private:
    // Checks the header against the file size and takes its values.
    void CheckHeader(const std::vector<std::uint8_t>& bytes, std::int64_t fileSize, const std::string& name);

    std::vector<std::uint8_t> bytes_;
    std::vector<std::int16_t> headerWords_;
    int recordSize_ = 0;
    int groups_[6] = {0, 0, 0, 0, 0, 0};
    std::uint16_t major_ = 0;
    std::uint16_t minor_ = 0;
    bool loaded_ = false;
};

}  // namespace quenor
