#include "app/connhelp.h"
#include "app/moduledialogs.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace quenor;

namespace {

// Records the calls the connection help makes, in order.
struct Recorder {
    std::vector<std::string> calls;
    std::vector<FirmwareUpdateSetup> shown;
    bool throwOnShow = false;

    FirmwareUpdateIo Io()
    {
        return {[this](bool stop) { calls.push_back(stop ? "suspend(stop)" : "suspend"); },
                [this](bool resume) { calls.push_back(resume ? "resume(frame)" : "resume"); },
                [this](const FirmwareUpdateSetup& s) {
                    calls.push_back("firmware");
                    shown.push_back(s);
                    if (throwOnShow)
                        throw std::runtime_error("dialog failed");
                }};
    }
};

}  // namespace

TEST(ConnHelp, ResultsDecideTheFirmwareReloadAndTheFlagFollowsTheBox)
{
    struct Case {
        int result;
        bool flagIn;
        bool boxOut;  // what the user leaves in the box
        bool connected;
        int moduleType;
        int expectedGeneration;  // -1: no firmware dialog
    };
    const Case cases[] = {
        {kConnHelpClose, false, true, false, 0, -1},
        {kConnHelpClose, true, false, false, 0, -1},
        {0, true, true, false, 0, -1},  // closed by the window's close box
        {kConnHelpLoadSmall, false, false, false, 0, 0},
        {kConnHelpLoadLarge, true, true, true, 5, 1},
        {102, false, false, false, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        Recorder rec;
        bool presetSeen = !c.flagIn;
        const ConnHelpOutcome out = RunConnectionHelp(
            {c.flagIn, c.connected, c.moduleType, 3},
            [&](bool& dontShow) {
                presetSeen = dontShow;
                rec.calls.push_back("help");
                dontShow = c.boxOut;
                return c.result;
            },
            rec.Io());
        EXPECT_EQ(presetSeen, c.flagIn) << "the box is preset from the flag";
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.dontConnectionHelp, c.boxOut);
        if (c.expectedGeneration < 0) {
            EXPECT_EQ(rec.calls, (std::vector<std::string>{"help"}));
            EXPECT_FALSE(out.firmwareShown);
            continue;
        }
        EXPECT_TRUE(out.firmwareShown);
        EXPECT_EQ(rec.calls, (std::vector<std::string>{"help", "suspend(stop)", "firmware", "resume(frame)"}));
        ASSERT_EQ(rec.shown.size(), 1u);
        const FirmwareUpdateSetup& s = rec.shown[0];
        EXPECT_EQ(s.generation, c.expectedGeneration);
        EXPECT_TRUE(s.autoStart);
        EXPECT_EQ(s.connected, c.connected);
        EXPECT_EQ(s.moduleType, c.moduleType);
        EXPECT_EQ(s.portIndex, 3);
        EXPECT_EQ(s.hardware, 0);
    }
}

TEST(ConnHelp, TheLinkIsResumedWhenTheFirmwareDialogFails)
{
    Recorder rec;
    rec.throwOnShow = true;
    EXPECT_THROW(RunFirmwareUpdate({}, rec.Io()), std::runtime_error);
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"suspend(stop)", "firmware", "resume(frame)"}));
}

TEST(ConnHelp, TheHelpTextHasItsTwentyFiveLines)
{
    const auto& lines = ConnHelpLines();
    ASSERT_EQ(lines.size(), 25u);
    for (int empty : {3, 6, 12, 13, 14, 18, 25})
        EXPECT_EQ(lines[empty - 1], "") << "line " << empty;
    for (int trailing : {8, 10, 16, 20, 23})
        EXPECT_EQ(lines[trailing - 1].back(), ' ') << "line " << trailing;
}

TEST(ModuleDialogs, PresetsSelectOnlyItemsThatExist)
{
    struct DnCase {
        std::uint8_t node, baud;
        DeviceNetChoice expected;
    };
    const DnCase dn[] = {
        {0x85, 0x02, {2, 5}},  // software bits are not part of the index
        {0x3F, 0x80, {0, 63}},
        {0x00, 0x03, {-1, 0}},  // baud code 3 names no item of three
        {0xFF, 0x83, {-1, 63}},
    };
    for (const DnCase& c : dn)
        EXPECT_EQ(DeviceNetPreset(c.node, c.baud), c.expected) << int(c.node) << " " << int(c.baud);

    struct FsCase {
        std::uint8_t baud, address, group;
        FsChoice expected;
    };
    const FsCase fs[] = {
        {0, 1, 0, {0, 0, 0}},    {4, 254, 255, {4, 253, 255}}, {5, 10, 7, {-1, 9, 7}},  // 460800 is not offered
        {7, 10, 7, {-1, 9, 7}},  {0x0C, 10, 7, {4, 9, 7}},  // only bits 0-2 are the baud code
        {1, 0, 7, {1, -1, 7}},                              // address 0 and 255 name no item
        {1, 255, 7, {1, -1, 7}},
    };
    for (const FsCase& c : fs)
        EXPECT_EQ(FsPreset(c.baud, c.address, c.group), c.expected)
            << int(c.baud) << " " << int(c.address) << " " << int(c.group);
}

TEST(ModuleDialogs, FsBytesGoOutOnlyWithEveryListChosen)
{
    EXPECT_EQ(FsSetupBytes({4, 253, 255}), (std::array<std::uint8_t, 3>{4, 254, 255}));
    EXPECT_EQ(FsSetupBytes({0, 0, 0}), (std::array<std::uint8_t, 3>{0, 1, 0}));
    for (const FsChoice& bad : {FsChoice{-1, 0, 0}, FsChoice{0, -1, 0}, FsChoice{0, 0, -1}, FsChoice{5, 0, 0},
                                FsChoice{0, 254, 0}, FsChoice{0, 0, 256}})
        EXPECT_FALSE(FsSetupBytes(bad).has_value())
            << bad.baudIndex << " " << bad.addressIndex << " " << bad.groupIndex;
}
