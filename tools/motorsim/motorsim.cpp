#include "tools/motorsim/motorsim.h"

#include "platform/clock.h"
#include "platform/pty.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace quenor::motorsim {

namespace {
constexpr std::uint8_t kEnd = 0xAA;
constexpr std::size_t kMaxFields = 512;
}  // namespace

MotorSim::MotorSim(int family, std::uint16_t firmware, int address)
    : family_(family), firmware_(firmware), address_(address), rng_(1)
{
    UpdateRegister1();
    InstallDefaultHandlers();
}

MotorSim::~MotorSim()
{
    Stop();
}

bool MotorSim::Start()
{
    if (running_.load())
        return true;
    if (!pty_.Open(true))
        return false;
    master_ = pty_.MasterFd();
    devicePath_ = pty_.SlavePath();
    if (!linkPath_.empty()) {
        // The stable name points at this terminal, as a udev link names an adapter.
        ::unlink(linkPath_.c_str());
        if (::symlink(devicePath_.c_str(), linkPath_.c_str()) != 0) {
            pty_.Close();
            master_ = -1;
            return false;
        }
        devicePath_ = linkPath_;
    }
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    running_.store(true);
    thread_ = std::thread(&MotorSim::Run, this);
    return true;
}

void MotorSim::Stop()
{
    if (!running_.exchange(false))
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t r = ::write(stopFd_, &one, sizeof one);
    if (thread_.joinable())
        thread_.join();
    ::close(stopFd_);
    pty_.Close();
    stopFd_ = master_ = -1;
    if (!linkPath_.empty())
        ::unlink(linkPath_.c_str());
}

void MotorSim::SetLinkPath(std::string path)
{
    linkPath_ = std::move(path);
}

// --- identity and registers -------------------------------------------------------

void MotorSim::UpdateRegister1()
{
    // Family bits 14-15: 0 family 0, 1 family 2, 2 family 1.
    const int bits = family_ == 1 ? 2 : family_ == 2 ? 1 : 0;
    regs_[1] = static_cast<std::int32_t>((firmware_ & 0x3FFF) | (bits << 14));
}

void MotorSim::SetFamily(int family)
{
    std::lock_guard lock(mutex_);
    family_ = family;
    UpdateRegister1();
}

int MotorSim::Family() const
{
    std::lock_guard lock(mutex_);
    return family_;
}

void MotorSim::SetFirmware(std::uint16_t firmware)
{
    std::lock_guard lock(mutex_);
    firmware_ = firmware;
    UpdateRegister1();
}

void MotorSim::SetAddress(int address)
{
    std::lock_guard lock(mutex_);
    address_ = address;
}

std::int32_t MotorSim::Register(int reg) const
{
    std::lock_guard lock(mutex_);
    return regs_[static_cast<std::size_t>(reg & 0xFF)];
}

void MotorSim::SetRegister(int reg, std::int32_t value)
{
    std::lock_guard lock(mutex_);
    regs_[static_cast<std::size_t>(reg & 0xFF)] = value;
}

int MotorSim::FamilyWidth() const
{
    return family_ == 1 ? 4 : 2;
}

namespace {

// Family 0 keeps its 32-bit values (positions, error limits, the serial
// number, the firmware checksum, the filter word) in two register numbers.
bool ThirtyTwoBitsInFamily0(int reg)
{
    switch (reg) {
    case 3: case 8: case 10: case 20: case 22: case 24: case 26: case 28: case 30: case 38:
    case 154: case 158: case 165:
        return true;
    default:
        return reg >= 49 && reg <= 63 && (reg & 1) != 0;  // position registers 1 to 8
    }
}

}  // namespace

int MotorSim::WidthLocked(int reg) const
{
    const int w = widths_[static_cast<std::size_t>(reg & 0xFF)];
    if (w)
        return w;
    if (family_ == 0 && ThirtyTwoBitsInFamily0(reg & 0xFF))
        return 4;
    return FamilyWidth();
}

int MotorSim::RegisterWidth(int reg) const
{
    std::lock_guard lock(mutex_);
    return WidthLocked(reg);
}

void MotorSim::SetRegisterWidth(int reg, int width)
{
    std::lock_guard lock(mutex_);
    widths_[static_cast<std::size_t>(reg & 0xFF)] = width;
}

void MotorSim::SetModuleInfo(std::vector<std::uint8_t> info)
{
    std::lock_guard lock(mutex_);
    moduleInfo_ = std::move(info);
}

void MotorSim::SetSilent(bool silent)
{
    std::lock_guard lock(mutex_);
    silent_ = silent;
}

void MotorSim::SetHandler(std::uint8_t command, Handler handler)
{
    std::lock_guard lock(mutex_);
    if (handler)
        handlers_[command] = std::move(handler);
    else
        handlers_.erase(command);
}

void MotorSim::SetFaults(const FaultConfig& config)
{
    std::lock_guard lock(mutex_);
    faults_ = config;
    rng_.seed(config.seed);
}

void MotorSim::InjectFault(FaultKind kind, int count, int delayMs)
{
    std::lock_guard lock(mutex_);
    for (int i = 0; i < count; ++i)
        pending_.push_back(Fault{kind, delayMs});
}

void MotorSim::LoseReplies(std::uint8_t command, int selector, int count)
{
    std::lock_guard lock(mutex_);
    if (count > 0)
        losses_.push_back(ReplyLoss{command, selector, count});
}

bool MotorSim::TakeReplyLoss(const SimFrame& f)
{
    // What a rule picks: a write's register, a program command's kind.
    const std::size_t at = f.command == 0x61 ? 2 : 1;
    for (auto it = losses_.begin(); it != losses_.end(); ++it) {
        if (it->command != f.command)
            continue;
        if (it->selector >= 0 && (f.fields.size() <= at || f.fields[at] != it->selector))
            continue;
        if (--it->count == 0)
            losses_.erase(it);
        return true;
    }
    return false;
}

// --- raw access -----------------------------------------------------------------------

void MotorSim::SetRawHandler(RawHandler handler)
{
    std::lock_guard lock(mutex_);
    raw_ = std::move(handler);
}

bool MotorSim::WriteRaw(const std::vector<std::uint8_t>& bytes)
{
    return WriteAll(bytes);
}

bool MotorSim::Pause(int ms)
{
    return SleepMs(ms);
}

int MotorSim::LineBaud() const
{
    termios tio{};
    if (pty_.SlaveFd() < 0 || tcgetattr(pty_.SlaveFd(), &tio) != 0)
        return 0;
    struct Entry {
        speed_t speed;
        int rate;
    };
    static constexpr Entry table[] = {{B2400, 2400},     {B4800, 4800},     {B9600, 9600},
                                      {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
                                      {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
                                      {B921600, 921600}};
    const speed_t speed = cfgetospeed(&tio);
    for (const Entry& e : table)
        if (e.speed == speed)
            return e.rate;
    return 0;
}

// --- log ---------------------------------------------------------------------------

void MotorSim::AddLog(bool request, std::vector<std::uint8_t> bytes, std::string note)
{
    {
        std::lock_guard lock(mutex_);
        log_.push_back(LogEntry{MonotonicUs(), request, std::move(bytes), std::move(note)});
    }
    logCv_.notify_all();
}

std::vector<LogEntry> MotorSim::Log() const
{
    std::lock_guard lock(mutex_);
    return log_;
}

std::vector<SimFrame> MotorSim::Requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

int MotorSim::CountRequests(std::uint8_t command) const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(requests_.begin(), requests_.end(),
                                          [command](const SimFrame& f) { return f.command == command; }));
}

bool MotorSim::WaitForRequests(std::uint8_t command, int count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return logCv_.wait_for(lock, timeout, [&] {
        return std::count_if(requests_.begin(), requests_.end(),
                             [command](const SimFrame& f) { return f.command == command; }) >= count;
    });
}

void MotorSim::ClearLog()
{
    std::lock_guard lock(mutex_);
    log_.clear();
    requests_.clear();
}

// --- frames --------------------------------------------------------------------------

void MotorSim::AppendLE(std::vector<std::uint8_t>& out, std::uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::uint8_t> MotorSim::Reply(std::uint8_t echo, const std::vector<std::uint8_t>& fields)
{
    std::vector<std::uint8_t> out{echo, echo, echo};
    out.reserve(3 + 2 * fields.size() + 2);
    for (std::uint8_t f : fields) {
        out.push_back(f);
        out.push_back(static_cast<std::uint8_t>(255 - f));
    }
    out.push_back(kEnd);
    out.push_back(kEnd);
    return out;
}

std::vector<std::uint8_t> MotorSim::Ack()
{
    return {0x11, 0x11, 0x11};
}

std::vector<std::uint8_t> MotorSim::Busy()
{
    return {0x22, 0x22, 0x22};
}

int MotorSim::ParseFrame(const std::uint8_t* buf, std::size_t size, SimFrame& frame, std::size_t& used)
{
    if (size == 0)
        return 0;
    const std::uint8_t c = buf[0];
    for (std::size_t i = 1; i < 3; ++i) {
        if (i >= size)
            return 0;
        if (buf[i] != c)
            return -1;
    }
    SimFrame f;
    f.command = c;
    std::size_t i = 3;
    for (;;) {
        if (i + 1 >= size)
            return 0;
        const std::uint8_t x = buf[i];
        const std::uint8_t y = buf[i + 1];
        if (x == kEnd && y == kEnd)
            break;
        if (y != static_cast<std::uint8_t>(255 - x) || f.fields.size() >= kMaxFields)
            return -1;
        f.fields.push_back(x);
        i += 2;
    }
    if (f.fields.empty())
        return -1;  // every request carries the address
    used = i + 2;
    frame = std::move(f);
    return 1;
}

// --- the motor's answers ------------------------------------------------------------------

void MotorSim::InstallDefaultHandlers()
{
    handlers_[0x50] = [](MotorSim& m, const SimFrame& f) { return m.OnRead(f); };
    handlers_[0x51] = [](MotorSim& m, const SimFrame& f) { return m.OnBlockRead(f); };
    handlers_[0x52] = [](MotorSim& m, const SimFrame& f) { return m.OnWrite(f); };
    handlers_[0x5F] = [](MotorSim& m, const SimFrame& f) { return m.OnModuleInfo(f); };
    InstallJobHandlers();
}

std::vector<std::uint8_t> MotorSim::OnRead(const SimFrame& f)
{
    if (f.fields.size() != 2)
        return {};
    const std::uint8_t reg = f.fields[1];
    int width = 0;
    std::uint32_t value = 0;
    {
        std::lock_guard lock(mutex_);  // width and value as one
        width = WidthLocked(reg);
        value = static_cast<std::uint32_t>(regs_[reg]);
    }
    std::vector<std::uint8_t> fields{0, reg, static_cast<std::uint8_t>(width)};
    AppendLE(fields, value, width);
    return Reply(0x52, fields);
}

std::vector<std::uint8_t> MotorSim::OnBlockRead(const SimFrame& f)
{
    if (f.fields.size() != 2)
        return {};
    const std::uint8_t first = f.fields[1];
    std::vector<std::uint8_t> fields{0, first, 128};
    std::lock_guard lock(mutex_);
    const int width = FamilyWidth();
    for (int r = first; r < first + 128 / width; ++r) {
        std::uint32_t v = r < 256 ? static_cast<std::uint32_t>(regs_[static_cast<std::size_t>(r)]) : 0;
        // A 32-bit value among 16-bit registers: its low word at its own
        // number, its high word at the next.
        if (width == 2 && r > 0 && r <= 256 && WidthLocked(r - 1) == 4)
            v = static_cast<std::uint32_t>(regs_[static_cast<std::size_t>(r - 1)]) >> 16;
        AppendLE(fields, v, width);
    }
    return Reply(0x52, fields);
}

std::optional<std::int32_t> MotorSim::WrittenValue(const SimFrame& f)
{
    if (f.command != 0x52 || f.fields.size() < 3)
        return std::nullopt;
    const int width = f.fields[2];
    if ((width != 2 && width != 4) || f.fields.size() != 3u + static_cast<std::size_t>(width))
        return std::nullopt;
    std::uint32_t raw = 0;
    for (int i = 0; i < width; ++i)
        raw |= static_cast<std::uint32_t>(f.fields[3 + static_cast<std::size_t>(i)]) << (8 * i);
    return width == 2 ? static_cast<std::int16_t>(static_cast<std::uint16_t>(raw)) : static_cast<std::int32_t>(raw);
}

std::vector<std::uint8_t> MotorSim::OnWrite(const SimFrame& f)
{
    const std::optional<std::int32_t> value = WrittenValue(f);
    if (!value)
        return {};
    SetRegister(f.fields[1], *value);
    return Ack();
}

std::vector<std::uint8_t> MotorSim::OnModuleInfo(const SimFrame& f)
{
    if (f.fields.size() != 1)
        return {};
    std::lock_guard lock(mutex_);
    if (moduleInfo_.empty())
        return {};  // no module fitted: nobody answers
    const std::size_t n = std::min<std::size_t>(moduleInfo_.size(), 255);
    std::vector<std::uint8_t> fields;
    fields.reserve(2 + n);
    fields.push_back(0);
    fields.push_back(static_cast<std::uint8_t>(n));
    for (std::size_t i = 0; i < n; ++i)
        fields.push_back(moduleInfo_[i]);
    return Reply(0x5F, fields);
}

// --- the motor's thread -------------------------------------------------------------------

bool MotorSim::SleepMs(int ms)
{
    pollfd p{stopFd_, POLLIN, 0};
    return poll(&p, 1, ms) == 0;
}

bool MotorSim::WriteAll(const std::vector<std::uint8_t>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t r = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (r > 0) {
            done += static_cast<std::size_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN)
            return false;
        pollfd fds[2] = {{master_, POLLOUT, 0}, {stopFd_, POLLIN, 0}};
        if (poll(fds, 2, 100) > 0 && (fds[1].revents & POLLIN))
            return false;
    }
    return true;
}

void MotorSim::SendReply(std::vector<std::uint8_t> reply)
{
    Fault fault{FaultKind::Drop, 0};
    bool faulty = false;
    std::size_t corruptAt = 0;
    std::uint8_t corruptMask = 0;
    {
        std::lock_guard lock(mutex_);
        if (!pending_.empty()) {
            fault = pending_.front();
            pending_.pop_front();
            faulty = true;
        } else if (faults_.dropChance > 0 || faults_.corruptChance > 0 || faults_.delayChance > 0) {
            std::uniform_real_distribution<double> chance(0.0, 1.0);
            const double r = chance(rng_);
            if (r < faults_.dropChance) {
                fault = Fault{FaultKind::Drop, 0};
                faulty = true;
            } else if (r < faults_.dropChance + faults_.corruptChance) {
                fault = Fault{FaultKind::Corrupt, 0};
                faulty = true;
            } else if (r < faults_.dropChance + faults_.corruptChance + faults_.delayChance) {
                fault = Fault{FaultKind::Delay, faults_.delayMs};
                faulty = true;
            }
        }
        if (faulty && fault.kind == FaultKind::Corrupt) {
            corruptAt = std::uniform_int_distribution<std::size_t>(0, reply.size() - 1)(rng_);
            corruptMask = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(1, 255)(rng_));
        }
    }
    std::string note;
    if (faulty) {
        switch (fault.kind) {
        case FaultKind::Drop:
            AddLog(false, std::move(reply), "dropped");
            return;
        case FaultKind::Corrupt:
            reply[corruptAt] ^= corruptMask;
            note = "corrupted";
            break;
        case FaultKind::Delay:
            if (!SleepMs(fault.delayMs))
                return;
            note = "delayed";
            break;
        }
    }
    WriteAll(reply);
    AddLog(false, std::move(reply), std::move(note));
}

void MotorSim::Handle(const SimFrame& frame, const std::vector<std::uint8_t>& raw)
{
    Handler handler;
    bool answer = false;
    {
        std::lock_guard lock(mutex_);
        const int addr = frame.fields[0];
        answer = !silent_ && !SilentNow() && (addr == address_ || addr == 255);
        if (auto it = handlers_.find(frame.command); it != handlers_.end())
            handler = it->second;
    }
    // The motor has taken the request (a written register holds its value)
    // by the time the request shows in the log, and answers after that.
    std::vector<std::uint8_t> reply;
    if (answer && handler)
        reply = handler(*this, frame);
    bool lost = false;
    {
        std::lock_guard lock(mutex_);
        lost = !reply.empty() && TakeReplyLoss(frame);
        requests_.push_back(frame);
        log_.push_back(LogEntry{MonotonicUs(), true, raw, handler ? (answer ? "" : "ignored") : "unknown"});
    }
    logCv_.notify_all();
    if (watcher_)
        watcher_(frame, lost);
    if (lost)
        AddLog(false, std::move(reply), "lost");
    else if (!reply.empty())
        SendReply(std::move(reply));
}

bool MotorSim::PassRaw(std::vector<std::uint8_t>& buf)
{
    RawHandler raw;
    {
        std::lock_guard lock(mutex_);
        raw = raw_;
    }
    if (!raw)
        return false;
    if (!buf.empty())
        raw(*this, buf.data(), buf.size());
    buf.clear();
    return true;
}

void MotorSim::Run()
{
    std::vector<std::uint8_t> buf;
    std::vector<std::uint8_t> garbage;
    std::uint8_t chunk[512];
    for (;;) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        const int n = poll(fds, 2, -1);
        if (n < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN)
            break;
        if (fds[0].revents & POLLIN) {
            for (;;) {
                const ssize_t r = ::read(master_, chunk, sizeof chunk);
                if (r <= 0)
                    break;
                buf.insert(buf.end(), chunk, chunk + r);
                if (static_cast<std::size_t>(r) < sizeof chunk)
                    break;  // all there was; poll tells when more comes
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            SleepMs(5);  // nobody at the serial end just now
            continue;
        }
        // A bootloader takes the bytes as they come.
        if (PassRaw(buf))
            continue;
        // Take every complete frame; bytes that cannot start one are garbage.
        std::size_t pos = 0;
        while (pos < buf.size()) {
            SimFrame frame;
            std::size_t used = 0;
            const int res = ParseFrame(buf.data() + pos, buf.size() - pos, frame, used);
            if (res == 0)
                break;
            if (res < 0) {
                garbage.push_back(buf[pos]);
                ++pos;
                continue;
            }
            if (!garbage.empty()) {
                AddLog(true, std::move(garbage), "garbled");
                garbage.clear();
            }
            const std::vector<std::uint8_t> raw(buf.begin() + static_cast<std::ptrdiff_t>(pos),
                                                buf.begin() + static_cast<std::ptrdiff_t>(pos + used));
            pos += used;
            Handle(frame, raw);
        }
        buf.erase(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(pos));
        if (PassRaw(buf))
            continue;  // the frame started a bootloader: the rest is its
        if (buf.size() > 4096) {  // a frame never grows this long: drop it
            garbage.insert(garbage.end(), buf.begin(), buf.end());
            buf.clear();
        }
        if (!garbage.empty() && buf.empty()) {
            AddLog(true, std::move(garbage), "garbled");
            garbage.clear();
        }
    }
}

}  // namespace quenor::motorsim
