// What the module pages make of the modules' blocks.

#include "app/moduleblocks.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quenor {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Text = std::optional<std::string>;

TEST(ModuleBlocks, InformationBlockPerModuleType)
{
    struct Case {
        Bytes block;
        // Pages: profi, canOpen, deviceNet, fs, seqlet, vizu.
        std::array<bool, 6> tabs;
        Text profiAddress, station, baud, format, version, powerup, address;
        std::optional<std::uint32_t> boot;
    };
    const Case cases[] = {
        {{}, {}, {}, {}, {}, {}, {}, {}, {}, {}},
        {{0, 0x12}, {}, {}, {}, {}, {}, {}, {}, {}, {}},
        {{1, 0x12, 0, 0x1B, 5, 1, 2}, {false, false, false, false, true, false}, {}, {}, {}, "Custom", "1.11",
         "Enabled", "5", {}},
        {{1, 0x12, 3, 0x20, 200, 0}, {false, false, false, false, true, false}, {}, {}, {}, "3", "2.0", "Disabled",
         "200", {}},
        {{2, 0x10, 7, 0x04, 0x03, 0x02, 0x01}, {true, false, false, false, false, false}, "7", {}, {}, {}, {}, {}, {},
         0x01020304u},
        {{3, 0x11, 9, 0x92}, {false, true, false, false, false, false}, {}, "9", "500 kbit", {}, {}, {}, {}, {}},
        {{3, 0x11, 9, 9}, {false, true, false, false, false, false}, {}, "9", "0 kbit", {}, {}, {}, {}, {}},
        {{4, 0x21, 0, 0x10, 0, 0x11, 0x13}, {false, false, false, false, false, true}, {}, {}, {}, {}, {}, {}, {},
         0x13u},
        {{5, 0x10}, {false, false, true, false, false, false}, {}, {}, {}, {}, {}, {}, {}, {}},
        {{6, 0x12}, {false, false, false, true, false, false}, {}, {}, {}, {}, {}, {}, {}, {}},
        {{7, 0x12, 3, 4}, {}, {}, {}, {}, {}, {}, {}, {}, {}},  // unknown type: no page
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block.empty() ? -1 : c.block[0]);
        const ModuleSetupView v = DecodeModuleSetup(c.block);
        EXPECT_EQ((std::array<bool, 6>{v.profiTab, v.canOpenTab, v.deviceNetTab, v.fsTab, v.seqletTab, v.vizuTab}),
                  c.tabs);
        EXPECT_EQ(v.profiAddress, c.profiAddress);
        EXPECT_EQ(v.stationAddress, c.station);
        EXPECT_EQ(v.canOpenBaudrate, c.baud);
        EXPECT_EQ(v.seqletFormat, c.format);
        EXPECT_EQ(v.seqletVersion, c.version);
        EXPECT_EQ(v.seqletPowerup, c.powerup);
        EXPECT_EQ(v.seqletAddress, c.address);
        EXPECT_EQ(v.bootloaderVersion, c.boot);
    }
}

TEST(ModuleBlocks, ProfibusAndLogicModuleStatus)
{
    const ProfiStatusView p = DecodeProfiStatus(Bytes{0, 0, 0, 0, 0x31, 0x25, 0, 0xF3});
    EXPECT_EQ(p.status, "Limit switch active");  // low nibble of byte 7
    EXPECT_EQ(p.inputs, (std::array<bool, 6>{true, false, true, false, false, true}));
    EXPECT_TRUE(p.inPosition);
    EXPECT_TRUE(p.error);
    EXPECT_TRUE(p.accelerating);
    EXPECT_FALSE(p.decelerating);
    const std::pair<int, std::string> texts[] = {
        {0, "Idle - OK"}, {1, "Executing request"}, {4, "Profi error"}, {5, "Connecting to Vek Motor"}, {6, ""}, {15, ""}};
    for (const auto& [code, text] : texts)
        EXPECT_EQ(DecodeProfiStatus(Bytes{0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(code)}).status, text);

    const ModuleIoView io = DecodeModuleIo(Bytes{0xC5, 0x21, 0x19, 0, 0, 0, 0, 0});
    EXPECT_EQ(io.state, "5");
    EXPECT_EQ(io.inputs, (std::array<bool, 6>{true, false, false, false, false, true}));
    EXPECT_EQ(io.outputs, (std::array<bool, 4>{true, false, false, true}));
    EXPECT_EQ(io.running, "Yes");
    EXPECT_EQ(DecodeModuleIo(Bytes{0, 0, 0x0F}).running, "No");

    EXPECT_EQ(ModuleDebugMemo(5), DebugMemo::DeviceNet);
    EXPECT_EQ(ModuleDebugMemo(6), DebugMemo::Fs);
    for (int type : {0, 1, 2, 3, 4})
        EXPECT_EQ(ModuleDebugMemo(type), DebugMemo::None) << type;
}

TEST(ModuleBlocks, DeviceNetStatusCountsOnlyTheBytesThatCame)
{
    struct Case {
        Bytes block;
        Text node, baud, power;
    };
    const Case cases[] = {
        {{0x85, 0x02, 0, 0, 1}, "5 (Software)", "500 kbit/s (Switch)", "DeviceNet Power: On"},
        {{0x3F, 0x83, 0, 0, 0}, "63 (Switch)", "500 kbit/s (Software)", "DeviceNet Power: Off"},
        {{0x01, 0x00}, "1 (Switch)", "125 kbit/s (Switch)", {}},
        {{0x85}, "5 (Software)", {}, {}},
        {{}, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block.size());
        const DeviceNetStatusView v = DecodeDeviceNetStatus(c.block);
        EXPECT_EQ(v.node, c.node);
        EXPECT_EQ(v.baudrate, c.baud);
        EXPECT_EQ(v.power, c.power);
        EXPECT_EQ(v.nodeSetting.has_value(), c.node.has_value());
        EXPECT_EQ(v.baudSetting.has_value(), c.baud.has_value());
    }
    const DeviceNetChoice preset = DeviceNetPreset(0x85, 0x82);
    EXPECT_EQ(preset.nodeIndex, 5);
    EXPECT_EQ(preset.baudIndex, 2);
}

TEST(ModuleBlocks, FsStatusRecordAndSetup)
{
    const FsStatusView full = DecodeFsStatus(Bytes{0x15, 0, 0, 0, 0x0F, 10, 3});
    EXPECT_EQ(full.baudrate, "0 baud");
    EXPECT_EQ(full.address, "10");
    EXPECT_EQ(full.groupId, "3");
    EXPECT_EQ(full.inputs, (std::array<bool, 5>{true, false, true, false, true}));

    const FsStatusView cut = DecodeFsStatus(Bytes{0x02, 0, 0, 0, 3});
    EXPECT_EQ(cut.baudrate, "115200 baud");
    EXPECT_FALSE(cut.address);
    EXPECT_FALSE(cut.groupId);
    EXPECT_FALSE(DecodeFsStatus(Bytes{}).inputs);

    // The kept record: a short block changes only what it reaches, a long one is cut.
    FsStatusRecord r;
    r.Assign(Bytes{0, 0, 0, 0, 0x0A, 10, 3});
    r.Assign(Bytes{0x01, 0, 0, 0, 0x02});
    EXPECT_EQ(r.bytes[4], 0x02);
    EXPECT_EQ(r.bytes[5], 10);
    EXPECT_EQ(r.bytes[6], 3);
    r.Assign(Bytes(40, 0xEE));
    EXPECT_EQ(r.length, FsStatusRecord::kSize);

    FsStatusRecord s;
    s.Assign(Bytes{0, 0, 0, 0, 0x0A, 10, 3});
    const FsChoice preset = FsPresetOf(s);
    EXPECT_EQ(preset.baudIndex, 2);
    EXPECT_EQ(preset.addressIndex, 9);
    EXPECT_EQ(preset.groupIndex, 3);
    EXPECT_EQ(FsSetupBytes(preset), (std::array<std::uint8_t, 3>{2, 10, 3}));
}

}  // namespace
}  // namespace quenor
