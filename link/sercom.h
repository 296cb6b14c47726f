#pragma once
// The serial port: a COM port opened by number, fixed line settings (8 data
// bits, no parity, one stop bit, no flow control, RTS keyed while sending on
// RS-485 drivers), time-outs derived from the baud rate, and an input and an
// output ring in memory.
//
// Bytes that a caller puts are only collected in the output ring; Flush writes
// them in one write. Receive(n) reads the missing bytes from the line into the
// input ring, bounded by the time-outs; the bytes are then taken one at a time.
// Every failure is thrown as a TSerErr.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quenor {

// Why a port did not open.
enum class PortFault : int {
    None = 0,
    Missing = 1,     // no such device (or a ttyS node without a UART behind it)
    Permission = 2,  // the user may not read and write the device
    InUse = 3,       // another program holds it
    NotSerial = 4,   // the name leads to something that is no serial port
    Other = 5,
};

// The error object of the port. Codes: 1 opening or setting up the port,
// 2 unsupported baud rate, 3 data transfer errors.
struct TSerErr {
    TSerErr() = default;
    TSerErr(int c, std::string t, std::string d = {}, PortFault f = PortFault::None)
        : code(c), text(std::move(t)), detail(std::move(d)), fault(f)
    {
    }

    int code = 0;
    std::string text;
    // When the port did not open: the device and the reason, as in
    // "/dev/ttyUSB0: permission denied", and the kind of reason.
    std::string detail;
    PortFault fault = PortFault::None;
};

// The kind of an open failure for an errno value, and its text.
PortFault PortFaultOf(int err);
std::string PortFaultText(PortFault fault, int err);

// Thrown instead of waiting on when the abort descriptor given to the port
// becomes readable: the owning thread has been told to end.
struct SerAborted {};

// The time-outs that apply at a baud rate and time-out factor k, in ms.
// Reads end when the gap after a received byte exceeds readInterval or when
// readMultiplier * n + readConstant has passed for n bytes asked; writes may
// take writeMultiplier * n + writeConstant. With reads not enabled a read
// returns at once with what the driver holds (readImmediate).
struct SerTimeouts {
    int readInterval = 0;
    int readMultiplier = 0;
    int readConstant = 0;
    int writeMultiplier = 0;
    int writeConstant = 0;
    bool readImmediate = false;

    static SerTimeouts For(int baud, int factor, bool enabled);
    static int MsPerByte(int baud);  // m = trunc(10000 / baud + 1), at least 1
};

class TSerCom {
public:
    // Does not open the port. log is accepted for the callers' sake; tracing stays off.
    TSerCom(int port, int baud, int bufferSize, bool log = false);
    ~TSerCom();
    TSerCom(const TSerCom&) = delete;
    TSerCom& operator=(const TSerCom&) = delete;

    void Open();
    void Close();  // never fails; releases any descriptor, whether set up or not
    bool IsOpen() const { return isOpen_; }

    void SetPort(int port);
    int GetPort() const { return port_; }
    void SetBaudRate(int baud);
    int GetBaudRate() const { return baud_; }

    void PutByte(std::uint8_t b);
    void Flush();
    void SendBuffer(const std::uint8_t* data, int n);

    void Receive(int n);
    int GetByte();    // oldest byte, or -1 when the input ring is empty
    int TakeByte();   // oldest byte; an empty ring throws "No Data"
    int ReadByte(int timeoutMs = 0);  // the time-out argument is not used
    int BytesWaiting();
    // Waits up to ms for input; true when a byte is waiting (in the ring or the
    // driver), false when none came. Ends with SerAborted like the reads.
    bool WaitForInput(int ms);
    void ReceiveWaiting();
    void DiscardInput();
    void Drain();

    void SetTimeouts(bool enabled);
    void ApplySettings();

    void SetTimeoutFactor(int k) { timeoutFactor_ = k < 1 ? 1 : k; }
    int TimeoutFactor() const { return timeoutFactor_; }
    const SerTimeouts& Timeouts() const { return timeouts_; }

    int InCount() const { return static_cast<int>(inCount_); }
    int OutCount() const { return static_cast<int>(outCount_); }
    int BufferSize() const { return bufferSize_; }
    int WriteWaitMs() const { return writeWaitMs_; }

    // A descriptor (an eventfd or the read end of a pipe) that, once readable,
    // ends every wait of the port with SerAborted. -1 for none.
    void SetAbortFd(int fd) { abortFd_ = fd; }

    // The trace log. Tracing is off in this program, so these record nothing,
    // and SaveLog writes only a trace that holds something.
    void Log(const std::string& line);
    void LogTime();
    void SaveLog(const std::string& fileName);
    bool TraceOn() const { return traceOn_; }

private:
    enum class WaitResult { Ready, Timeout, Aborted, Error };
    WaitResult WaitFd(short events, std::int64_t deadlineUs);
    int ReadSome(std::uint8_t* dst, int max, int& got);  // 0 ok/again, -1 error
    // Reads up to n bytes into dst within the read time-outs for n bytes;
    // returns the count or -1 on a read error.
    int ReadWithTimeouts(std::uint8_t* dst, int n);
    void WriteAll(const std::uint8_t* data, int n);
    void TraceBytes(const char* dir, const std::uint8_t* data, int n);

    int fd_ = -1;
    bool exclusive_ = false;  // this descriptor set the terminal's exclusive mode
    bool isOpen_ = false;
    bool pseudoTerminal_ = false;
    int port_;
    int baud_;
    int bufferSize_;
    int writeWaitMs_ = 10000;
    int timeoutFactor_ = 1;
    int abortFd_ = -1;
    SerTimeouts timeouts_;
    std::vector<std::uint8_t> inRing_, outRing_;
    unsigned inCount_ = 0, outCount_ = 0;
    unsigned inReadIndex_ = 0, outReadIndex_ = 0;
    bool traceOn_ = false;
    std::string trace_;
    std::int64_t lastTraceMs_ = -1;
};

}  // namespace quenor
