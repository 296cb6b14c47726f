#pragma once
// Version words, the baud-rate table and the motor information text that the
// motor picture shows as its hint.
//
// Information registers by family:
//   firmware checksum   0: 158      1: 206              2: 154
//   hardware revision   0: 157 + 16 1: 205 low 16 bits  2: 156
//   bootloader version  -           1: 205 bits 16-31   2: 159
//   encoder bits, maximum bus voltage, option bits: family 2 only, 99, 157, 165.
// The text is rebuilt when the last register of a family's set arrives
// (158, 206, 159) and after the module setup.

#include <cstdint>
#include <string>

namespace quenor {

struct MainWindowState;

// A version word: bits 0-12 the value, bit 13 beta, bits 14-15 the release kind
// (kind 2: six bits of minor number, any other kind four).
struct SVersion {
    std::uint32_t word = 0;

    SVersion() = default;
    explicit SVersion(std::int64_t registerValue) : word(static_cast<std::uint32_t>(registerValue)) {}
};

// "major.minor", followed by " Beta" when bit 13 is set.
std::string FormatVersion(SVersion version);

// 9600 .. 921600 for index 0..7; -1 for any other index.
int GetBaudRate(int baudIndex);

// The text of ShowMotorInformation, lines separated by CR LF; empty when there
// is nothing to show (the hint is then switched off).
std::string MotorInformationText(const MainWindowState& state);

}  // namespace quenor
