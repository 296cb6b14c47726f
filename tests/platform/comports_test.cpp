// COM numbers of the serial devices: the assignment by a table, the look at
// the devices in a folder of the test's own, and the numbers of a running
// program (kept while an adapter stays, stored when one is chosen).

#include "platform/comports.h"
#include "platform/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace quenor;
namespace fs = std::filesystem;

namespace {

const std::string kUsb0 = "/dev/ttyUSB0";
const std::string kUsb1 = "/dev/ttyUSB1";
const std::string kAcm0 = "/dev/ttyACM0";
const std::string kFtdi = "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0";
const std::string kCp210 = "/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0";

ComMapping Env(const std::string& device, const std::string& resolved = {})
{
    return ComMapping{ComSource::Environment, device, resolved};
}
ComMapping Set(const std::string& device, const std::string& resolved = {})
{
    return ComMapping{ComSource::Setting, device, resolved};
}

struct AssignCase {
    const char* name;
    std::map<int, ComMapping> mappings;
    SerialScan scan;
    std::map<std::string, int> held;
    // Expected: the numbers that lead somewhere (every other of 1..24 is free).
    std::map<int, ComPortEntry> taken;
    std::map<std::string, int> heldAfter;
};

ComPortEntry Adapter(const std::string& device) { return {ComSource::Adapter, device, device}; }
ComPortEntry Builtin(int n) { return {ComSource::Builtin, "/dev/ttyS" + std::to_string(n - 1), {}}; }

std::string Describe(const std::map<int, ComPortEntry>& ports)
{
    std::string out;
    for (const auto& [n, e] : ports)
        if (e.source != ComSource::Free)
            out += "COM" + std::to_string(n) + "=" + e.device + "[" + std::to_string(static_cast<int>(e.source)) + "," +
                   e.adapter + "] ";
    return out;
}

}  // namespace

TEST(ComPortAssignment, NumbersByPrecedence)
{
    const std::vector<AssignCase> cases = {
        {"nothing there: every number is free", {}, {}, {}, {}, {}},
        {"a UART on ttyS0 holds COM1, the adapter takes the next number",
         {}, {{1}, {{kUsb0, kFtdi}}}, {},
         {{1, Builtin(1)}, {2, Adapter(kUsb0)}}, {{kFtdi, 2}}},
        {"a ttyS node without a UART leaves its number free",
         {}, {{}, {{kUsb0, ""}}}, {},
         {{1, Adapter(kUsb0)}}, {{kUsb0, 1}}},
        {"adapters take the lowest free numbers in the kernel's order",
         {}, {{2}, {{kAcm0, ""}, {kUsb0, ""}, {kUsb1, ""}}}, {},
         {{1, Adapter(kAcm0)}, {2, Builtin(2)}, {3, Adapter(kUsb0)}, {4, Adapter(kUsb1)}},
         {{kAcm0, 1}, {kUsb0, 3}, {kUsb1, 4}}},
        {"an adapter keeps its number while a lower one is free",
         {}, {{}, {{kAcm0, ""}, {kUsb0, kFtdi}}}, {{kFtdi, 5}},
         {{1, Adapter(kAcm0)}, {5, Adapter(kUsb0)}}, {{kAcm0, 1}, {kFtdi, 5}}},
        {"an adapter found again under its stable name keeps the number it had without one",
         {}, {{}, {{kUsb0, kFtdi}}}, {{kUsb0, 3}},
         {{3, Adapter(kUsb0)}}, {{kFtdi, 3}}},
        {"the setting names the adapter by its stable name: no second number",
         {{4, Set(kFtdi, kUsb0)}}, {{}, {{kUsb0, kFtdi}, {kUsb1, ""}}}, {},
         {{4, {ComSource::Setting, kFtdi, kUsb0}}, {1, Adapter(kUsb1)}}, {{kUsb1, 1}}},
        {"the environment comes before the setting and before a UART",
         {{1, Env("/dev/pts/7")}}, {{1}, {{kUsb0, ""}}}, {},
         {{1, {ComSource::Environment, "/dev/pts/7", {}}}, {2, Adapter(kUsb0)}}, {{kUsb0, 2}}},
        {"a mapping takes the number an adapter had: the adapter moves to the lowest free one",
         {{2, Set("/dev/pts/9")}}, {{}, {{kUsb0, kFtdi}}}, {{kFtdi, 2}},
         {{1, Adapter(kUsb0)}, {2, {ComSource::Setting, "/dev/pts/9", {}}}}, {{kFtdi, 1}}},
        {"a mapping of an adapter that is not plugged in keeps its number",
         {{1, Set(kCp210)}}, {{}, {{kUsb0, kFtdi}}}, {},
         {{1, {ComSource::Setting, kCp210, {}}}, {2, Adapter(kUsb0)}}, {{kFtdi, 2}}},
        {"an unplugged adapter's number is given again",
         {}, {{}, {{kUsb1, ""}}}, {{kFtdi, 1}},
         {{1, Adapter(kUsb1)}}, {{kUsb1, 1}}},
        {"mapped numbers above 24 stay, adapters never go there",
         {{30, Env("/dev/pts/3")}}, {{}, {{kUsb0, ""}}}, {},
         {{1, Adapter(kUsb0)}, {30, {ComSource::Environment, "/dev/pts/3", {}}}}, {{kUsb0, 1}}},
    };
    for (const AssignCase& c : cases) {
        const ComAssignment a = AssignComPorts(c.mappings, c.scan, c.held, "/dev");
        std::map<int, ComPortEntry> expected = c.taken;
        for (int n = 1; n <= kAdapterComPorts; ++n)
            if (!expected.count(n))
                expected[n] = ComPortEntry{ComSource::Free, "/dev/ttyS" + std::to_string(n - 1), {}};
        EXPECT_EQ(a.ports, expected) << c.name << ": " << Describe(a.ports);
        EXPECT_EQ(a.held, c.heldAfter) << c.name;
    }

    // With every number from 1 to 24 held, a further adapter gets none.
    SerialScan full;
    for (int n = 1; n <= kAdapterComPorts; ++n)
        full.uartPorts.insert(n);
    full.adapters = {{kUsb0, ""}};
    const ComAssignment a = AssignComPorts({}, full, {}, "/dev");
    EXPECT_TRUE(a.held.empty());
    for (const auto& [n, e] : a.ports)
        EXPECT_EQ(e.source, ComSource::Builtin) << n;
}

namespace {

// A device folder and a terminal class folder of the test's own.
class FakeDevices {
public:
    FakeDevices()
    {
        std::string pattern = (fs::temp_directory_path() / "quenor-devices-XXXXXX").string();
        EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
        base_ = pattern;
        fs::create_directories(base_ / "dev" / "serial" / "by-id");
        fs::create_directories(base_ / "sys");
    }
    ~FakeDevices()
    {
        std::error_code ec;
        fs::remove_all(base_, ec);
    }
    SerialDeviceRoots Roots() const { return {(base_ / "dev").string(), (base_ / "sys").string()}; }
    std::string Dev(const std::string& name) const { return (base_ / "dev" / name).string(); }

    // A node; type: the serial driver's port type in the class folder (-1: none there).
    void Node(const std::string& name, int type = -1)
    {
        std::ofstream(base_ / "dev" / name).put('\0');
        if (type >= 0) {
            fs::create_directories(base_ / "sys" / name);
            std::ofstream(base_ / "sys" / name / "type") << type << "\n";
        }
    }
    // A node that leads to a real device (a pseudo-terminal), so that it can be opened.
    void NodeTo(const std::string& name, const std::string& target) { fs::create_symlink(target, base_ / "dev" / name); }
    void StableName(const std::string& link, const std::string& node)
    {
        fs::create_symlink("../../" + node, base_ / "dev" / "serial" / "by-id" / link);
    }
    void Unplug(const std::string& name)
    {
        fs::remove(base_ / "dev" / name);
        for (const auto& e : fs::directory_iterator(base_ / "dev" / "serial" / "by-id")) {
            std::error_code ec;
            if (!fs::exists(e.path(), ec))
                fs::remove(e.path());
        }
    }

private:
    fs::path base_;
};

}  // namespace

TEST(ComPortDiscovery, UartsAdaptersAndStableNamesFromTheDeviceFolder)
{
    FakeDevices d;
    d.Node("ttyS0", 4);   // a 16550A
    d.Node("ttyS1", 0);   // the driver knows no UART there
    d.Node("ttyS2");      // nothing says what it is: counted as there
    d.Node("ttyS10", 0);
    d.Node("ttyUSB10");
    d.Node("ttyUSB2");
    d.Node("ttyACM0");
    d.Node("ttyS", 4);    // not a numbered port
    d.Node("ttyUSBx");
    d.Node("tty5");
    d.StableName("usb-FTDI_FT232R_A1-if00-port0", "ttyUSB2");
    d.StableName("usb-Arduino_Uno_77-if00", "ttyACM0");

    const SerialScan s = ScanSerialDevices(d.Roots());
    EXPECT_EQ(s.uartPorts, (std::set<int>{1, 3}));
    ASSERT_EQ(s.adapters.size(), 3u);
    const std::string byId = d.Roots().dev + "/serial/by-id/";
    EXPECT_EQ(s.adapters[0], (SerialAdapter{d.Dev("ttyACM0"), byId + "usb-Arduino_Uno_77-if00"}));
    EXPECT_EQ(s.adapters[1], (SerialAdapter{d.Dev("ttyUSB2"), byId + "usb-FTDI_FT232R_A1-if00-port0"}));
    EXPECT_EQ(s.adapters[2], (SerialAdapter{d.Dev("ttyUSB10"), ""}));
    EXPECT_FALSE(UartPresent(d.Roots(), 1));
    EXPECT_FALSE(UartPresent(d.Roots(), 7));  // no node at all
}

TEST(ComPortMap, AdaptersGetNumbersKeepThemAndTheChosenOneIsStored)
{
    FakeDevices d;
    Settings settings;
    for (int n = 1; n <= kAdapterComPorts; ++n) {
        ::unsetenv(("QUENOR_COM" + std::to_string(n)).c_str());
        settings.Remove(QStringLiteral("Ports/COM%1").arg(n));
    }
    settings.Sync();
    d.Node("ttyS0", 4);
    d.Node("ttyS1", 0);
    d.Node("ttyUSB3");
    d.StableName("usb-FTDI_FT232R_A1-if00-port0", "ttyUSB3");
    const std::string ftdi = d.Roots().dev + "/serial/by-id/usb-FTDI_FT232R_A1-if00-port0";

    ComPortMap ports(d.Roots());
    auto now = ports.Ports();
    EXPECT_EQ(now[1].source, ComSource::Builtin);
    EXPECT_EQ(now[2], (ComPortEntry{ComSource::Adapter, d.Dev("ttyUSB3"), d.Dev("ttyUSB3")}));
    EXPECT_EQ(ports.DevicePath(2), d.Dev("ttyUSB3"));
    EXPECT_EQ(ports.DevicePath(3), d.Dev("ttyS2"));

    // A second adapter comes first in the kernel's order: the first keeps COM2.
    d.Node("ttyACM0");
    now = ports.Ports();
    EXPECT_EQ(now[2].device, d.Dev("ttyUSB3"));
    EXPECT_EQ(now[3].device, d.Dev("ttyACM0"));
    EXPECT_EQ(ports.Remember(1), "") << "a UART's number is no adapter's";
    EXPECT_FALSE(settings.Contains(QStringLiteral("Ports/COM1")));

    // Choosing COM2 stores the adapter's stable name.
    EXPECT_EQ(ports.Remember(2), ftdi);
    EXPECT_EQ(Settings().ReadString(QStringLiteral("Ports/COM2"), ""), ftdi);

    // The next start: the other adapter is found first, yet the chosen one is COM2 again.
    ComPortMap next(d.Roots());
    now = next.Ports();
    EXPECT_EQ(now[2], (ComPortEntry{ComSource::Setting, ftdi, d.Dev("ttyUSB3")}));
    EXPECT_EQ(now[3], (ComPortEntry{ComSource::Adapter, d.Dev("ttyACM0"), d.Dev("ttyACM0")}));
    EXPECT_EQ(next.DevicePath(2), ftdi);

    // Unplugged: the setting keeps COM2 for it; the ACM adapter keeps COM3.
    d.Unplug("ttyUSB3");
    now = next.Ports();
    EXPECT_EQ(now[2], (ComPortEntry{ComSource::Setting, ftdi, {}}));
    EXPECT_EQ(now[3].device, d.Dev("ttyACM0"));

    // The environment still comes first.
    ::setenv("QUENOR_COM2", "/dev/pts/77", 1);
    EXPECT_EQ(next.DevicePath(2), "/dev/pts/77");
    EXPECT_EQ(next.Ports()[2].source, ComSource::Environment);
    ::unsetenv("QUENOR_COM2");
    settings.Remove(QStringLiteral("Ports/COM2"));
    settings.Sync();
}
