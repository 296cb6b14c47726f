#pragma once
// A selector on the generator's tables, with scripted answers to its questions.

#include "app/filterselector.h"
#include "filter/filterfiles.h"
#include "platform/recordingtarget.h"

#include <deque>

namespace quenor::filtertest {

struct ScriptedUi : FilterSelectorUi {
    struct Asked {
        std::string text;
        std::string caption;
    };
    bool Ask(const std::string& text, const std::string& caption, Buttons) override
    {
        asked.push_back({text, caption});
        return answer;
    }
    void Message(const std::string& text, const std::string& caption) override { told.push_back({text, caption}); }
    std::optional<std::string> InputText(const std::string& caption, const std::string&) override
    {
        asked.push_back({"input", caption});
        return input;
    }
    bool answer = true;
    std::optional<std::string> input;
    std::vector<Asked> asked;
    std::vector<Asked> told;
};

// The motor types used: type 3 (index 2) on the normal tables, a large motor
// (index 13) on the large-motor table.
inline constexpr int kNormalIndex = 2;
inline constexpr int kLargeIndex = 13;

// The old-filter table is small: 4 speeds, 3 hardnesses, 3 dampings, 4 types.
inline fg::TableDesign OldSpec()
{
    fg::TableDesign s;
    s.groups = {4, 3, 3, 4, 4, 3};
    s.minor = 1;
    return s;
}

struct Tables {
    fg::TableDesign normal = NormalSpec();
    fg::TableDesign large = LargeSpec();
    fg::TableDesign old = OldSpec();

    void Write(const TempDir& dir) const
    {
        ASSERT_TRUE(fg::WriteTable(normal, dir.File("manyfilt.dat")));
        ASSERT_TRUE(fg::WriteTable(large, dir.File("manyfiltbig.dat")));
        ASSERT_TRUE(fg::WriteTable(old, dir.File("manyfiltold.dat")));
    }
};

// The writes of the UM_WRITEREGISTER messages.
inline std::vector<RegisterWrite> WritesOf(const std::vector<Message>& ms)
{
    std::vector<RegisterWrite> out;
    for (const Message& m : ms)
        if (m.msg == UM_WRITEREGISTER)
            out.push_back(DecodeWriteRegister(m));
    return out;
}

}  // namespace quenor::filtertest

namespace quenor {
inline std::ostream& operator<<(std::ostream& os, const RegisterWrite& w)
{
    return os << "(" << w.reg << " := " << w.value << " w" << w.width << ")";
}
inline std::ostream& operator<<(std::ostream& os, const FilterChoices& c)
{
    return os << "{row " << c.row << " col " << c.column << " damp " << c.damping << " ff " << c.feedForward
              << " cur " << c.currentFilter << " deg " << c.degree << "}";
}
}  // namespace quenor
