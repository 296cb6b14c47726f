#include "program/vizuvekparameterlist.h"

#include "program/vizuvekparameterlist_data.h"

namespace quenor {

void CVekParameterList::SelectMotorKind(int kind)
{
    if (kind < 0 || kind > 2)
        return;
    kind_ = kind;
    const SRegisterInfo* regs = registerdata::kRegisterTables[kind];
    registers_.assign(regs, regs + registerdata::kRegisterCounts[kind]);
    const SUnitInfo* units = registerdata::kUnitTables[kind];
    units_.assign(units, units + registerdata::kUnitCounts[kind]);
}

std::vector<std::string> CVekParameterList::GetRegisterList(bool readable) const
{
    const std::uint32_t bit = readable ? kRegisterReadable : kRegisterWritable;
    std::vector<std::string> list;
    for (const SRegisterInfo& r : registers_)
        if (r.access & bit)
            list.push_back(std::to_string(r.reg) + " - " + r.longName);
    return list;
}

int CVekParameterList::FindRegister(int reg) const
{
    for (std::size_t i = 0; i < registers_.size(); ++i)
        if (registers_[i].reg == reg)
            return static_cast<int>(i);
    return -1;
}

const SRegisterInfo* CVekParameterList::Row(int reg) const
{
    const int i = FindRegister(reg);
    return i < 0 ? nullptr : &registers_[static_cast<std::size_t>(i)];
}

int CVekParameterList::SelectedIndex(int group) const
{
    return group > 0 && group < kUnitGroups ? selected_[static_cast<std::size_t>(group)] : 0;
}

std::string CVekParameterList::GetRegisterName(int reg) const
{
    const SRegisterInfo* r = Row(reg);
    return r ? std::string(r->longName) : "Register " + std::to_string(reg);
}

bool CVekParameterList::IsLongRegister(int reg) const
{
    const SRegisterInfo* r = Row(reg);
    return r && r->dataType == 2;
}

std::vector<std::string> CVekParameterList::GetUnitList(int reg, int& selected) const
{
    std::vector<std::string> list;
    selected = 0;
    const SRegisterInfo* r = Row(reg);
    if (!r || r->unitGroup <= 0)
        return list;
    for (const SUnitInfo& u : units_)
        if (u.unitGroup == r->unitGroup)
            list.emplace_back(u.name);
    selected = SelectedIndex(r->unitGroup);
    return list;
}

int CVekParameterList::GetUnitIndex(int reg) const
{
    const SRegisterInfo* r = Row(reg);
    return r ? SelectedIndex(r->unitGroup) : 0;
}

void CVekParameterList::SetUnitIndex(int reg, int index)
{
    const SRegisterInfo* r = Row(reg);
    if (!r || r->unitGroup <= 0 || r->unitGroup >= kUnitGroups || index < 0)
        return;
    selected_[static_cast<std::size_t>(r->unitGroup)] = index;
}

double CVekParameterList::GetUnitFactor(int reg, int index) const
{
    const SRegisterInfo* r = Row(reg);
    if (!r || r->unitGroup <= 0)
        return 1.0;
    if (index == -1)
        index = SelectedIndex(r->unitGroup);
    int n = 0;
    for (const SUnitInfo& u : units_) {
        if (u.unitGroup != r->unitGroup)
            continue;
        if (n == index)
            return static_cast<double>(u.factor) / static_cast<double>(r->scale);
        ++n;
    }
    // The group has fewer units than the index asks for.
    return r->scale;
}

std::string CVekParameterList::GetUnitName(int reg, int index) const
{
    const SRegisterInfo* r = Row(reg);
    if (!r || r->unitGroup <= 0)
        return std::string();
    if (index == -1)
        index = SelectedIndex(r->unitGroup);
    int n = 0;
    for (const SUnitInfo& u : units_) {
        if (u.unitGroup != r->unitGroup)
            continue;
        if (n == index)
            return u.name;
        ++n;
    }
    return std::string();
}

}  // namespace quenor
