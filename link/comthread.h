#pragma once
// The communication thread: the only code that talks to a motor while the link
// runs. It owns the serial port and runs the link's state machine (connect,
// serve requests, retry after an error, idle, rescan). Other threads hand it
// jobs: one-shot jobs go into a ring of 300 slots, repeating ones into a poll
// list of 300 entries that the thread cycles through whenever the ring is empty.
// Every result is reported by a message posted to the notify target.
//
// Adding a job kind: write a handler `void H(ComThread&, ComRequest&)` (a static
// member where it needs the thread's private state) that speaks the protocol
// through Frames() and Port() and posts its results; then a request function
// that fills a ComRequest and hands it to QueueIfLinked (jobs that run only
// while the link is up), PushRequest or AddPoll.

#include "link/frames.h"
#include "link/sercom.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "scope/sampleset.h"
#include "scope/samplesettings.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace quenor {

class ComThread;
struct ComRequest;

// A job's handler; runs on the communication thread. It fails by throwing
// FrameError, ComIntException or TSerErr; the thread then retries the job.
using ComHandler = void (*)(ComThread&, ComRequest&);

// One slot of the ring or the poll list.
struct ComRequest {
    ComHandler handler = nullptr;
    MessageTarget* window = nullptr;  // jobs that report to a window of their own (the scope)
    std::int32_t arg1 = 0;            // register jobs: address (reads send the thread's own, writes this one)
    std::int32_t arg2 = 0;            // register jobs: register
    std::int32_t arg3 = 0;            // register jobs: width
    std::int32_t value = 0;
    std::vector<std::uint8_t> data;   // payload owned by the job (raw bytes, program image)
    // A command that sets the motor going when it arrives twice (a program's
    // run or single step) has gone out: a retry after a failure does not
    // send it again.
    bool commandSent = false;
    // Register writes: the write batch (ClearWriteProgress) the write was queued in.
    std::uint32_t writeBatch = 0;
    // Register writes: the write's ticket (ComThread::LastAcknowledged).
    std::uint64_t ticket = 0;
    // The sampling jobs' shared inputs: they stay alive until the job ends,
    // whatever the scope does meanwhile.
    std::shared_ptr<SampleRun> run;
    std::shared_ptr<TSampleSet> set;
};

// The link states.
enum ComLinkState : int {
    LINK_STOPPED = 0,
    LINK_SERVING = 1,
    LINK_CONNECTING = 2,
    LINK_RETRYING = 3,
    LINK_IDLE = 4,
    LINK_RESCANNING = 5,
};

// A synchronous reader of a register: every read of that register that goes
// to the motor stores the value here and signals. Owned by the thread that
// registers it, which removes it before it goes away.
class ComWaiter {
public:
    explicit ComWaiter(int reg = 0) : reg_(reg) {}
    int Register() const { return reg_.load(std::memory_order_acquire); }
    void SetRegister(int reg) { reg_.store(reg, std::memory_order_release); }
    // Waits for a value; true when one came (the signal is then reset).
    bool Wait(std::chrono::milliseconds timeout);
    std::int32_t Value() const;
    void Reset();
    void Signal(std::int32_t value);

private:
    std::atomic<int> reg_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;
    std::int32_t value_ = 0;
};

// The thread's long waits, in ms. Tests shorten them; the program keeps the defaults.
struct ComTimings {
    int idleMs = 1000;          // state 4: sleep between looks at the settings
    int connectRetryMs = 100;   // after a failed connect attempt
    int afterConnectMs = 200;   // after the connect reply, before draining the line
    int slowConnectMs = 1000;   // options bit 0: before each connect frame
    int rescanMs = 6000;        // length of the reconnect scan
    int noWorkWaitMs = 20;      // state 1 with nothing to do: wait this long for work
    int eepromFullMs = 4352;    // an EEPROM write shows 100 % after this; twice it ends the link
    int moduleNoReplyMs = 50;   // after a module command that has no reply
    int eepromPollMs = 50;      // between the busy polls of an EEPROM write
    int downloadBlockMs = 50;   // after each program block, while the module stores it
    int defaultsWaitMs = 200;   // after the load-defaults write, before the rescan
};

class ComThread {
public:
    static constexpr int kRingSize = 300;
    static constexpr int kPollSize = 300;
    static constexpr int kMaxWaiters = 10;
    static constexpr int kModuleInfoSize = 101;
    static constexpr int kImageSize = 256 * 4;
    static constexpr int kStatusBlockSize = 8;
    static constexpr int kProgramStatusSize = 64;
    static constexpr int kSeqletFormatSize = 512;
    static constexpr int kFsSetupMax = 16;
    static constexpr int kProgramMax = 4096;

    // Options bit 0: the port's time-out factor is 5 and the thread waits
    // before each connect frame. Bit 1: sleep 1 ms after every reply.
    // The thread is created suspended: Start (or ResumeLink) sets it going.
    ComThread(MessageTarget* notify, int options, ComTimings timings = {});
    ~ComThread();
    ComThread(const ComThread&) = delete;
    ComThread& operator=(const ComThread&) = delete;

    // Life cycle.
    void Start();
    void Terminate();
    // Tells the thread to end and waits for it; true when it ended within ms
    // (ms <= 0: no grace). Every wait of the thread ends on this request, so
    // the thread is always gone when this returns.
    bool StopThread(int ms);
    bool Finished() const { return finished_.load(std::memory_order_acquire); }

    // Settings, picked up by the thread on its next pass.
    void SetPortSettings(int port, int baud);
    void Reconnect(int address);
    void SetMotorFamily(int family) { motorFamily_.store(family, std::memory_order_release); }
    int MotorFamily() const { return motorFamily_.load(std::memory_order_acquire); }

    // Hand the port to another part of the program and back. SuspendLink waits
    // until the thread has parked; the caller then owns Port() until ResumeLink.
    // ResumeLink sets the thread going again also when the port cannot be
    // reopened (it throws TSerErr then, and the thread keeps looking for it).
    void SuspendLink(bool sendStop);
    void ResumeLink(bool sendResume);

    // Status.
    bool IsAlive();  // the thread completed a pass since the previous call
    bool IsQueueEmpty() const;
    int QueueLength() const;
    int PollCount() const;
    int State() const { return state_.load(std::memory_order_acquire); }
    int ErrorCount() const { return errorCount_.load(std::memory_order_acquire); }
    int Options() const { return options_; }

    // Synchronous readers (at most 10 at a time).
    bool AddWaiter(ComWaiter* waiter);
    void RemoveWaiter(ComWaiter* waiter);

    // Write-progress counters of a batch of register writes. The batch is the
    // writes queued since ClearWriteProgress: a write queued before it, still
    // waiting or on its way, is counted by none.
    void ClearWriteProgress();
    void StartWriteProgress(std::string text);
    // Writes of the batch acknowledged by the motor.
    int WritesDone() const { return writesDone_.load(std::memory_order_acquire); }
    // Every register write queued gets a ticket as it enters the ring,
    // numbered from 1 in the order the writes were queued, whoever queued
    // them. The motor acknowledges writes in that order: the ticket of the
    // last write it acknowledged (0: none yet) tells which arrived, whatever
    // the write batches do. A write that fails runs again and counts only
    // once it is acknowledged; a write dropped with the ring (a lost link, a
    // new connection) never is, and a write that left without its
    // acknowledgement coming back counts as not arrived. A dropped write's
    // ticket lies below those of the next connection's writes: a user judges
    // its writes when it hears that the link was lost, before it shows the
    // next connection (ShowConnection), which alone lets writes go out again.
    std::uint64_t LastAcknowledged() const
    {
        return acknowledged_.load(std::memory_order_acquire);
    }

    // The request ring. PushRequest throws ComIntException{1} when the ring is
    // full (299 jobs waiting). Safe from any number of threads.
    void PushRequest(ComRequest request);
    // Queues only while the link serves or retries (states 1 and 3) the
    // connection that its user shows; otherwise the request is dropped and
    // false returned (a full ring still throws). With ticket, the request is
    // a register write: it is given the next ticket, which is stored there.
    bool QueueIfLinked(ComRequest request, std::uint64_t* ticket = nullptr);

    // Each connect (and each reconnect after a restart) that reaches the
    // motor is a connection of its own, numbered from 1 and announced with
    // UM_LINKSTATE Connected (or Reconnected). A user that shows the link
    // (the main window) says which connection it shows, 0 for none: requests
    // that only go out while the link runs are then refused while it shows
    // another or none, so that nothing done while it showed no motor reaches
    // the one that came meanwhile. Until ShowConnection is called, every
    // connection counts as shown.
    static constexpr std::uint32_t kAnyConnection = 0xFFFFFFFFu;
    void ShowConnection(std::uint32_t number) { shown_.store(number, std::memory_order_release); }
    std::uint32_t Connection() const { return connection_.load(std::memory_order_acquire); }
    // The address the link talks to (any thread).
    std::uint8_t Address() const { return static_cast<std::uint8_t>(address_.load(std::memory_order_acquire)); }
    // The poll list: an entry with the same handler and register is merged
    // (the larger width stays); a full list takes nothing. False when nothing was added.
    bool AddPoll(const ComRequest& request);
    void ClearPollList();

    // Register requests. A read always queues (one-shot reads are dropped
    // silently when the ring is full); width 0 means 2. A write queues in
    // states 1 and 3 and is otherwise answered at once with UM_REGISTERVALUE.
    // A read goes to the motor the link talks to; a write to the motor at
    // `address` (255: every motor on the line), the link's address staying
    // as it is.
    void RequestRead(int address, int reg, bool poll, int width);
    void RequestWrite(int address, int reg, std::int32_t value, int width);
    // The write without the offline answer: queued only while the link serves
    // or retries; the result is the write's ticket (LastAcknowledged), or 0
    // when nothing was queued.
    std::uint64_t RequestWriteIfLinked(int address, int reg, std::int32_t value, int width);

    // Register image: a block read of `blocks` blocks of 128 bytes of 2- or
    // 4-byte registers; reads are then answered from the image until a later
    // invalidate job. Both queue only while the link runs.
    bool RequestImageRead(int blocks, int width);
    bool RequestImageInvalidate();
    // Special commands: 0x56 save in the motor's memory, 0x54 stop (waits for
    // mode 15), 0x57 reset, 0x100 load defaults, any other code is sent bare.
    bool RequestSpecialCommand(int address, int code);
    // Module requests.
    bool RequestProgramInfo();
    // The logic module's 512-byte format image; the job keeps its own copy
    // (a shorter image is padded with zeros, a longer one cut).
    bool RequestSeqletFormatWrite(std::span<const std::uint8_t> format, bool powerUp, int value);
    bool RequestModuleCommand(int command);
    // Programmable module: 0 status, 1 run, 2 stop, 3 pause, 4 single step
    // (a..b code addresses), 5 set outputs a and clear outputs b; the 64-byte
    // status comes back as UM_REGISTERBLOCK.
    bool RequestProgramControl(int kind, int a, int b);
    bool RequestDeviceNetSettings(int baudIndex, int node);
    // At most 16 bytes; a longer setup is refused (false, nothing queued).
    bool RequestFsSetup(std::span<const std::uint8_t> bytes);
    // Empties the poll list and fills it with the six module pollers.
    void SetDefaultPollList();
    // The receiver of UM_PROFISTATUS and UM_MODULEIO calls these when it has
    // shown the block; the poller posts the next block only after that.
    void ClearProfibusPending() { profiPending_.store(false, std::memory_order_release); }
    void ClearModuleIoPending() { ioPending_.store(false, std::memory_order_release); }
    bool ProfibusPending() const { return profiPending_.load(std::memory_order_acquire); }
    bool ModuleIoPending() const { return ioPending_.load(std::memory_order_acquire); }

    // Program transfer to and from the programmable module. The download
    // keeps its own copy of the image (the first two bytes its length).
    bool RequestProgramDownload(std::span<const std::uint8_t> image);
    bool RequestProgramUpload();

    // Sampling. The test move records on the motor as the run's trigger asks
    // and posts its phases to window; the upload fills the set's channels and
    // posts UM_TRANSFERDONE to window. Both queue only while the link runs.
    // The user's abort is the run's (SampleRun::Abort) or the set's
    // (TSampleSet::AbortUpload): it stops that job and no other.
    bool RequestTestMove(MessageTarget* window, std::shared_ptr<SampleRun> run);
    bool RequestSampleUpload(MessageTarget* window, std::shared_ptr<TSampleSet> set);

    // A sample run's forward move is out and the motor is yet to be sent back
    // to where the run found it: the ms until that return will have gone out
    // (or the link will have given up on it); 0 when no return is pending.
    // Whoever ends the thread waits this long first, so that quitting never
    // leaves the motor out.
    std::int64_t MoveReturnPendingMs() const;

    // For handlers, on the communication thread only.
    FrameLink& Frames() { return frames_; }
    TSerCom& Port() { return port_; }  // also the caller's while the link is suspended
    MessageTarget* Notify() const { return notify_; }
    void Sleep(std::int64_t ms);  // ends with SerAborted when the thread is told to stop
    bool Terminated() const { return terminated_.load(std::memory_order_acquire); }
    void MarkAlive() { alive_.store(true, std::memory_order_release); }  // long jobs keep the liveness check happy
    void StartReconnectScan();
    void ReadModuleInfo();  // 0x5F into the module information
    const std::array<std::uint8_t, kModuleInfoSize>& ModuleInfo() const { return moduleInfo_; }
    std::int32_t ReadRegisterNow(int reg, bool wide);
    // To the motor the link talks to, or the one at address (0..255).
    void WriteRegisterNow(int reg, std::int32_t value, bool wide, std::optional<std::uint8_t> address = {});
    void WakeWaiters(int reg, std::int32_t value);
    // The test move's return: due within ms from now (the deadline stays
    // what it was when one is pending already), and sent.
    void NoteReturnDue(std::int64_t ms);
    void ReturnSent() { returnDueMs_.store(0, std::memory_order_release); }
    // How long the link tries one job before it gives up: four attempts,
    // each a frame out and its reply back.
    std::int64_t JobTimeoutMs() const;

    // CPU time used by the thread so far, in microseconds (0 when not running).
    std::int64_t ThreadCpuUs();

    const ComTimings& Timings() const { return timings_; }
    int ModuleType() const { return moduleInfo_[0]; }
    // Reads a reply's fields into dst (zero-filled first), keeping at most
    // dst.size() of the count fields that come and dropping the rest.
    void ReceiveFieldsBounded(int count, std::span<std::uint8_t> dst);
    // Sends the stop command of the fitted module type (nothing for type 0).
    void SendModuleStop();

    // Handlers of the register jobs.
    static void DoReadRegister(ComThread& t, ComRequest& job);
    static void DoWriteRegister(ComThread& t, ComRequest& job);
    static void DoImageRead(ComThread& t, ComRequest& job);
    static void DoImageInvalidate(ComThread& t, ComRequest& job);
    static void DoSpecialCommand(ComThread& t, ComRequest& job);
    static void DoProgramInfo(ComThread& t, ComRequest& job);
    static void DoSeqletFormatWrite(ComThread& t, ComRequest& job);
    static void DoModuleCommand(ComThread& t, ComRequest& job);
    static void DoProgramControl(ComThread& t, ComRequest& job);
    static void DoDeviceNetSettings(ComThread& t, ComRequest& job);
    static void DoFsSetup(ComThread& t, ComRequest& job);
    // The module pollers.
    static void PollProfibusStatus(ComThread& t, ComRequest& job);
    static void PollModuleIo(ComThread& t, ComRequest& job);
    static void PollCanOpenDebug(ComThread& t, ComRequest& job);
    static void PollProgramStatus(ComThread& t, ComRequest& job);
    static void PollModuleDebug(ComThread& t, ComRequest& job);
    static void PollModuleNetStatus(ComThread& t, ComRequest& job);
    // Program transfer and sampling.
    static void DoProgramDownload(ComThread& t, ComRequest& job);
    static void DoProgramUpload(ComThread& t, ComRequest& job);
    static void DoTestMove(ComThread& t, ComRequest& job);
    static void DoSampleUpload(ComThread& t, ComRequest& job);

private:
    void Execute();
    void Park();
    void ApplyPendingSettings();
    void RunNextRequest();
    void RetryAfterError();
    void LoseLink();         // state 2 and UM_LINKSTATE (1, 0)
    bool ReopenOrLoseLink();  // false: the port is gone, the link reported lost
    void GoIdle(const TSerErr& e);  // an error escaped a step: state 4, reported
    // UM_PARAMERROR (4, code) with the device and the reason of a port that
    // did not open as text and the kind of reason (PortFault) as one data byte.
    void ReportLinkError(const TSerErr& e);
    // A port that still does not open for the same reason is not reported again.
    void ReportOpenFailure(const TSerErr& e);
    // The port opened after a reported failure: UM_PARAMERROR (5, 0) clears it.
    void ClearReportedFailure();
    void ConnectAttempt();
    void ReconnectScan();
    void EmptyRing();
    // A connect or a reconnect has reached the motor: a new connection
    // serves, with nothing queued for the one before.
    void BeginConnection(int notice, std::uint32_t reg1);
    bool Linked() const;  // states 1 and 3, the connection shown (under queueMutex_)
    void PushLocked(ComRequest request);  // under queueMutex_
    bool WaitForWork(int ms);
    bool WorkPending() const;  // under queueMutex_
    void Wake();
    void Post(int msg, std::int64_t wParam, std::int64_t lParam);
    void SendRegisterFrame(int reg);
    bool PollModuleStatus();  // 0x5F as the EEPROM write's progress poll: true when done
    void ProgramControlFrame(int kind, int a, int b);
    void ReadModuleText(std::uint8_t command, int msg);
    int ReadProgramBlock(std::uint8_t* dst, int offset, int count);  // the length the module sent
    void StartRecording(SampleRun& run);

    MessageTarget* notify_;
    const int options_;
    const ComTimings timings_;
    TSerCom port_;
    StopSignal stop_;
    int stopFd_ = -1;
    FrameLink frames_;

    std::thread thread_;
    std::atomic<bool> started_{false};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> suspendRequest_{false};
    std::mutex lifeMutex_;
    std::condition_variable lifeCv_;
    bool parked_ = false;
    bool resumeRequested_ = false;

    std::atomic<int> state_{LINK_STOPPED};
    std::atomic<std::uint32_t> connection_{0};  // changes under queueMutex_
    std::atomic<std::uint32_t> shown_{kAnyConnection};
    std::atomic<std::int64_t> returnDueMs_{0};  // MonotonicMs; 0: no return pending
    std::atomic<int> errorCount_{0};
    std::atomic<int> address_{0};
    std::atomic<int> motorFamily_{0};
    std::atomic<bool> alive_{false};
    int retries_ = 0;
    // The link error last reported (thread only); a request whose port did
    // not open is tried again after every idle sleep, and says nothing new
    // until the reason changes.
    bool errorShown_ = false;
    int shownCode_ = 0;
    std::string shownDetail_;
    bool retryPending_ = false;  // the pending request of settingsSeq_ == retrySeq_ failed to open its port
    unsigned retrySeq_ = 0;

    // Settings waiting for the thread.
    std::mutex settingsMutex_;
    std::atomic<bool> newSettings_{false};
    std::atomic<bool> reconnectRequest_{false};
    std::atomic<unsigned> settingsSeq_{0};  // counts settings changes and reconnect requests
    int newPort_ = 0;
    int newBaud_ = 0;
    int nextAddress_ = 0;

    // Ring: producers take queueMutex_; the thread reads the head slot without it.
    mutable std::mutex queueMutex_;
    std::condition_variable workCv_;
    std::array<ComRequest, kRingSize> ring_;
    std::atomic<int> ringHead_{0};
    std::atomic<int> ringTail_{0};
    // Poll list, under queueMutex_.
    std::array<ComRequest, kPollSize> pollList_;
    int pollCount_ = 0;
    int pollCursor_ = 0;
    ComRequest pollJob_;  // the entry being run (thread only)
    std::uint64_t lastTicket_ = 0;                // the ticket of the last write queued, under queueMutex_
    std::atomic<std::uint64_t> acknowledged_{0};  // set by the thread only

    std::mutex waitersMutex_;
    std::vector<ComWaiter*> waiters_;

    std::mutex progressMutex_;
    std::string progressText_;
    std::atomic<int> writesDone_{0};
    std::atomic<int> writesTotal_{0};
    std::atomic<int> writesQueued_{0};
    std::uint32_t writeBatch_ = 0;  // under progressMutex_; counts the clears

    // Thread only.
    std::array<std::uint8_t, kModuleInfoSize> moduleInfo_{};
    std::atomic<bool> imageValid_{false};
    int imageWidth_ = 2;
    std::array<std::uint8_t, kImageSize + 4> image_{};
    std::atomic<bool> profiPending_{false};
    std::atomic<bool> ioPending_{false};
};

}  // namespace quenor
