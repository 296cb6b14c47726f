#include "app/mainstate.h"
#include "app/motortypes.h"
#include "app/statustext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

using namespace quenor;

namespace {

MainWindowState ConnectedFamily0()
{
    MainWindowState s;
    s.connected = true;
    s.generation = 0;
    s.motorType = 3;
    s.firmware = 96;
    s.serial = 1234;
    return s;
}

std::string Vek(int type) { return "VEK" + std::to_string(ModelDisplayNumber(type)); }

}  // namespace

TEST(ConnectionText, Family0MotorWithSerialAndNoModule)
{
    MainWindowState s = ConnectedFamily0();
    EXPECT_EQ(ConnectionText(s), "G" + Vek(3) + " (Version 6.0,SN: 1234) Connected");

    s.serial = 0;  // unknown serial numbers are left out
    EXPECT_EQ(ConnectionText(s), "G" + Vek(3) + " (Version 6.0) Connected");
    s.serial = -1;
    EXPECT_EQ(ConnectionText(s), "G" + Vek(3) + " (Version 6.0) Connected");
}

TEST(ConnectionText, ModulePartsByType)
{
    MainWindowState s = ConnectedFamily0();
    s.serial = -1;
    s.moduleInfo[1] = 0x1A;
    const std::map<int, std::string> names = {{1, "MR"}, {2, "MP"}, {3, "MC"}, {4, "MRP"}, {5, "MD"}, {6, "MS"}};
    for (const auto& [type, name] : names) {
        s.moduleType = type;
        EXPECT_EQ(ConnectionText(s), "G" + Vek(3) + " (Version 6.0) -" + name + " (Version 1.10) Connected") << type;
    }
    s.moduleType = 7;  // not a module type
    EXPECT_EQ(ConnectionText(s), "G" + Vek(3) + " (Version 6.0) Connected");
}

TEST(ConnectionText, Family1VersionHasSixMinorBitsAndOddTypesAreDq)
{
    MainWindowState s;
    s.connected = true;
    s.generation = 1;
    s.motorType = 14;
    s.firmware = 72;
    s.beta = true;
    s.moduleType = kModuleMC;
    s.moduleInfo[1] = 0x21;
    EXPECT_EQ(ConnectionText(s), "G" + Vek(14) + " (Version 1.8 Beta) -MC (Version 2.1) Connected");
    s.motorType = 15;
    s.beta = false;
    EXPECT_EQ(ConnectionText(s), "G" + Vek(15) + "-dq (Version 1.8) -MC (Version 2.1) Connected");
}

TEST(ConnectionText, Family2NamesAndNoModulePart)
{
    MainWindowState s;
    s.connected = true;
    s.generation = 2;
    s.motorType = 64;
    s.firmware = 0x23;
    s.moduleType = kModuleMR;
    s.moduleInfo[1] = 0x11;
    EXPECT_EQ(ConnectionText(s), "GQOR" + std::to_string(ModelDisplayNumber(64)) + " (Version 2.3) Connected");
    s.motorType = 65;
    EXPECT_EQ(ConnectionText(s), "GWIB" + std::to_string(ModelDisplayNumber(65)) + " (Version 2.3) Connected");
    // Codes above 67 show no model number.
    s.motorType = 68;
    EXPECT_EQ(ConnectionText(s), "GWIB (Version 2.3) Connected");
}

TEST(ConnectionText, TypeCodesOutsideTheTableHaveNoNumber)
{
    EXPECT_EQ(MotorNameText(0, 0), "VEK");
    EXPECT_EQ(MotorNameText(0, 68), "VEK");
    EXPECT_EQ(MotorNameText(0, 1), Vek(1));
    EXPECT_EQ(MotorNameText(1, 13), Vek(13) + "-dq");
}

TEST(ConnectionText, ErrorCountAndReconnecting)
{
    MainWindowState s = ConnectedFamily0();
    s.errorCount = 3;
    EXPECT_EQ(ConnectionText(s), "G" + Vek(3) + " (Version 6.0,SN: 1234) Connected, Com. errors: 3");
    s.reconnecting = true;
    EXPECT_EQ(ConnectionText(s), "G" + Vek(3) + " (Version 6.0,SN: 1234) Reconnecting");
}

TEST(ConnectionText, NotConnectedLinkErrorAndUnsupportedBaud)
{
    MainWindowState s;
    s.portIndex = 0;
    s.baudIndex = 1;
    EXPECT_EQ(ConnectionText(s), "R*** No connection COM1, Baudrate: 19200 ***");
    s.baudIndex = 9;
    EXPECT_EQ(ConnectionText(s), "R*** No connection COM1, Baudrate: -1 ***");

    s.portIndex = 2;
    s.portError = true;
    EXPECT_EQ(ConnectionText(s), "R*** Error opening COM3 ***");

    s.portIndex = 1;
    s.baudIndex = 7;
    s.baudUnsupported = true;
    EXPECT_EQ(ConnectionText(s), "R*** Unsupported baud rate 921600 on COM2 ***");

    // The unsupported flag alone is no error.
    s.portError = false;
    EXPECT_EQ(ConnectionText(s), "R*** No connection COM2, Baudrate: 921600 ***");
}

// A port that did not open says which device and why; a missing permission
// also names its cure in the panel's hint.
TEST(ConnectionText, OpenFailureNamesTheDeviceAndTheReason)
{
    struct Case {
        const char* detail;
        PortFault fault;
        const char* text;
        bool cure;
    };
    const Case cases[] = {
        {"", PortFault::None, "R*** Error opening COM1 ***", false},
        {"/dev/ttyUSB0: no such device", PortFault::Missing, "R*** Error opening COM1 (/dev/ttyUSB0: no such device) ***",
         false},
        {"/dev/ttyUSB0: permission denied", PortFault::Permission,
         "R*** Error opening COM1 (/dev/ttyUSB0: permission denied) ***", true},
        {"/dev/ttyUSB0: in use by another program", PortFault::InUse,
         "R*** Error opening COM1 (/dev/ttyUSB0: in use by another program) ***", false},
    };
    for (const Case& c : cases) {
        MainWindowState s;
        s.portError = true;
        s.portErrorDetail = c.detail;
        s.portFault = c.fault;
        EXPECT_EQ(ConnectionText(s), c.text);
        const std::string hint = ConnectionHint(s);
        EXPECT_EQ(hint.find("group dialout") != std::string::npos, c.cure) << c.detail << ": " << hint;
        // Connected, or without the error, nothing of it is left.
        s.portError = false;
        EXPECT_EQ(ConnectionText(s), "R*** No connection COM1, Baudrate: 19200 ***");
        EXPECT_EQ(ConnectionHint(s), "");
    }
    // An unsupported baud rate keeps its own text.
    MainWindowState s;
    s.portError = true;
    s.baudUnsupported = true;
    s.portErrorDetail = "x";
    EXPECT_EQ(ConnectionText(s), "R*** Unsupported baud rate 19200 on COM1 ***");
}

TEST(StatusText, ColourLetterAndLengthLimit)
{
    EXPECT_EQ(ColourOfStatusText("GConnected"), StatusColour::Green);
    EXPECT_EQ(ColourOfStatusText("RError"), StatusColour::Red);
    EXPECT_EQ(ColourOfStatusText("B"), StatusColour::Default);
    EXPECT_EQ(ColourOfStatusText("xRed"), StatusColour::Default);
    EXPECT_EQ(VisibleStatusText("GConnected"), "Connected");
    EXPECT_EQ(VisibleStatusText("B"), "");

    // An empty text has no colour letter and shows nothing.
    EXPECT_EQ(ColourOfStatusText(""), StatusColour::Default);
    EXPECT_EQ(VisibleStatusText(""), "");

    std::string longText = "R" + std::string(199, 'a') + "bcd";
    EXPECT_EQ(VisibleStatusText(longText), std::string(199, 'a') + "b");
    std::string exact = "R" + std::string(200, 'z');
    EXPECT_EQ(VisibleStatusText(exact).size(), 200u);
}

TEST(StatusText, ParameterErrorTexts)
{
    EXPECT_EQ(ParameterErrorText(1, "-5"), "RError: Parameter out of range! (min is -5)");
    EXPECT_EQ(ParameterErrorText(2, "3000.5"), "RError: Parameter out of range! (max is 3000.5)");
    EXPECT_EQ(ParameterErrorText(3, ""), "RError: Invalid number!");
    EXPECT_EQ(ParameterErrorText(6, ""), "RError: Parameter must not be zero");
    for (int code : {0, 4, 5, 7, -1})
        EXPECT_EQ(ParameterErrorText(code, "1"), "") << code;
}

TEST(StatusBar, UpdateStatusTextReportsConnectedChangesOnce)
{
    StatusBarModel bar;
    MainWindowState s;
    EXPECT_FALSE(bar.UpdateStatusText(s));
    EXPECT_EQ(bar.PanelText(1), "R*** No connection COM1, Baudrate: 19200 ***");
    s = ConnectedFamily0();
    EXPECT_TRUE(bar.UpdateStatusText(s));
    EXPECT_FALSE(bar.UpdateStatusText(s));
    EXPECT_EQ(bar.ConnectionTextShown(), ConnectionText(s));
    s.connected = false;
    EXPECT_TRUE(bar.UpdateStatusText(s));
}

TEST(StatusBar, ProgressReplacesTheConnectionTextUntilOneSecondAfterFull)
{
    StatusBarModel bar;
    MainWindowState s = ConnectedFamily0();
    bar.UpdateStatusText(s);
    EXPECT_EQ(bar.Progress(), -1);

    bar.SetProgress(50, "Transferring");
    EXPECT_EQ(bar.Progress(), 50);
    EXPECT_EQ(bar.PanelText(1), "50");
    EXPECT_EQ(bar.ProgressText(), "Transferring");
    EXPECT_FALSE(bar.ProgressTimerActive());

    bar.SetProgress(150, "Writing to eeprom");
    EXPECT_EQ(bar.Progress(), 100);
    EXPECT_EQ(bar.PanelText(1), "100");
    EXPECT_TRUE(bar.ProgressTimerActive());

    bar.ProgressTimer();
    EXPECT_EQ(bar.Progress(), -1);
    EXPECT_FALSE(bar.ProgressTimerActive());
    EXPECT_EQ(bar.PanelText(1), ConnectionText(s));
}

TEST(StatusBar, ProgressBarGeometry)
{
    ProgressGeometry g = ProgressBarGeometry(10, 101, 50, 20);
    EXPECT_EQ(g.fillRight, 60);  // 50 * 101 / 100 = 50.5, cut
    EXPECT_EQ(g.textX, 50);      // 10 + 81 / 2
    g = ProgressBarGeometry(0, 10, 100, 21);
    EXPECT_EQ(g.fillRight, 10);
    EXPECT_EQ(g.textX, -5);  // halved toward zero
    EXPECT_EQ(ProgressBarGeometry(7, 200, 0, 0).fillRight, 7);
}

TEST(StatusBar, PanelLayout)
{
    EXPECT_EQ(Panel0Width(800), 385);
    EXPECT_EQ(Panel0Width(300), 0);
    EXPECT_EQ(PanelTextX(1, 100, -40), 103);
    EXPECT_EQ(PanelTextX(0, 0, -40), -39);
}

TEST(WarningScroller, NarrowTextStaysAtHome)
{
    WarningScroller sc;
    sc.SetWidths(200, 300);
    EXPECT_EQ(sc.Amplitude(), 0);
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(sc.Tick());
    EXPECT_EQ(sc.Offset(), 0);

    sc.SetWidths(301, 300);  // half a pixel rounds to no movement
    EXPECT_EQ(sc.Amplitude(), 0);
    EXPECT_FALSE(sc.Tick());
}

TEST(WarningScroller, WideTextGlidesOverTwiceTheAmplitudeWithItsPeriod)
{
    WarningScroller sc;
    sc.SetWidths(400, 300);  // 100 pixels wider
    EXPECT_EQ(sc.Amplitude(), 50);
    EXPECT_EQ(sc.Period(), 500);

    std::vector<int> offsets;
    for (int i = 0; i < 1000; ++i) {
        sc.Tick();
        offsets.push_back(sc.Offset());
    }
    EXPECT_EQ(*std::min_element(offsets.begin(), offsets.end()), -99);
    EXPECT_EQ(*std::max_element(offsets.begin(), offsets.end()), 0);
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(offsets[static_cast<std::size_t>(i)], offsets[static_cast<std::size_t>(i + 500)]) << i;
    // Phase 0 sits half way: -A * (sin 0 + 1).
    EXPECT_EQ(offsets[499], -50);
    // Phase 125 (a quarter period) is near the far end.
    EXPECT_EQ(offsets[124], -99);
}

TEST(WarningScroller, ReportsOnlyChanges)
{
    WarningScroller sc;
    sc.SetWidths(1300, 300);  // A = 500: many ticks move by less than a pixel near the ends
    int changes = 0;
    int previous = sc.Offset();
    for (int i = 0; i < 5000; ++i) {
        const bool changed = sc.Tick();
        EXPECT_EQ(changed, sc.Offset() != previous);
        changes += changed ? 1 : 0;
        previous = sc.Offset();
    }
    EXPECT_GT(changes, 100);
    EXPECT_LT(changes, 5000);
}

TEST(StatusBar, ErrorTextStopsTheScrollerUntilTheClearTimer)
{
    StatusBarModel bar;
    MainWindowState s;
    s.saveInFlashRequired = true;
    auto width = [](std::string_view text) { return static_cast<int>(text.size()) * 10; };
    bar.UpdateWarnings(s, 0, width, 100);
    EXPECT_EQ(bar.PanelText(0), "RWarning: Save in flash is required [Click for details]");
    EXPECT_GT(bar.Scroller().Amplitude(), 0);
    for (int i = 0; i < 30; ++i)
        bar.ScrollTimer();
    EXPECT_NE(bar.Scroller().Offset(), 0);

    bar.ShowError(ParameterErrorText(3, ""));
    EXPECT_EQ(bar.PanelText(0), "RError: Invalid number!");
    EXPECT_TRUE(bar.ErrorClearActive());
    EXPECT_FALSE(bar.ScrollActive());
    EXPECT_EQ(bar.Scroller().Offset(), 0);
    EXPECT_FALSE(bar.ScrollTimer());
    EXPECT_EQ(bar.Scroller().Offset(), 0);

    bar.ErrorClearTimer(s, 0, width, 100);
    EXPECT_FALSE(bar.ErrorClearActive());
    EXPECT_TRUE(bar.ScrollActive());
    EXPECT_EQ(bar.PanelText(0), "RWarning: Save in flash is required [Click for details]");
    EXPECT_TRUE(bar.ScrollTimer());
}

TEST(StatusBar, LinkNoticesStopTheScrollerButKeepTheWarningsLine)
{
    StatusBarModel bar;
    MainWindowState s;
    s.saveInFlashRequired = true;
    auto width = [](std::string_view text) { return static_cast<int>(text.size()) * 10; };
    bar.UpdateWarnings(s, 0, width, 100);
    const std::string line = bar.PanelText(0);
    for (int i = 0; i < 30; ++i)
        bar.ScrollTimer();
    bar.StartErrorClear();
    EXPECT_EQ(bar.PanelText(0), line);
    EXPECT_TRUE(bar.ErrorClearActive());
    EXPECT_FALSE(bar.ScrollActive());
    EXPECT_EQ(bar.Scroller().Offset(), 0);
    // A code without a text of its own behaves the same way.
    bar.ErrorClearTimer(s, 0, width, 100);
    bar.ShowError(ParameterErrorText(4, ""));
    EXPECT_EQ(bar.PanelText(0), line);
    EXPECT_TRUE(bar.ErrorClearActive());
}

// The 20 ms scroll timer runs only while a warnings line is wider than its
// panel: a quiet window wakes for nothing.
TEST(StatusBar, TheScrollTimerRunsOnlyWhileSomethingGlides)
{
    StatusBarModel bar;
    MainWindowState s;
    auto width = [](std::string_view text) { return static_cast<int>(text.size()) * 10; };
    bar.UpdateWarnings(s, 0, width, 100);
    EXPECT_FALSE(bar.ScrollTimerNeeded()) << "no warnings";
    s.saveInFlashRequired = true;
    bar.UpdateWarnings(s, 0, width, 100);
    EXPECT_TRUE(bar.ScrollTimerNeeded());
    for (int i = 0; i < 30; ++i)
        bar.ScrollTimer();
    EXPECT_NE(bar.Scroller().Offset(), 0);
    bar.StartErrorClear();
    EXPECT_FALSE(bar.ScrollTimerNeeded()) << "an error text is shown";
    bar.ErrorClearTimer(s, 0, width, 100);
    EXPECT_TRUE(bar.ScrollTimerNeeded());
    for (int i = 0; i < 30; ++i)
        bar.ScrollTimer();
    // The warnings go: nothing glides any more.
    s.saveInFlashRequired = false;
    bar.UpdateWarnings(s, 0, width, 100);
    EXPECT_FALSE(bar.ScrollTimerNeeded());
    // A line that fits its panel stands still at its home place.
    s.saveInFlashRequired = true;
    bar.UpdateWarnings(s, 0, width, 5000);
    EXPECT_FALSE(bar.ScrollTimerNeeded());
    EXPECT_EQ(bar.Scroller().Offset(), 0);
}

TEST(StatusBar, NoWarningsGiveANeutralTextAndNoHint)
{
    StatusBarModel bar;
    MainWindowState s;
    bar.UpdateWarnings(s, 0, nullptr, 313);
    EXPECT_EQ(bar.PanelText(0), "B");
    EXPECT_EQ(bar.Hint(), "");
}

// Connected, exactly the page of the module the motor has shows, in every
// family (family 2's programming page always).
TEST(ModuleTabs, ConnectedShowsThePresentModulesPageOnly)
{
    MainWindowState s;
    s.connected = true;
    for (int generation : {0, 1, 2}) {
        s.generation = generation;
        for (int module = kModuleNone; module <= kModuleMS; ++module) {
            s.moduleType = module;
            const ModuleTabVisibility t = ModuleTabsFor(s);
            const std::pair<bool, int> pages[] = {{t.seqlet, kModuleMR}, {t.profi, kModuleMP}, {t.canOpen, kModuleMC},
                                                  {t.deviceNet, kModuleMD}, {t.fs, kModuleMS}};
            for (auto [shown, type] : pages)
                EXPECT_EQ(shown, module == type) << "family " << generation << ", module " << module << ", page " << type;
            EXPECT_EQ(t.vizu, module == kModuleMRP || generation == 2) << generation << " " << module;
        }
    }
}

TEST(ModuleTabs, OfflineFollowsViewHiddenAndFamily2AlwaysShowsTheEditor)
{
    MainWindowState s;
    ModuleTabVisibility t = ModuleTabsFor(s);
    for (const auto& tab : {t.profi, t.seqlet, t.canOpen, t.deviceNet, t.fs, t.vizu})
        EXPECT_EQ(tab, false);

    s.viewHidden = true;
    t = ModuleTabsFor(s);
    for (const auto& tab : {t.profi, t.seqlet, t.canOpen, t.deviceNet, t.fs, t.vizu})
        EXPECT_EQ(tab, true);

    s.viewHidden = false;
    s.generation = 2;
    EXPECT_EQ(ModuleTabsFor(s).vizu, true);
    s.connected = true;
    s.moduleType = kModuleNone;
    EXPECT_EQ(ModuleTabsFor(s).vizu, true);
}

TEST(ModeToGroupMask, EveryModeNumber)
{
    MainWindowState s;
    const std::map<int, int> expected = {
        {0, 0x1},     {1, 0x2},     {2, 0x4},    {3, 0x8},    {4, 0x10},   {5, 0x20},   {6, 0x40},  {7, 0x80},
        {8, 1},       {9, 1},       {10, 1},     {11, 1},     {12, 1},     {13, 1},     {14, 1},    {15, 1},
        {16, 0x100},  {17, 0x200},  {18, 0x400}, {19, 0x800}, {20, 0x1000}, {21, 0x2000}, {22, 1},   {23, 1},
        {24, 1},      {25, 1},      {26, 1},     {27, 1},     {28, 1},     {29, 1},     {30, 0x400}, {31, 0x400},
    };
    for (const auto& [m, mask] : expected)
        EXPECT_EQ(ModeToGroupMask(m, s), mask) << m;
    // Only the low five bits count.
    EXPECT_EQ(ModeToGroupMask(0x22, s), 0x4);
    EXPECT_EQ(ModeToGroupMask(0xFFE0, s), 0x1);
}

TEST(ModeToGroupMask, ModuleAndFamily2OptionBits)
{
    MainWindowState s;
    s.moduleType = kModuleMRP;
    EXPECT_EQ(ModeToGroupMask(2, s), 0x4004);

    s.moduleType = kModuleNone;
    s.encoderBits = 12;
    s.optionBits = 0x101;
    EXPECT_EQ(ModeToGroupMask(2, s), 0x4);  // the register conditions belong to family 2
    s.generation = 2;
    EXPECT_EQ(ModeToGroupMask(2, s), 0x4 | 0x8000 | 0x10000);
    s.optionBits = 0x100;
    EXPECT_EQ(ModeToGroupMask(2, s), 0x4 | 0x8000);
    s.encoderBits = 0;
    s.optionBits = 0x001;
    EXPECT_EQ(ModeToGroupMask(2, s), 0x4);
}

TEST(Family1DisplayFactors, FromTheSamplePeriod)
{
    MainWindowState s;
    s.generation = 1;
    EXPECT_TRUE(Family1DisplayFactors(s).empty());  // period not known yet

    StoreRegisterValue(s, 157, 100);
    auto factors = Family1DisplayFactors(s);
    ASSERT_EQ(factors.size(), 18u);
    std::map<int, double> byReg(factors.begin(), factors.end());
    ASSERT_EQ(byReg.size(), 18u);
    for (int r : {5, 40, 11, 65, 66, 67, 68, 69, 70, 71, 72})
        EXPECT_NEAR(byReg.at(r), 0.003609378609378609, 1e-12) << r;
    EXPECT_NEAR(byReg.at(33), 0.057750057750057746, 1e-12);
    for (int r : {6, 32, 73, 74, 75, 76})
        EXPECT_NEAR(byReg.at(r), 0.027792243084458372, 1e-12) << r;

    // A sample period of 0 or less counts as 1.
    StoreRegisterValue(s, 157, 0);
    byReg = {};
    for (auto [r, f] : Family1DisplayFactors(s))
        byReg[r] = f;
    EXPECT_NEAR(byReg.at(33), 5.775005775005775, 1e-9);
    EXPECT_NEAR(byReg.at(6), 277.92243084458374, 1e-9);
    StoreRegisterValue(s, 157, -7);
    EXPECT_NEAR(Family1DisplayFactors(s).front().second, 0.36093786093786095, 1e-12);

    s.generation = 0;
    EXPECT_TRUE(Family1DisplayFactors(s).empty());
}
