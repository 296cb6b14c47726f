#pragma once
// The output element: what a "Set outputs" command and a relative move with set
// outputs carry. Kind 0 drives one output (set low, set high, low pulse, high
// pulse), kind 1 sets several outputs at once by a level and a mask byte.
//
// Stream layout since version 0x15 (the one written): kind byte; kind 0: one
// byte, bits 0-2 output number, bits 3-4 mode, then for modes 2 and 3 the pulse
// time as a tagged value; kind 1: levels byte, mask byte. Older streams (four
// outputs) pack number and mode into bits 0-1 and 2-3, and levels and mask into
// the two nibbles of one byte. Command cells hold the current layout.

#include "program/vizuvalue.h"

#include <cstdint>

namespace quenor {

class ByteStream;

// First stream version with eight outputs.
constexpr std::uint16_t kOutputLayoutVersion = 0x15;

enum OutputMode : std::uint8_t {
    kOutputLow = 0,
    kOutputHigh = 1,
    kOutputLowPulse = 2,
    kOutputHighPulse = 3,
};

struct SOutputElement {
    std::uint8_t kind = 0;    // 0 single output, 1 several outputs
    std::uint8_t number = 0;  // kind 0: output 1 is 0
    std::uint8_t mode = 0;    // kind 0: OutputMode
    SValue pulse;             // kind 0, modes 2 and 3: pulse time in milliseconds
    std::uint8_t levels = 0;  // kind 1: bit n = level of output n+1 (1 high)
    std::uint8_t mask = 0;    // kind 1: bit n set = output n+1 is changed

    bool HasPulse() const { return mode == kOutputLowPulse || mode == kOutputHighPulse; }
};

// Reads the kind byte and the element in the layout of the given stream version.
// An undefined kind carries only its kind byte.
void LoadOutput(SOutputElement& element, std::uint16_t version, ByteStream& stream);
void LoadOutputSingle(SOutputElement& element, std::uint16_t version, ByteStream& stream);
void LoadOutputPair(SOutputElement& element, std::uint16_t version, ByteStream& stream);

// Writes the kind byte and the element, always in the current layout.
void SaveOutput(const SOutputElement& element, ByteStream& stream);
void SaveOutputSingle(const SOutputElement& element, ByteStream& stream);
void SaveOutputPair(const SOutputElement& element, ByteStream& stream);

// The same element in command cells (current layout). PutOutput returns false
// and writes nothing when the element does not fit.
SOutputElement GetOutput(CellReader& cursor);
bool PutOutput(CellWriter& cursor, const SOutputElement& element);

}  // namespace quenor
