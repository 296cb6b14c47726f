#pragma once
// Stand-ins for the program editor's surroundings: questions answered Yes and
// messages dropped, and command dialogs that are never confirmed.

#include "program/commanddialogs.h"
#include "program/vizuware.h"

namespace quenor::test {

class SilentUi : public VizuWareUi {
public:
    bool Ask(const std::string&, const std::string&, Buttons) override { return true; }
    void Message(const std::string&, const std::string&) override {}
};

class NoDialogs : public VizuCommandDialogs {
public:
    explicit NoDialogs(bool hasDialog = false) : hasDialog_(hasDialog) {}
    bool HasDialog(std::uint8_t) const override { return hasDialog_; }
    bool Execute(std::uint8_t, bool, std::vector<std::uint8_t>&, std::string&) override { return false; }

private:
    bool hasDialog_;
};

}  // namespace quenor::test
