#pragma once
// The motor registers that a motion program or the scope may read or write, per
// motor kind (0 and 1 servo motors, 2 stepper motors), with their names, width,
// unit group and scale, and the unit tables that turn register counts into
// display units. One unit is selected per unit group, so every register of a
// group shows the same unit.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quenor {

constexpr std::uint32_t kRegisterReadable = 1;  // register conditions, sampling
constexpr std::uint32_t kRegisterWritable = 2;  // "Set a register in the Vek motor"

struct SRegisterInfo {
    std::uint16_t reg;
    const char* shortName;  // the motor's own mnemonic
    const char* longName;   // what the lists show
    std::uint8_t dataType;  // 2: 32 bits over two register numbers; else one 16-bit register
    std::int8_t unitGroup;  // 0 none
    float scale;            // the unit factors of the row are divided by it
    std::uint32_t access;   // kRegisterReadable | kRegisterWritable
};

struct SUnitInfo {
    std::uint8_t unitGroup;
    const char* name;
    float factor;
};

class CVekParameterList {
public:
    static constexpr int kUnitGroups = 16;

    // No kind chosen yet (no rows); every selected unit index 0.
    CVekParameterList() = default;

    // 0 and 1 the servo tables, 2 the stepper tables; other values change nothing.
    void SelectMotorKind(int kind);
    // -1 before a kind was chosen.
    int MotorKind() const { return kind_; }

    // One entry per row in table order, "<register> - <long name>": with
    // readable the readable rows, else the writable rows.
    std::vector<std::string> GetRegisterList(bool readable) const;
    // The row index, -1 when the kind has no such register.
    int FindRegister(int reg) const;
    // The long name, or "Register <n>".
    std::string GetRegisterName(int reg) const;
    // True when the row exists and holds a 32-bit value.
    bool IsLongRegister(int reg) const;

    // The unit names of the register's group, in table order, and the group's
    // selected index; empty and 0 without a row or a group.
    std::vector<std::string> GetUnitList(int reg, int& selected) const;
    // The group's selected index, 0 without a group.
    int GetUnitIndex(int reg) const;
    // Selects a unit for the register's whole group; nothing without a row or
    // group, or for a negative index.
    void SetUnitIndex(int reg, int index);
    // Display value = register counts * factor. index -1 means the selected unit.
    double GetUnitFactor(int reg, int index = -1) const;
    // The name of the index-th unit of the group (-1 the selected one); empty
    // when the group has fewer units or the register has no group.
    std::string GetUnitName(int reg, int index = -1) const;

    int RegisterCount() const { return static_cast<int>(registers_.size()); }
    const SRegisterInfo& Register(int row) const { return registers_.at(static_cast<std::size_t>(row)); }
    const std::vector<SRegisterInfo>& Registers() const { return registers_; }
    const std::vector<SUnitInfo>& Units() const { return units_; }

private:
    const SRegisterInfo* Row(int reg) const;
    int SelectedIndex(int group) const;

    int kind_ = -1;
    std::vector<SRegisterInfo> registers_;
    std::vector<SUnitInfo> units_;
    std::array<int, kUnitGroups> selected_{};
};

}  // namespace quenor
