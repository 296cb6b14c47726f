#pragma once
// Motor type codes, their generation (motor family) and the register values a
// type shows while no motor is connected.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quenor {

struct MotorTypeInfo {
    int code;
    const char* model;     // "VekA", "Qor", ...
    const char* menuItem;  // name of the Offline menu item
    bool servo;            // a servo model's caption is its name followed by " Motor"
};

// The types of the Offline menu, in menu order.
const std::vector<MotorTypeInfo>& OfflineMotorTypes();

// 2 for codes of 64 and above, 1 for 12 and above, else 0.
int GenerationOfType(int code);
// 3, 14 and 64 for generations 0, 1 and 2.
int DefaultOfflineType(int generation);
// The code itself when it is one of the menu's types (1-4, 14, 15, 64-69), else 3.
int SelectableMotorType(int code);

// The type a connected motor of a family is shown as for the type code it
// reports. The family comes from the motor's register 1 and wins: a code that
// is no type of that family (not set, unknown, or another family's) selects
// the family's first type, and the type counts as unknown.
struct ReportedMotorType {
    int type;
    bool known;
};
ReportedMotorType MotorTypeOfFamily(int generation, std::int64_t code);
// The number the filter selector shows after "VEK"; 0 for codes that are no type.
int ModelDisplayNumber(int code);
// The caption of a type's Offline menu item.
std::string MotorTypeCaption(int code);

// The (register, value) pairs that are posted as register values when the
// default set `code` is asked for in `generation` while `currentType` is the
// selected motor type. Values are the unsigned 16- or 32-bit forms.
std::vector<std::pair<int, std::uint32_t>> DefaultRegisterSet(int generation, int currentType, int code);

}  // namespace quenor
