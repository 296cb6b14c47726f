#pragma once
// Which Linux device stands for COM port n, and the COM numbers that the
// serial devices of the machine get.
//
// COM n is, in this order:
//  1. the device named by the environment variable QUENOR_COM<n>;
//  2. else the device named by the setting "Ports/COM<n>";
//  3. else /dev/ttyS<n-1> when a UART is behind it. The kernel makes ttyS
//     nodes whether or not the hardware exists; one whose serial driver
//     reports the port type as unknown counts as absent;
//  4. else, for COM1 to COM24, a USB serial adapter (/dev/ttyUSB<k>,
//     /dev/ttyACM<k>) that no mapping of 1 or 2 names: each such adapter gets
//     the lowest number that nothing else holds, and keeps it while it stays
//     plugged in;
//  5. else nothing is there, and COM n stands for /dev/ttyS<n-1>.
// An adapter is known by its stable name under /dev/serial/by-id where it has
// one (its kernel name changes with the order in which adapters are plugged
// in). Choosing an adapter's number stores that name as the setting of the
// number (ComPortMap::Remember), so that the next start finds it there.

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace quenor {

constexpr int kMaxComPort = 256;      // the highest port number a serial port opens
constexpr int kAdapterComPorts = 24;  // adapters get numbers from COM1 to COM24

enum class ComSource {
    Free,         // nothing is there
    Environment,  // QUENOR_COM<n>
    Setting,      // "Ports/COM<n>"
    Builtin,      // /dev/ttyS<n-1> with a UART
    Adapter,      // a USB adapter's number, given while it is plugged in
};

struct SerialAdapter {
    std::string device;      // the kernel's node, /dev/ttyUSB0
    std::string stableName;  // its link under /dev/serial/by-id; empty when it has none
    // What the adapter is known by: the stable name where there is one.
    const std::string& Name() const { return stableName.empty() ? device : stableName; }
    bool operator==(const SerialAdapter&) const = default;
};

// The serial devices that are there.
struct SerialScan {
    std::set<int> uartPorts;              // n for every /dev/ttyS<n-1> with a UART behind it
    std::vector<SerialAdapter> adapters;  // in the kernel's naming order
};

// A number mapped by the environment or the settings.
struct ComMapping {
    ComSource source = ComSource::Setting;  // Environment or Setting
    std::string device;                     // as given
    std::string resolved;                   // the node it leads to now (links followed); empty when none
};

struct ComPortEntry {
    ComSource source = ComSource::Free;
    std::string device;   // what COM n opens
    std::string adapter;  // the kernel node of the adapter that COM n leads to, when one is plugged in
    bool operator==(const ComPortEntry&) const = default;
};

struct ComAssignment {
    std::map<int, ComPortEntry> ports;  // COM1 to COM24, and the mapped numbers above
    std::map<std::string, int> held;    // adapter name -> its number, for the automatic numbers
};

// Gives the numbers. held says which number each adapter had at the last
// assignment; an adapter keeps it while nothing of higher precedence takes it.
// devRoot is the folder of the device nodes (/dev).
ComAssignment AssignComPorts(const std::map<int, ComMapping>& mappings, const SerialScan& scan,
                             const std::map<std::string, int>& held, const std::string& devRoot);

// Where the device nodes and the kernel's description of the terminals are.
struct SerialDeviceRoots {
    std::string dev = "/dev";
    std::string ttyClass = "/sys/class/tty";
};

// Whether /dev/ttyS<index> has a UART behind it: the node is there and the
// serial driver knows the port's type (from the class folder, which everyone
// may read, else by asking the device itself; a device that cannot be asked
// counts as present).
bool UartPresent(const SerialDeviceRoots& roots, int index);
// The ttyS ports with a UART and the USB adapters, with their stable names.
SerialScan ScanSerialDevices(const SerialDeviceRoots& roots);

// The numbers of this process: the environment and the settings are read and
// the devices looked at whenever they are asked for, and the adapters'
// automatic numbers are kept between the looks. Safe from any thread.
class ComPortMap {
public:
    // The process's map; its roots are /dev and /sys/class/tty, or what
    // quenor_serial_device_roots() gives where the program defines it.
    static ComPortMap& Instance();

    explicit ComPortMap(SerialDeviceRoots roots = {});

    // COM1 to COM24 (and the mapped numbers above) as they are now.
    std::map<int, ComPortEntry> Ports();
    // The device that COM n opens now.
    std::string DevicePath(int port);
    // When COM n is an adapter's automatic number, stores the adapter's name
    // as the setting "Ports/COM<n>" and returns it; otherwise stores nothing
    // and returns an empty text.
    std::string Remember(int port);

    SerialDeviceRoots Roots() const;
    // Another place to look for devices (tests); the automatic numbers start afresh.
    void SetRoots(SerialDeviceRoots roots);

private:
    ComAssignment AssignLocked();

    mutable std::mutex mutex_;
    SerialDeviceRoots roots_;
    std::map<std::string, int> held_;
};

std::string ComDevicePath(int port);         // ComPortMap::Instance().DevicePath(port)
std::string DefaultComDevicePath(int port);  // /dev/ttyS<n-1> under the process's device folder

}  // namespace quenor

// A program (the tests) may define this to look for serial devices elsewhere
// than in /dev and /sys/class/tty: it returns the device folder and the
// terminal class folder separated by a newline.
extern "C" const char* quenor_serial_device_roots() __attribute__((weak));
