#pragma once
// The one-line texts that say what a program line does: the listing's rows
// and the printout show them. Pure functions of a line's command ID and cells;
// register names, unit names and remark texts come from the program. Values
// are written with FormatValueText (platform/numtext.h), as the command dialogs
// show them.

#include <cstdint>
#include <span>
#include <string>

namespace quenor {

class CGraphicProgram;

// The text of an output element starting at cells[0]; capital selects "Set"
// or "set".
std::string DescribeSetOutputs(std::span<const std::uint8_t> cells, bool capital);

// The text of an input condition starting at cells[0]. sensor reads the
// one-byte condition of a sensor move.
std::string DescribeInputCondition(std::span<const std::uint8_t> cells, bool sensor);

// The text of line `line` holding command `id` with these cells.
std::string DescribeCommand(const CGraphicProgram& program, std::uint16_t line, std::uint8_t id,
                            std::span<const std::uint8_t> cells);

// The line-number label's text: line + 1 and ":".
std::string RowNumberText(std::uint32_t line);

// What a row shows: the number label's text, the description (with its
// leading blank) and the hint of both labels (the two together).
struct SRowText {
    std::string number;
    std::string text;
    std::string hint;
};
SRowText RowText(const CGraphicProgram& program, std::uint32_t line, std::uint8_t id,
                 std::span<const std::uint8_t> cells);

}  // namespace quenor
