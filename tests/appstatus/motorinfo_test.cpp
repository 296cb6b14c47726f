#include "app/mainstate.h"
#include "app/motorinfo.h"
#include "app/ownversion.h"
#include "quenor_version.h"

#include <gtest/gtest.h>

#include <regex>

using namespace quenor;

TEST(FormatVersion, ReleaseKindsAndBeta)
{
    EXPECT_EQ(FormatVersion(SVersion(0x0060)), "6.0");
    EXPECT_EQ(FormatVersion(SVersion(0x2060)), "6.0 Beta");
    EXPECT_EQ(FormatVersion(SVersion(0x8048)), "1.8");        // kind 2: six minor bits
    EXPECT_EQ(FormatVersion(SVersion(0xA048)), "1.8 Beta");
    EXPECT_EQ(FormatVersion(SVersion(0x4048)), "4.8");        // kind 1: four minor bits
    EXPECT_EQ(FormatVersion(SVersion(0xC048)), "4.8");        // kind 3
    EXPECT_EQ(FormatVersion(SVersion(0x001B)), "1.11");
    EXPECT_EQ(FormatVersion(SVersion(0x80BF)), "2.63");
    EXPECT_EQ(FormatVersion(SVersion(0x1FFF)), "511.15");
    EXPECT_EQ(FormatVersion(SVersion(0)), "0.0");
    EXPECT_EQ(FormatVersion(SVersion(0x10060)), "6.0");  // bits above 15 are no part of it
}

TEST(GetBaudRate, TableAndOutside)
{
    const int rates[] = {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(GetBaudRate(i), rates[i]);
    EXPECT_EQ(GetBaudRate(-1), -1);
    EXPECT_EQ(GetBaudRate(8), -1);
}

TEST(MotorInformation, Family0)
{
    MainWindowState s;
    StoreRegisterValue(s, 157, 2);
    auto fx = StoreRegisterValue(s, 158, 0xABC);
    EXPECT_TRUE(fx.motorInfo);
    EXPECT_EQ(MotorInformationText(s),
              "Motor information:\r\nFirmware checksum: 0x00000ABC \r\nHardware revision: 1.2");
}

TEST(MotorInformation, Family1WithBootloaderFromTheHighWord)
{
    MainWindowState s;
    s.generation = 1;
    StoreRegisterValue(s, 205, 0x80480021);
    StoreRegisterValue(s, 206, 0xDEADBEEF);
    const std::string expected =
        "Motor information:\r\nFirmware checksum: 0xDEADBEEF \r\nHardware revision: 2.1\r\nBootloader version: 1.8";
    EXPECT_EQ(MotorInformationText(s), expected);
    // The same register value posted as a signed 32-bit number.
    StoreRegisterValue(s, 205, static_cast<std::int32_t>(0x80480021u));
    EXPECT_EQ(MotorInformationText(s), expected);
}

TEST(MotorInformation, Family2EncoderVoltageAndOptions)
{
    MainWindowState s;
    s.generation = 2;
    StoreRegisterValue(s, 154, 0x1F2E);
    StoreRegisterValue(s, 156, 0x0012);
    StoreRegisterValue(s, 157, 48);
    StoreRegisterValue(s, 99, 0);
    StoreRegisterValue(s, 165, 0);
    EXPECT_TRUE(StoreRegisterValue(s, 159, 0x0021).motorInfo);
    const std::string head =
        "Motor information:\r\nFirmware checksum: 0x1F2E\r\nBootloader version: 2.1\r\nHardware revision: 1.2\r\n";
    EXPECT_EQ(MotorInformationText(s), head + "Encoder: Not installed\r\nMaximum bus voltage: 48 volt");

    StoreRegisterValue(s, 99, 14);
    StoreRegisterValue(s, 165, 0x101);
    EXPECT_EQ(MotorInformationText(s),
              head + "Encoder: 14 bit\r\nMaximum bus voltage: 48 volt\r\nCanOpen: Installed");
    StoreRegisterValue(s, 165, 0x202);
    EXPECT_EQ(MotorInformationText(s),
              head + "Encoder: 14 bit\r\nMaximum bus voltage: 48 volt\r\nDeviceNet: Installed");
    StoreRegisterValue(s, 165, 0x002);
    EXPECT_EQ(MotorInformationText(s),
              head + "Encoder: 14 bit\r\nMaximum bus voltage: 48 volt\r\nDeviceNet: No support in firmware");
    StoreRegisterValue(s, 165, 0x100 | 0x0C0C);
    EXPECT_EQ(MotorInformationText(s), head + "Encoder: 14 bit\r\nMaximum bus voltage: 48 volt\r\nCanOpen: No support in hardware");
    StoreRegisterValue(s, 165, 0x303);
    EXPECT_EQ(MotorInformationText(s),
              head + "Encoder: 14 bit\r\nMaximum bus voltage: 48 volt\r\nCanOpen: Installed\r\nDeviceNet: Installed");

    // Family 2 has no module part.
    s.moduleType = kModuleMR;
    s.moduleBootloader = 0x21;
    EXPECT_EQ(MotorInformationText(s).find("Module information"), std::string::npos);
}

TEST(MotorInformation, ModulePart)
{
    MainWindowState s;
    s.moduleType = kModuleMP;
    s.moduleBootloader = 0;
    EXPECT_EQ(MotorInformationText(s).find("Module"), std::string::npos);
    s.moduleBootloader = 0x25;
    EXPECT_EQ(MotorInformationText(s),
              "Motor information:\r\nFirmware checksum: 0x00000000 \r\nHardware revision: 0.0\r\n"
              "Module information:\r\nBootloader version: 2.5");
    s.moduleType = kModuleNone;
    EXPECT_EQ(MotorInformationText(s).find("Module"), std::string::npos);
}

TEST(MainState, StoredRegistersByFamily)
{
    MainWindowState s;
    EXPECT_TRUE(StoreRegisterValue(s, 14, 0xFFFF).warnings);
    EXPECT_EQ(s.gearNumerator, -1);
    StoreRegisterValue(s, 15, 0x1FFFF);
    EXPECT_EQ(s.gearDenominator, 0xFFFF);
    StoreRegisterValue(s, 42, 0x30001);
    EXPECT_EQ(s.homingMode, 1);
    StoreRegisterValue(s, 35, 0x0680);
    EXPECT_EQ(s.statusWord, 0x0680u);
    auto fx = StoreRegisterValue(s, 37, 0x45);
    EXPECT_EQ(s.startupMode, 5);
    EXPECT_TRUE(fx.startupMask);
    EXPECT_TRUE(fx.warnings);
    fx = StoreRegisterValue(s, 154, 98765);
    EXPECT_EQ(s.serial, 98765);
    EXPECT_TRUE(fx.statusText);

    // Family-0 registers mean nothing in family 1.
    s.generation = 1;
    fx = StoreRegisterValue(s, 14, 5);
    EXPECT_EQ(s.gearNumerator, -1);
    EXPECT_FALSE(fx.warnings);
    EXPECT_TRUE(StoreRegisterValue(s, 39, 1).warnings);
    EXPECT_TRUE(StoreRegisterValue(s, 204, 4).statusText);
    EXPECT_EQ(s.serial, 4);
    fx = StoreRegisterValue(s, 157, 10);
    EXPECT_TRUE(fx.displayScales);
    EXPECT_NEAR(s.samplePeriod, 0.012987, 1e-12);

    s.generation = 2;
    EXPECT_TRUE(StoreRegisterValue(s, 152, 7).statusText);
    EXPECT_EQ(s.serial, 7);
    EXPECT_FALSE(StoreRegisterValue(s, 35, 1).warnings);
}

TEST(MainState, LinkStates)
{
    MainWindowState s;
    s.moduleInfo[0] = kModuleMR;
    s.saveInFlashRequired = true;
    s.sCurvePending = true;
    s.serial = 55;
    EXPECT_TRUE(ApplyLinkState(s, 2, 0x4000 | 0x2000 | 0x60));
    EXPECT_TRUE(s.connected);
    EXPECT_EQ(s.firmware, 0x60);
    EXPECT_TRUE(s.beta);
    EXPECT_EQ(s.serial, -1);
    EXPECT_EQ(s.moduleType, kModuleMR);
    EXPECT_FALSE(s.saveInFlashRequired);
    EXPECT_FALSE(s.sCurvePending);

    EXPECT_TRUE(ApplyLinkState(s, 8, 12));
    EXPECT_EQ(s.errorCount, 12);

    s.saveInFlashRequired = true;
    ApplyLinkState(s, 6, 0);
    EXPECT_TRUE(s.reconnecting);
    EXPECT_TRUE(s.connected);
    EXPECT_FALSE(s.saveInFlashRequired);
    ApplyLinkState(s, 7, 0);
    EXPECT_FALSE(s.reconnecting);

    ApplyLinkState(s, 1, 0);
    EXPECT_FALSE(s.connected);
    EXPECT_EQ(s.moduleType, kModuleNone);
    EXPECT_FALSE(ApplyLinkState(s, 8, 3));  // offline counts need no refresh
    EXPECT_EQ(s.errorCount, 3);
}

TEST(OwnVersion, AboutTexts)
{
    OwnVersionInfo info;
    info.productVersionMS = (2u << 16) | 7u;
    info.productVersionLS = (0u << 16) | 120u;
    EXPECT_EQ(AboutVersionText(info), "2.7");
    EXPECT_EQ(AboutVersionHint(info, "Jan  5 2024"), "Jan  5 2024 - Build 120");
    EXPECT_EQ(AboutBetaText(info), "");
    info.productVersionLS = (3u << 16) | 120u;
    info.fileFlags = 1;
    EXPECT_EQ(AboutBetaText(info), "Beta 3");
}

TEST(OwnVersion, ComesFromTheBuild)
{
    const OwnVersionInfo info = GetOwnVersionInfo();
    EXPECT_EQ(info.signature, 0xFEEF04BDu);
    EXPECT_EQ(info.productVersionMS >> 16, unsigned{QUENOR_VERSION_MAJOR});
    EXPECT_EQ(info.productVersionMS & 0xFFFF, unsigned{QUENOR_VERSION_MINOR});
    EXPECT_EQ(info.productVersionLS >> 16, unsigned{QUENOR_VERSION_PATCH});
    EXPECT_EQ(AboutVersionText(info) + "." + std::to_string(QUENOR_VERSION_PATCH), QUENOR_VERSION_STRING);
    EXPECT_TRUE(std::regex_match(BuildDateText(),
                                 std::regex("(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 1-3][0-9] [0-9]{4}")));
}
