#include "program/vizuvartable.h"

#include <algorithm>

namespace quenor {

int VarSizeBytes(std::uint8_t sizeType)
{
    switch (sizeType) {
    case kVar16: return 2;
    case kVar32: return 4;
    default: return 1;
    }
}

TVizuVarTable::TVizuVarTable()
{
    vars_.reserve(256);
    AddSystemVariables();
}

void TVizuVarTable::AddSystemVariables()
{
    struct Row {
        const char* name;
        std::uint8_t sizeType;
        std::uint8_t location;
        std::uint8_t access;
    };
    static const Row rows[] = {
        {"Inputs", kVar8, 0, 1},
        {"Status bits", kVar8, 1, 1},
        {"Outputs", kVar8, 2, 3},
        {"Enabled debounce inputs", kVar8, 3, 3},
        {"Input active level", kVar8, 4, 3},
        {"Output active level", kVar8, 5, 3},
        {"Dedicated output enable", kVar8, 6, 3},
        {"Timer 1", kVar16, 10, 3},
        {"Timer 2", kVar16, 12, 3},
        {"Timer 3", kVar16, 14, 3},
        {"Timer 4", kVar16, 16, 3},
    };
    for (const Row& r : rows) {
        SVarElem v;
        v.name = r.name;
        v.sizeType = r.sizeType;
        v.location = r.location;
        v.system = 1;
        v.automatic = 0;
        v.access = r.access;
        vars_.push_back(v);
    }
}

int TVizuVarTable::Check(const std::string& name, std::uint8_t sizeType, std::uint8_t location,
                         bool testOverlap) const
{
    const int n = location;
    const int sn = VarSizeBytes(sizeType);
    for (const SVarElem& v : vars_) {
        if (v.name == name)
            return kCheckNameUsed;
        if (testOverlap) {
            // Automatic variables take part at location 0. The ranges are
            // compared without wrapping at 256, so a variable near the top of
            // the memory cannot hide an overlap.
            const int e = v.automatic ? 0 : v.location;
            const int se = VarSizeBytes(v.sizeType);
            if (n <= e + se - 1 && n + sn - 1 >= e)
                return kCheckOverlap;
        }
    }
    return kCheckOk;
}

int TVizuVarTable::CheckName(const std::string& name, std::uint8_t sizeType) const
{
    return Check(name, sizeType, 0, false);
}

std::string TVizuVarTable::ErrorText(int result, const std::string& name)
{
    switch (result) {
    case kCheckNameUsed: return "Variable name (" + name + ") already used!";
    case kCheckOverlap: return "Specified variable location and size would overlap other variables!";
    default: return std::string();
    }
}

std::string TVizuVarTable::Add(const SVarElem& variable)
{
    const int result = Check(variable.name, variable.sizeType, variable.automatic ? 0 : variable.location,
                             variable.automatic == 0);
    if (result != kCheckOk)
        return ErrorText(result, variable.name);
    vars_.push_back(variable);
    return std::string();
}

std::string TVizuVarTable::Replace(const std::string& oldName, const SVarElem& variable)
{
    const auto it = std::find_if(vars_.begin(), vars_.end(), [&](const SVarElem& v) { return v.name == oldName; });
    if (it == vars_.end())
        return "Variable (" + oldName + ") not found!";
    const auto index = it - vars_.begin();
    SVarElem old = std::move(*it);
    vars_.erase(it);
    std::string error = Add(variable);
    if (!error.empty())
        vars_.insert(vars_.begin() + index, std::move(old));
    return error;
}

int TVizuVarTable::IndexOf(const std::string& name) const
{
    for (int i = 0; i < Count(); ++i)
        if (vars_[static_cast<std::size_t>(i)].name == name)
            return i;
    return Count() + 1;
}

const SVarElem* TVizuVarTable::Find(const std::string& name) const
{
    const int i = IndexOf(name);
    return i < Count() ? &vars_[static_cast<std::size_t>(i)] : nullptr;
}

bool TVizuVarTable::Remove(const std::string& name)
{
    const int i = IndexOf(name);
    if (i >= Count())
        return false;
    vars_.erase(vars_.begin() + i);
    return true;
}

}  // namespace quenor
