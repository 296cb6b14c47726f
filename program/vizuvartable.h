#pragma once
// The editor's map of the programmable module's variable memory: named 8, 16
// and 32-bit variables at byte locations. Names are unique (case-sensitive) and
// variables at fixed locations may not overlap. Every program seeds its table
// with the module's system variables.

#include <cstdint>
#include <string>
#include <vector>

namespace quenor {

enum VarSizeType : std::uint8_t {
    kVar8 = 0,
    kVar16 = 1,
    kVar32 = 2,
};

struct SVarElem {
    std::string name;
    std::uint8_t sizeType = kVar8;  // VarSizeType
    std::uint8_t sign = 1;          // every variable is signed
    std::uint8_t location = 0;      // first byte; 0 when automatic
    std::uint8_t system = 0;        // 1: system variable, not editable or removable
    std::uint8_t automatic = 0;     // 1: no fixed location
    std::uint8_t access = 3;        // 1 read only ("Inputs", "Status bits"), 3 read and write
};

// Bytes of a size type: 1, 2 or 4 (1 for an unknown type).
int VarSizeBytes(std::uint8_t sizeType);

class TVizuVarTable {
public:
    enum CheckResult { kCheckOk = 0, kCheckNameUsed = 1, kCheckOverlap = 2 };

    // Seeded with the system variables.
    TVizuVarTable();

    void AddSystemVariables();

    // Adds the variable; returns an error text, empty on success. A variable
    // with automatic location is tested by name only, one with a fixed location
    // by name and overlap. On an error the table is unchanged.
    std::string Add(const SVarElem& variable);
    // 0 ok, 1 name already used, 2 overlap (tested only when testOverlap).
    int Check(const std::string& name, std::uint8_t sizeType, std::uint8_t location, bool testOverlap) const;
    int CheckName(const std::string& name, std::uint8_t sizeType) const;
    // Replaces the variable named oldName by variable; returns an error text,
    // empty on success. On an error the table is unchanged (the old variable
    // keeps its place).
    std::string Replace(const std::string& oldName, const SVarElem& variable);
    // The index of the variable, or Count() + 1 when the name is absent.
    int IndexOf(const std::string& name) const;
    const SVarElem* Find(const std::string& name) const;
    // False when the name is absent.
    bool Remove(const std::string& name);

    int Count() const { return static_cast<int>(vars_.size()); }
    const SVarElem& At(int index) const { return vars_.at(static_cast<std::size_t>(index)); }
    const std::vector<SVarElem>& Variables() const { return vars_; }

    // The error text for a result of Check.
    static std::string ErrorText(int result, const std::string& name);

private:
    std::vector<SVarElem> vars_;
};

}  // namespace quenor
