#include "link/sercom.h"

#include "platform/clock.h"
#include "platform/comports.h"
#include "platform/savefile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace quenor {

namespace {

[[noreturn]] void Fail(int code, const char* text)
{
    throw TSerErr{code, text};
}

// An open step failed with errno err on device.
[[noreturn]] void FailOpen(const char* text, const std::string& device, int err)
{
    const PortFault fault = PortFaultOf(err);
    throw TSerErr{1, text, device + ": " + PortFaultText(fault, err), fault};
}

constexpr unsigned kTtySMajor = 4;  // the ttyS ports of the 8250 driver

// The rates the terminal driver knows by name.
bool SpeedFor(int baud, speed_t& speed)
{
    struct Entry {
        int rate;
        speed_t speed;
    };
    static constexpr Entry table[] = {
        {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
        {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
        {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
        {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const Entry& e : table) {
        if (e.rate == baud) {
            speed = e.speed;
            return true;
        }
    }
    return false;
}

void MakeRawSettings(termios& tio)
{
    cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB | PARENB | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

}  // namespace

PortFault PortFaultOf(int err)
{
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO:
        return PortFault::Missing;
    case EACCES:
    case EPERM:
    case EROFS:
        return PortFault::Permission;
    case EBUSY:
    case EWOULDBLOCK:
        return PortFault::InUse;
    case ENOTTY:
    case ENOTDIR:
    case EISDIR:
        return PortFault::NotSerial;
    default:
        return PortFault::Other;
    }
}

std::string PortFaultText(PortFault fault, int err)
{
    switch (fault) {
    case PortFault::Missing: return "no such device";
    case PortFault::Permission: return "permission denied";
    case PortFault::InUse: return "in use by another program";
    case PortFault::NotSerial: return "not a serial port";
    case PortFault::None:
    case PortFault::Other: break;
    }
    std::string text = std::strerror(err);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

int SerTimeouts::MsPerByte(int baud)
{
    if (baud <= 0)
        return 1;
    const double m = 10000.0 / static_cast<double>(baud) + 1.0;
    return std::max(1, static_cast<int>(m));
}

SerTimeouts SerTimeouts::For(int baud, int factor, bool enabled)
{
    const int m = MsPerByte(baud);
    const int k = std::max(1, factor);
    SerTimeouts t;
    if (enabled) {
        t.readInterval = 200 * k;
        t.readMultiplier = m;
        t.readConstant = 200;
    } else {
        t.readImmediate = true;
    }
    t.writeMultiplier = m;
    t.writeConstant = 100 * k;
    return t;
}

TSerCom::TSerCom(int port, int baud, int bufferSize, bool /*log: tracing stays off*/)
    : port_(port),
      baud_(baud),
      bufferSize_(std::max(2, bufferSize)),
      inRing_(static_cast<std::size_t>(bufferSize_)),
      outRing_(static_cast<std::size_t>(bufferSize_))
{
    timeouts_ = SerTimeouts::For(baud_, timeoutFactor_, true);
}

TSerCom::~TSerCom()
{
    Close();
    // The trace stays in memory only: tracing is off, and no file is written
    // in a shared folder where another user could have planted one.
}

void TSerCom::Open()
{
    Close();
    if (port_ > 256)
        Fail(1, "Invalid port number");
    const std::string path = ComDevicePath(port_);
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
        FailOpen("Error opening port", path, errno);
    // Held exclusively: by the terminal driver against other openers, and by
    // a lock that also holds against a program run as root (the driver lets
    // root through) and against programs that lock their ports the same way.
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        Close();
        FailOpen("Error opening port", path, err);
    }
    if (ioctl(fd_, TIOCEXCL) != 0) {
        const int err = errno;
        Close();
        FailOpen("Error opening port", path, err);
    }
    exclusive_ = true;
    struct stat st {};
    if (fstat(fd_, &st) != 0 || !S_ISCHR(st.st_mode)) {
        Close();
        FailOpen("Error reading port parameters", path, ENOTTY);
    }
    // A ttyS node without a UART behind it opens, but nothing goes through.
    if (serial_struct ss{}; major(st.st_rdev) == kTtySMajor && ioctl(fd_, TIOCGSERIAL, &ss) == 0 &&
                            ss.type == PORT_UNKNOWN) {
        Close();
        FailOpen("Error opening port", path, ENODEV);
    }
    // Pseudo-terminal slaves (majors 136 to 143) have no transmitter to wait for.
    pseudoTerminal_ = major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) {
        const int err = errno;
        Close();
        FailOpen("Error opening port (DCB Get)", path, err);
    }
    // On a pseudo-terminal the output queue holds what the other end has not
    // read yet, the last frame before a reopen among it: only input is dropped.
    if (tcflush(fd_, pseudoTerminal_ ? TCIFLUSH : TCIOFLUSH) != 0) {
        Close();
        Fail(1, "Error opening port (buffer setup)");
    }
    // An unsupported rate throws code 2 here and leaves the descriptor set up
    // at 19200 baud; Close releases it.
    ApplySettings();
    isOpen_ = true;
    // Give the line 10 ms to settle.
    if (abortFd_ >= 0) {
        pollfd pfd{abortFd_, POLLIN, 0};
        if (poll(&pfd, 1, 10) > 0)
            throw SerAborted{};
    } else {
        usleep(10000);
    }
    inCount_ = 0;
    outCount_ = 0;
    inReadIndex_ = 0;
    outReadIndex_ = 0;
}

void TSerCom::Close()
{
    if (fd_ >= 0) {
        // Only a hold of our own is given up: the flag belongs to the terminal,
        // and a refused opener must not take it from the program that holds it.
        if (exclusive_)
            ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }
    fd_ = -1;
    exclusive_ = false;
    isOpen_ = false;
}

void TSerCom::SetPort(int port)
{
    const bool wasOpen = isOpen_;
    Close();
    port_ = port;
    if (wasOpen)
        Open();
}

void TSerCom::SetBaudRate(int baud)
{
    baud_ = baud;
    if (isOpen_)
        ApplySettings();
}

void TSerCom::ApplySettings()
{
    termios tio{};
    if (fd_ < 0 || tcgetattr(fd_, &tio) != 0)
        Fail(1, "Error setting port parameters (SetCommState)");
    MakeRawSettings(tio);
    speed_t speed{};
    bool supported = SpeedFor(baud_, speed) && cfsetspeed(&tio, speed) == 0;
    if (supported && tcsetattr(fd_, TCSANOW, &tio) != 0) {
        if (errno != EINVAL)
            Fail(1, "Error setting port parameters (SetCommState)");
        supported = false;
    }
    if (supported) {
        // tcsetattr succeeds when any part was taken; check the rate really was.
        termios check{};
        if (tcgetattr(fd_, &check) == 0 && cfgetospeed(&check) != speed)
            supported = false;
    }
    if (!supported) {
        cfsetspeed(&tio, B19200);
        tcsetattr(fd_, TCSANOW, &tio);
        throw TSerErr{2, "Unsupported baud rate " + std::to_string(baud_)};
    }
    // RS-485: let the driver raise RTS while bytes are sent. A driver without
    // RS-485 support (or a pseudo-terminal) refuses the request; that is no error.
    serial_rs485 rs{};
    if (ioctl(fd_, TIOCGRS485, &rs) == 0) {
        rs.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        rs.flags &= ~static_cast<std::uint32_t>(SER_RS485_RTS_AFTER_SEND);
        ioctl(fd_, TIOCSRS485, &rs);
    }
    SetTimeouts(true);
}

void TSerCom::SetTimeouts(bool enabled)
{
    timeouts_ = SerTimeouts::For(baud_, timeoutFactor_, enabled);
}

TSerCom::WaitResult TSerCom::WaitFd(short events, std::int64_t deadlineUs)
{
    for (;;) {
        const std::int64_t now = MonotonicUs();
        if (now >= deadlineUs)
            return WaitResult::Timeout;
        const int ms = static_cast<int>((deadlineUs - now + 999) / 1000);
        pollfd fds[2] = {{fd_, events, 0}, {abortFd_, POLLIN, 0}};
        const int n = poll(fds, abortFd_ >= 0 ? 2 : 1, ms);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return WaitResult::Error;
        }
        if (abortFd_ >= 0 && (fds[1].revents & POLLIN))
            return WaitResult::Aborted;
        if (n == 0)
            continue;
        if (fds[0].revents & events)
            return WaitResult::Ready;
        if (fds[0].revents & POLLNVAL)
            return WaitResult::Error;
        if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Nobody at the other end: nothing will come before the deadline.
            const std::int64_t left = deadlineUs - MonotonicUs();
            if (left > 0) {
                pollfd a{abortFd_, POLLIN, 0};
                if (abortFd_ >= 0) {
                    if (poll(&a, 1, static_cast<int>((left + 999) / 1000)) > 0)
                        return WaitResult::Aborted;
                } else {
                    usleep(static_cast<useconds_t>(left));
                }
            }
            return WaitResult::Timeout;
        }
    }
}

int TSerCom::ReadWithTimeouts(std::uint8_t* dst, int n)
{
    if (fd_ < 0)
        return -1;
    const std::int64_t start = MonotonicUs();
    const std::int64_t totalDeadline =
        start + 1000LL * (static_cast<std::int64_t>(timeouts_.readMultiplier) * n + timeouts_.readConstant);
    std::int64_t lastByte = 0;
    int got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd_, dst + got, static_cast<std::size_t>(n - got));
        if (r > 0) {
            got += static_cast<int>(r);
            lastByte = MonotonicUs();
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN && errno != EIO)
            return -1;
        if (timeouts_.readImmediate)
            break;
        std::int64_t deadline = totalDeadline;
        if (got > 0)
            deadline = std::min<std::int64_t>(deadline, lastByte + 1000LL * timeouts_.readInterval);
        const WaitResult w = WaitFd(POLLIN, deadline);
        if (w == WaitResult::Aborted)
            throw SerAborted{};
        if (w == WaitResult::Error)
            return -1;
        if (w == WaitResult::Timeout)
            break;
    }
    return got;
}

void TSerCom::Receive(int n)
{
    if (n <= static_cast<int>(inCount_))
        return;
    const int need = n - static_cast<int>(inCount_);
    // Checked before reading, so bytes that cannot be kept stay in the driver.
    if (static_cast<int>(inCount_) + need >= bufferSize_)
        Fail(3, "Error buffer overflow sending");
    std::uint8_t local[64];
    std::vector<std::uint8_t> big;
    std::uint8_t* buf = local;
    if (need > static_cast<int>(sizeof local)) {
        big.resize(static_cast<std::size_t>(need));
        buf = big.data();
    }
    const int got = ReadWithTimeouts(buf, need);
    if (got < 0)
        Fail(3, "Error recving data");
    if (got != need)
        Fail(3, "Error no data");  // the bytes that did arrive are dropped
    TraceBytes(" <-- ", buf, need);
    for (int i = 0; i < need; ++i) {
        inRing_[(inReadIndex_ + inCount_) % static_cast<unsigned>(bufferSize_)] = buf[i];
        ++inCount_;
    }
}

int TSerCom::GetByte()
{
    if (inCount_ == 0)
        return -1;
    const int b = inRing_[inReadIndex_];
    inReadIndex_ = (inReadIndex_ + 1) % static_cast<unsigned>(bufferSize_);
    --inCount_;
    return b;
}

int TSerCom::TakeByte()
{
    const int b = GetByte();
    if (b < 0)
        Fail(3, "No Data");
    return b;
}

int TSerCom::ReadByte(int /*timeoutMs*/)
{
    Receive(1);
    return TakeByte();
}

int TSerCom::BytesWaiting()
{
    int waiting = 0;
    if (fd_ < 0 || ioctl(fd_, FIONREAD, &waiting) != 0)
        Fail(3, "Error reading port");
    return waiting;
}

bool TSerCom::WaitForInput(int ms)
{
    if (inCount_ > 0)
        return true;
    if (fd_ < 0)
        return false;
    const WaitResult w = WaitFd(POLLIN, MonotonicUs() + 1000LL * std::max(0, ms));
    if (w == WaitResult::Aborted)
        throw SerAborted{};
    return w == WaitResult::Ready;
}

void TSerCom::ReceiveWaiting()
{
    Receive(static_cast<int>(inCount_) + BytesWaiting());
}

void TSerCom::DiscardInput()
{
    inReadIndex_ = (inReadIndex_ + inCount_) % static_cast<unsigned>(bufferSize_);
    inCount_ = 0;
    if (fd_ < 0)
        return;
    std::uint8_t scratch[256];
    for (;;) {
        const ssize_t r = ::read(fd_, scratch, sizeof scratch);
        if (r > 0)
            continue;
        if (r < 0 && errno == EINTR)
            continue;
        break;
    }
}

void TSerCom::Drain()
{
    const std::int64_t start = MonotonicMs();
    std::uint8_t scratch[100];
    for (;;) {
        const int got = ReadWithTimeouts(scratch, 100);
        if (got < 100)
            break;
        if (MonotonicMs() - start >= 500)
            break;
    }
}

void TSerCom::PutByte(std::uint8_t b)
{
    // At most bufferSize - 1 unsent bytes; the count is only raised when the byte fits.
    if (static_cast<int>(outCount_) + 1 >= bufferSize_)
        Fail(3, "Output buffer overflow");
    outRing_[(outReadIndex_ + outCount_) % static_cast<unsigned>(bufferSize_)] = b;
    ++outCount_;
}

void TSerCom::Flush()
{
    if (outCount_ == 0)
        return;
    const int n = static_cast<int>(outCount_);
    std::uint8_t local[64];
    std::vector<std::uint8_t> big;
    std::uint8_t* buf = local;
    if (n > static_cast<int>(sizeof local)) {
        big.resize(static_cast<std::size_t>(n));
        buf = big.data();
    }
    for (int i = 0; i < n; ++i) {
        buf[i] = outRing_[outReadIndex_];
        outReadIndex_ = (outReadIndex_ + 1) % static_cast<unsigned>(bufferSize_);
    }
    // The bytes are taken out of the ring whether or not the write succeeds, so
    // a failed write never leaves the ring's count and index out of step.
    outCount_ = 0;
    TraceBytes(" --> ", buf, n);
    WriteAll(buf, n);
}

void TSerCom::WriteAll(const std::uint8_t* data, int n)
{
    if (fd_ < 0)
        Fail(3, "Error sending data");
    const std::int64_t budgetMs = std::min<std::int64_t>(
        writeWaitMs_, static_cast<std::int64_t>(timeouts_.writeMultiplier) * n + timeouts_.writeConstant);
    const std::int64_t deadline = MonotonicUs() + 1000 * budgetMs;
    int written = 0;
    while (written < n) {
        const ssize_t r = ::write(fd_, data + written, static_cast<std::size_t>(n - written));
        if (r > 0) {
            written += static_cast<int>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN)
            Fail(3, "Error sending data");
        const WaitResult w = WaitFd(POLLOUT, deadline);
        if (w == WaitResult::Aborted)
            throw SerAborted{};
        if (w != WaitResult::Ready)
            Fail(3, "Error sending data");
    }
    // Return only when the bytes have left the driver's queue (or the write
    // deadline passes). A pseudo-terminal hands them over at once.
    if (pseudoTerminal_)
        return;
    for (;;) {
        int queued = 0;
        if (ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0)
            break;
        const std::int64_t now = MonotonicUs();
        if (now >= deadline)
            Fail(3, "Error sending data");
        const std::int64_t lineUs = baud_ > 0 ? 10'000'000LL * queued / baud_ : 1000;
        const std::int64_t waitUs = std::clamp<std::int64_t>(lineUs, 200, deadline - now);
        pollfd a{abortFd_, POLLIN, 0};
        if (abortFd_ >= 0) {
            if (poll(&a, 1, static_cast<int>((waitUs + 999) / 1000)) > 0)
                throw SerAborted{};
        } else {
            usleep(static_cast<useconds_t>(waitUs));
        }
    }
    // What remains sits in the UART's own FIFO: a few bytes' time at most.
    tcdrain(fd_);
}

void TSerCom::SendBuffer(const std::uint8_t* data, int n)
{
    Flush();
    if (n < 0 || n > bufferSize_)
        Fail(3, "Output buffer overflow");
    if (n == 0)
        return;
    std::memcpy(outRing_.data(), data, static_cast<std::size_t>(n));
    outReadIndex_ = 0;
    outCount_ = static_cast<unsigned>(n);
    Flush();
}

void TSerCom::Log(const std::string& line)
{
    if (!traceOn_)
        return;
    trace_ += line;
    trace_ += "\r\n";
}

void TSerCom::LogTime()
{
    if (!traceOn_)
        return;
    const std::int64_t now = MonotonicMs();
    if (lastTraceMs_ < 0)
        lastTraceMs_ = now;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%6d", static_cast<int>(now - lastTraceMs_));
    lastTraceMs_ = now;
    trace_ += buf;
}

void TSerCom::TraceBytes(const char* dir, const std::uint8_t* data, int n)
{
    if (!traceOn_)
        return;
    LogTime();
    std::string line = dir;
    char hex[4];
    for (int i = 0; i < n; ++i) {
        std::snprintf(hex, sizeof hex, "%02X,", data[i]);
        line += hex;
    }
    Log(line);
}

void TSerCom::SaveLog(const std::string& fileName)
{
    if (trace_.empty())
        return;
    WriteRegularFile(fileName, trace_, true);
    trace_.clear();
}

}  // namespace quenor
