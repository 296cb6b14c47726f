#include "platform/comports.h"

#include "platform/settings.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

namespace quenor {

namespace fs = std::filesystem;

namespace {

// The kernel's "unknown" port type (PORT_UNKNOWN of <linux/serial.h>).
constexpr int kPortUnknown = 0;

// name is prefix followed by a decimal number only.
bool NumberAfter(std::string_view name, std::string_view prefix, int& number)
{
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix)
        return false;
    const std::string_view digits = name.substr(prefix.size());
    if (digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    return std::from_chars(digits.data(), digits.data() + digits.size(), number).ec == std::errc{};
}

std::string TtySPath(const std::string& devRoot, int port)
{
    return devRoot + "/ttyS" + std::to_string(port - 1);
}

// The node a name leads to now, or empty when it leads nowhere.
std::string Resolved(const std::string& path)
{
    std::error_code ec;
    const fs::path p = fs::canonical(path, ec);
    return ec ? std::string() : p.string();
}

bool Matches(const ComMapping& m, const SerialAdapter& a)
{
    return m.device == a.device || (!a.stableName.empty() && m.device == a.stableName) ||
           (!m.resolved.empty() && m.resolved == a.device);
}

// The adapters' kernel order: ttyACM before ttyUSB, then by number.
bool KernelOrder(const SerialAdapter& a, const SerialAdapter& b)
{
    const std::string na = fs::path(a.device).filename().string();
    const std::string nb = fs::path(b.device).filename().string();
    int ia = 0, ib = 0;
    const std::string pa = na.substr(0, 6), pb = nb.substr(0, 6);  // "ttyACM" or "ttyUSB"
    if (pa != pb)
        return pa < pb;
    NumberAfter(na, pa, ia);
    NumberAfter(nb, pb, ib);
    return ia < ib;
}

std::map<int, ComMapping> ReadMappings()
{
    std::map<int, ComMapping> out;
    for (int n = 1; n <= kMaxComPort; ++n) {
        const std::string var = "QUENOR_COM" + std::to_string(n);
        if (const char* env = std::getenv(var.c_str()); env && *env)
            out[n] = ComMapping{ComSource::Environment, env, {}};
    }
    Settings settings;
    const QStringList keys = settings.ChildKeys(QStringLiteral("Ports"));
    for (const QString& key : keys) {
        int n = 0;
        if (!NumberAfter(key.toStdString(), "COM", n) || n < 1 || n > kMaxComPort || out.count(n))
            continue;
        const std::string device = settings.ReadString(QStringLiteral("Ports/") + key, "");
        if (!device.empty())
            out[n] = ComMapping{ComSource::Setting, device, {}};
    }
    for (auto& [n, m] : out)
        m.resolved = Resolved(m.device);
    return out;
}

// The explicit mapping of one number, without looking at the others.
bool MappingOf(int port, std::string& device)
{
    const std::string var = "QUENOR_COM" + std::to_string(port);
    if (const char* env = std::getenv(var.c_str()); env && *env) {
        device = env;
        return true;
    }
    Settings settings;
    device = settings.ReadString(QStringLiteral("Ports/COM%1").arg(port), "");
    return !device.empty();
}

SerialDeviceRoots ProcessRoots()
{
    SerialDeviceRoots roots;
    if (quenor_serial_device_roots) {
        if (const char* given = quenor_serial_device_roots()) {
            const std::string_view s = given;
            const std::size_t nl = s.find('\n');
            if (nl != std::string_view::npos && nl > 0 && nl + 1 < s.size()) {
                roots.dev = std::string(s.substr(0, nl));
                roots.ttyClass = std::string(s.substr(nl + 1));
            }
        }
    }
    return roots;
}

}  // namespace

ComAssignment AssignComPorts(const std::map<int, ComMapping>& mappings, const SerialScan& scan,
                             const std::map<std::string, int>& held, const std::string& devRoot)
{
    ComAssignment out;
    std::vector<bool> mapped(scan.adapters.size(), false);

    // The environment and the settings first: their numbers are theirs, and
    // an adapter that they name gets no number of its own.
    for (const auto& [n, m] : mappings) {
        if (n < 1 || n > kMaxComPort)
            continue;
        ComPortEntry e{m.source, m.device, {}};
        for (std::size_t i = 0; i < scan.adapters.size(); ++i) {
            if (Matches(m, scan.adapters[i])) {
                mapped[i] = true;
                if (e.adapter.empty())
                    e.adapter = scan.adapters[i].device;
            }
        }
        out.ports[n] = e;
    }
    // Then the ports of the machine itself.
    for (int n = 1; n <= kAdapterComPorts; ++n)
        if (!out.ports.count(n) && scan.uartPorts.count(n))
            out.ports[n] = ComPortEntry{ComSource::Builtin, TtySPath(devRoot, n), {}};

    auto isFree = [&](int n) { return n >= 1 && n <= kAdapterComPorts && !out.ports.count(n); };
    auto give = [&](const SerialAdapter& a, int n) {
        out.ports[n] = ComPortEntry{ComSource::Adapter, a.device, a.device};
        out.held[a.Name()] = n;
    };
    // The adapters that had a number keep it; its stable name may have come
    // after the adapter itself (udev makes the link a moment later).
    std::vector<const SerialAdapter*> newcomers;
    for (std::size_t i = 0; i < scan.adapters.size(); ++i) {
        if (mapped[i])
            continue;
        const SerialAdapter& a = scan.adapters[i];
        int had = 0;
        for (const std::string* key : {&a.stableName, &a.device}) {
            if (key->empty())
                continue;
            if (auto it = held.find(*key); it != held.end()) {
                had = it->second;
                break;
            }
        }
        if (isFree(had))
            give(a, had);
        else
            newcomers.push_back(&a);
    }
    // The others get the lowest free numbers, in the kernel's order.
    int next = 1;
    for (const SerialAdapter* a : newcomers) {
        while (next <= kAdapterComPorts && !isFree(next))
            ++next;
        if (next > kAdapterComPorts)
            break;
        give(*a, next);
    }
    for (int n = 1; n <= kAdapterComPorts; ++n)
        if (!out.ports.count(n))
            out.ports[n] = ComPortEntry{ComSource::Free, TtySPath(devRoot, n), {}};
    return out;
}

bool UartPresent(const SerialDeviceRoots& roots, int index)
{
    const std::string name = "ttyS" + std::to_string(index);
    std::error_code ec;
    if (!fs::exists(roots.dev + "/" + name, ec))
        return false;
    // The serial driver's port type, as TIOCGSERIAL reports it; the device
    // itself is not opened (that would raise its modem lines).
    std::ifstream in(roots.ttyClass + "/" + name + "/type");
    int type = 0;
    if (in >> type)
        return type != kPortUnknown;
    return true;  // nothing says otherwise
}

SerialScan ScanSerialDevices(const SerialDeviceRoots& roots)
{
    SerialScan scan;
    std::error_code ec;
    for (fs::directory_iterator it(roots.dev, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        int k = 0;
        if (NumberAfter(name, "ttyS", k)) {
            if (k + 1 <= kMaxComPort && UartPresent(roots, k))
                scan.uartPorts.insert(k + 1);
        } else if (NumberAfter(name, "ttyUSB", k) || NumberAfter(name, "ttyACM", k)) {
            scan.adapters.push_back(SerialAdapter{roots.dev + "/" + name, {}});
        }
    }
    std::sort(scan.adapters.begin(), scan.adapters.end(), KernelOrder);
    if (scan.adapters.empty())
        return scan;

    std::vector<std::string> links;
    ec.clear();
    for (fs::directory_iterator it(roots.dev + "/serial/by-id", ec), end; !ec && it != end; it.increment(ec))
        links.push_back(it->path().string());
    std::sort(links.begin(), links.end());
    for (SerialAdapter& a : scan.adapters) {
        const std::string node = Resolved(a.device);
        if (node.empty())
            continue;
        for (const std::string& link : links) {
            if (Resolved(link) == node) {
                a.stableName = link;
                break;
            }
        }
    }
    return scan;
}

// --- the process's numbers ---------------------------------------------------------

ComPortMap& ComPortMap::Instance()
{
    static ComPortMap map(ProcessRoots());
    return map;
}

ComPortMap::ComPortMap(SerialDeviceRoots roots) : roots_(std::move(roots)) {}

SerialDeviceRoots ComPortMap::Roots() const
{
    std::lock_guard lock(mutex_);
    return roots_;
}

void ComPortMap::SetRoots(SerialDeviceRoots roots)
{
    std::lock_guard lock(mutex_);
    roots_ = std::move(roots);
    held_.clear();
}

ComAssignment ComPortMap::AssignLocked()
{
    ComAssignment a = AssignComPorts(ReadMappings(), ScanSerialDevices(roots_), held_, roots_.dev);
    held_ = a.held;
    return a;
}

std::map<int, ComPortEntry> ComPortMap::Ports()
{
    std::lock_guard lock(mutex_);
    return AssignLocked().ports;
}

std::string ComPortMap::DevicePath(int port)
{
    std::string device;
    if (MappingOf(port, device))
        return device;
    std::lock_guard lock(mutex_);
    if (port < 1 || port > kAdapterComPorts || UartPresent(roots_, port - 1))
        return TtySPath(roots_.dev, port);
    return AssignLocked().ports[port].device;
}

std::string ComPortMap::Remember(int port)
{
    std::lock_guard lock(mutex_);
    const ComAssignment a = AssignLocked();
    const auto it = a.ports.find(port);
    if (it == a.ports.end() || it->second.source != ComSource::Adapter)
        return {};
    std::string name = it->second.device;
    for (const auto& [key, n] : a.held)
        if (n == port)
            name = key;
    Settings settings;
    settings.WriteString(QStringLiteral("Ports/COM%1").arg(port), name);
    settings.Sync();
    return name;
}

std::string ComDevicePath(int port)
{
    return ComPortMap::Instance().DevicePath(port);
}

std::string DefaultComDevicePath(int port)
{
    return TtySPath(ComPortMap::Instance().Roots().dev, port);
}

}  // namespace quenor
