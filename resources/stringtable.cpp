#include "resources/stringtable.h"

#include <algorithm>
#include <span>
#include <vector>

namespace quenor {

// Each block of texts lives in its own source file.
std::span<const StringResource> HintStrings();
std::span<const StringResource> WarningStrings();

namespace {

const std::vector<StringResource>& Table()
{
    static const std::vector<StringResource> table = [] {
        std::vector<StringResource> all;
        for (auto block : {HintStrings(), WarningStrings()})
            all.insert(all.end(), block.begin(), block.end());
        std::stable_sort(all.begin(), all.end(),
                         [](const StringResource& a, const StringResource& b) { return a.id < b.id; });
        return all;
    }();
    return table;
}

const StringResource* Find(int id)
{
    const auto& table = Table();
    auto it = std::lower_bound(table.begin(), table.end(), id,
                               [](const StringResource& r, int v) { return r.id < v; });
    if (it == table.end() || it->id != id)
        return nullptr;
    return &*it;
}

}  // namespace

std::string LoadStr(int id)
{
    const StringResource* r = Find(id);
    return r ? std::string(r->text) : std::string();
}

bool HasStr(int id) { return Find(id) != nullptr; }

}  // namespace quenor
