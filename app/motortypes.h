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
    const char* menuItem;  // name of the Offline menu item; null for a type without one
    bool servo;            // a servo model's caption is its name followed by " Motor"
};

// Every type Quenor knows, in code order: 1-4, 12-15 and 64-69.
const std::vector<MotorTypeInfo>& KnownMotorTypes();
// The types of the Offline menu, in menu order: the known types but VekE (12, 13).
const std::vector<MotorTypeInfo>& OfflineMotorTypes();

// 2 for codes of 64 and above, 1 for 12 and above, else 0.
int GenerationOfType(int code);
// 3, 14 and 64 for generations 0, 1 and 2.
int DefaultOfflineType(int generation);
// The code itself when it is a known type, else 3. VekE (12, 13) has no menu
// item but is a type of family 1 all the same: a file saved from one selects it.
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
// The number the filter selector shows after "VEK"; 0 for codes that are no known type.
int ModelDisplayNumber(int code);
// The caption of a type (that of its Offline menu item where it has one).
std::string MotorTypeCaption(int code);

// The (register, value) pairs that are posted as register values when the
// default set `code` is asked for in `generation` while `currentType` is the
// selected motor type. Values are the unsigned 16- or 32-bit forms.
std::vector<std::pair<int, std::uint32_t>> DefaultRegisterSet(int generation, int currentType, int code);

}  // namespace quenor
