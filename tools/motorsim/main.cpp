// motorsim: a simulated motor on a pseudo-terminal.
//
//   motorsim [--family 0|1|2] [--firmware N] [--address N] [--module TYPE[,BYTE...]]
//            [--seed N] [--drop P] [--corrupt P] [--delay P:MS] [--reg R=V]...
//            [--bootloader VARIANT] [--loader-version N] [--loader-revision N]
//            [--loader-hardware N] [--erase-delay MS] [--link PATH]
//            [--log-writes FILE] [--lose-ack R:N]...
//
// --link PATH: the motor is reached through a symbolic link at PATH, which
// stays the same when the motor is unplugged and plugged in again (SIGUSR2
// does one, then the other), as an adapter's udev link does.
//
// With --bootloader the motor has a bootloader of that variant (0 to 5): the
// variant's jump command enters it, and so does SIGUSR1 (a power cycle).
//
// --lose-ack R:N: the motor takes the next N writes of register R but their
// acknowledgements are lost on the line (the log of --log-writes marks them).
//
// Prints the device path, then answers until interrupted (Ctrl+C).
// Point Quenor's COM1 (the port it starts on) at it: QUENOR_COM1=<path> quenor

#include "tools/motorsim/bootloader.h"
#include "tools/motorsim/motorsim.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <string>
#include <string_view>

using quenor::motorsim::FaultConfig;
using quenor::motorsim::MotorSim;
using quenor::motorsim::SimFrame;

namespace {

bool ParseLong(std::string_view s, long& out)
{
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out, base);
    return ec == std::errc() && p == s.data() + s.size();
}

bool ParseDouble(std::string_view s, double& out)
{
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: motorsim [--family 0|1|2] [--firmware N] [--address N] [--module TYPE[,BYTE...]]\n"
                 "                [--seed N] [--drop P] [--corrupt P] [--delay P:MS] [--reg R=V]...\n"
                 "                [--bootloader VARIANT] [--loader-version N] [--loader-revision N]\n"
                 "                [--loader-hardware N] [--erase-delay MS] [--link PATH] [--log-writes FILE]\n"
                 "                [--lose-ack R:N]...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    long family = 0, firmware = 0x0123, address = 1;
    FaultConfig faults;
    std::vector<std::uint8_t> module;
    std::vector<std::pair<long, long>> regs;
    std::vector<std::pair<long, long>> lostAcks;
    long loaderVariant = -1;
    std::string link;
    std::string writesLog;
    quenor::motorsim::BootloaderConfig loader;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string_view val = argv[++i];
        long n = 0;
        double d = 0;
        if (arg == "--family" && ParseLong(val, n) && n >= 0 && n <= 2) {
            family = n;
        } else if (arg == "--firmware" && ParseLong(val, n) && n >= 0 && n <= 0x3FFF) {
            firmware = n;
        } else if (arg == "--address" && ParseLong(val, n) && n >= 0 && n <= 255) {
            address = n;
        } else if (arg == "--seed" && ParseLong(val, n) && n >= 0) {
            faults.seed = static_cast<std::uint32_t>(n);
        } else if (arg == "--drop" && ParseDouble(val, d)) {
            faults.dropChance = d;
        } else if (arg == "--corrupt" && ParseDouble(val, d)) {
            faults.corruptChance = d;
        } else if (arg == "--delay") {
            const auto colon = val.find(':');
            if (colon == std::string_view::npos || !ParseDouble(val.substr(0, colon), d) ||
                !ParseLong(val.substr(colon + 1), n))
                return Usage();
            faults.delayChance = d;
            faults.delayMs = static_cast<int>(n);
        } else if (arg == "--bootloader" && ParseLong(val, n) && n >= 0 && n <= 5) {
            loaderVariant = n;
        } else if (arg == "--loader-version" && ParseLong(val, n) && n >= 0 && n <= 0xFFFF) {
            loader.version = static_cast<int>(n);
        } else if (arg == "--loader-revision" && ParseLong(val, n) && n >= 0 && n <= 255) {
            loader.revision = static_cast<int>(n);
        } else if (arg == "--loader-hardware" && ParseLong(val, n) && n >= 0 && n <= 255) {
            loader.hardware = static_cast<int>(n);
        } else if (arg == "--erase-delay" && ParseLong(val, n) && n >= 0) {
            loader.eraseDelayMs = static_cast<int>(n);
        } else if (arg == "--link") {
            link = std::string(val);
        } else if (arg == "--log-writes") {
            writesLog = std::string(val);
        } else if (arg == "--module") {
            std::string_view rest = val;
            while (!rest.empty()) {
                const auto comma = rest.find(',');
                if (!ParseLong(rest.substr(0, comma), n) || n < 0 || n > 255)
                    return Usage();
                module.push_back(static_cast<std::uint8_t>(n));
                rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
            }
        } else if (arg == "--lose-ack") {
            const auto colon = val.find(':');
            long r = 0;
            if (colon == std::string_view::npos || !ParseLong(val.substr(0, colon), r) || r < 0 || r > 255 ||
                !ParseLong(val.substr(colon + 1), n) || n < 1)
                return Usage();
            lostAcks.emplace_back(r, n);
        } else if (arg == "--reg") {
            const auto eq = val.find('=');
            long r = 0;
            if (eq == std::string_view::npos || !ParseLong(val.substr(0, eq), r) || !ParseLong(val.substr(eq + 1), n))
                return Usage();
            regs.emplace_back(r, n);
        } else {
            return Usage();
        }
    }

    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGUSR1);
    sigaddset(&set, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);  // before the motor's thread starts

    MotorSim sim(static_cast<int>(family), static_cast<std::uint16_t>(firmware), static_cast<int>(address));
    for (const auto& [r, v] : regs)
        sim.SetRegister(static_cast<int>(r), static_cast<std::int32_t>(v));
    for (const auto& [r, count] : lostAcks)
        sim.LoseWriteAcks(static_cast<int>(r), static_cast<int>(count));
    sim.SetModuleInfo(module);
    sim.SetFaults(faults);
    if (!link.empty())
        sim.SetLinkPath(link);
    // Every register write, and the plugs, with the seconds since the start.
    std::FILE* writes = writesLog.empty() ? nullptr : std::fopen(writesLog.c_str(), "w");
    if (!writesLog.empty() && !writes) {
        std::fprintf(stderr, "motorsim: cannot write %s: %s\n", writesLog.c_str(), std::strerror(errno));
        return 1;
    }
    const auto started = std::chrono::steady_clock::now();
    const auto note = [&](const std::string& text) {
        if (!writes)
            return;
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::fprintf(writes, "%10.3f  %s\n", s, text.c_str());
        std::fflush(writes);
    };
    if (writes)
        sim.SetRequestWatcher([&](const SimFrame& f, bool replyLost) {
            if (const auto value = MotorSim::WrittenValue(f))
                note("write address " + std::to_string(f.fields[0]) + " register " + std::to_string(f.fields[1]) +
                     " = " + std::to_string(*value) + (replyLost ? "  (acknowledge lost)" : ""));
        });
    if (!sim.Start()) {
        std::fprintf(stderr, "motorsim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    std::printf("%s\n", sim.DevicePath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "motorsim: family %ld, address %ld; run Quenor with QUENOR_COM1=%s on COM1 (its port at a first start; else choose Comport 1)\n",
                 family, address, sim.DevicePath().c_str());

    std::unique_ptr<quenor::motorsim::SimBootloader> bootloader;
    if (loaderVariant >= 0) {
        loader.variant = static_cast<int>(loaderVariant);
        loader.moduleType = module.empty() ? 0 : module[0];
        bootloader = std::make_unique<quenor::motorsim::SimBootloader>(sim, loader);
        std::fprintf(stderr, "motorsim: bootloader variant %ld; kill -USR1 %d simulates a power cycle\n",
                     loaderVariant, static_cast<int>(getpid()));
    }

    int sig = 0;
    for (;;) {
        sigwait(&set, &sig);
        if (sig == SIGUSR2) {
            static bool unplugged = false;
            unplugged = !unplugged;
            if (unplugged) {
                sim.Stop();
                std::fprintf(stderr, "motorsim: unplugged\n");
                note("unplugged");
            } else {
                note("plugged in");
                std::fprintf(stderr, sim.Start() ? "motorsim: plugged in at %s\n" : "motorsim: cannot plug in at %s\n",
                             sim.DevicePath().c_str());
            }
            continue;
        }
        if (sig != SIGUSR1)
            break;
        if (bootloader) {
            bootloader->PowerCycle();
            std::fprintf(stderr, "motorsim: power cycle: waiting in the bootloader\n");
        }
    }
    bootloader.reset();
    sim.Stop();
    std::fprintf(stderr, "motorsim: %zu frames received\n", sim.Requests().size());
    if (writes)
        std::fclose(writes);
    return 0;
}
