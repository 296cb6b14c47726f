#include "link/comthread.h"

#include <algorithm>
#include <exception>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace quenor {

// --- ComWaiter ---------------------------------------------------------------

bool ComWaiter::Wait(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [this] { return signalled_; }))
        return false;
    signalled_ = false;
    return true;
}

std::int32_t ComWaiter::Value() const
{
    std::lock_guard lock(mutex_);
    return value_;
}

void ComWaiter::Reset()
{
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

void ComWaiter::Signal(std::int32_t value)
{
    {
        std::lock_guard lock(mutex_);
        value_ = value;
        signalled_ = true;
    }
    cv_.notify_all();
}

// --- construction and life cycle ----------------------------------------------

ComThread::ComThread(MessageTarget* notify, int options, ComTimings timings)
    : notify_(notify),
      options_(options),
      timings_(timings),
      port_(2, 19200, 8192, false),
      stopFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      frames_(port_, &stop_)
{
    port_.SetAbortFd(stopFd_);
    if (options_ & 1)
        port_.SetTimeoutFactor(5);
    frames_.SetSleepAfterReply((options_ & 2) != 0);
    waiters_.reserve(kMaxWaiters);
}

ComThread::~ComThread()
{
    StopThread(0);
    port_.SetAbortFd(-1);
    port_.Close();
    if (stopFd_ >= 0)
        ::close(stopFd_);
}

void ComThread::Start()
{
    std::lock_guard lock(lifeMutex_);
    if (started_.load() || terminated_.load())
        return;
    started_.store(true, std::memory_order_release);
    thread_ = std::thread(&ComThread::Execute, this);
}

void ComThread::Terminate()
{
    terminated_.store(true, std::memory_order_release);
    stop_.Raise();
    if (stopFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t r = ::write(stopFd_, &one, sizeof one);
    }
    {
        std::lock_guard lock(lifeMutex_);
    }
    lifeCv_.notify_all();
    Wake();
}

bool ComThread::StopThread(int ms)
{
    Terminate();
    bool inTime = true;
    {
        std::unique_lock lock(lifeMutex_);
        if (!started_.load())
            return true;
        if (ms > 0)
            inTime = lifeCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return finished_.load(); });
        else
            inTime = finished_.load();
    }
    // Every wait of the thread ends on the stop request, so this is prompt.
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
    return inTime || finished_.load();
}

void ComThread::Sleep(std::int64_t ms)
{
    if (!stop_.SleepMs(ms))
        throw SerAborted{};
}

std::int64_t ComThread::ThreadCpuUs()
{
    std::lock_guard lock(lifeMutex_);
    if (!thread_.joinable() || finished_.load())
        return 0;
    clockid_t cid;
    if (pthread_getcpuclockid(thread_.native_handle(), &cid) != 0)
        return 0;
    timespec ts{};
    if (clock_gettime(cid, &ts) != 0)
        return 0;
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void ComThread::Post(int msg, std::int64_t wParam, std::int64_t lParam)
{
    PostMessage(notify_, msg, wParam, lParam);
}

// --- settings -------------------------------------------------------------------

void ComThread::SetPortSettings(int port, int baud)
{
    {
        std::lock_guard lock(settingsMutex_);
        newPort_ = port;
        newBaud_ = baud;
        newSettings_.store(true, std::memory_order_release);
        settingsSeq_.fetch_add(1, std::memory_order_release);
    }
    Wake();
}

void ComThread::Reconnect(int address)
{
    {
        std::lock_guard lock(settingsMutex_);
        nextAddress_ = address;
        reconnectRequest_.store(true, std::memory_order_release);
        settingsSeq_.fetch_add(1, std::memory_order_release);
    }
    Wake();
}

void ComThread::ApplyPendingSettings()
{
    if (!newSettings_.load(std::memory_order_acquire) && !reconnectRequest_.load(std::memory_order_acquire))
        return;
    int port = 0, baud = 0, address = 0;
    bool settings = false;
    unsigned seq = 0;
    {
        std::lock_guard lock(settingsMutex_);
        settings = newSettings_.exchange(false);
        reconnectRequest_.store(false);
        port = newPort_;
        baud = newBaud_;
        address = nextAddress_;
        seq = settingsSeq_.load(std::memory_order_acquire);
    }
    // The same request again, after its port did not open: the link was
    // reported lost then, and the failure is reported only when it changes.
    const bool again = retryPending_ && retrySeq_ == seq;
    if (!again)
        Post(UM_LINKSTATE, +LinkNotice::Lost, 0);
    try {
        if (settings) {
            port_.Close();
            port_.SetPort(port);
            port_.SetBaudRate(baud);
        }
        port_.Open();
    } catch (const TSerErr& e) {
        // The request stays pending until its port opens (new settings are
        // already in the port); the idle state looks at it again after its
        // sleep, so a port that appears later is connected by itself.
        reconnectRequest_.store(true, std::memory_order_release);
        retryPending_ = true;
        retrySeq_ = seq;
        if (!again)
            throw;
        state_.store(LINK_IDLE, std::memory_order_release);
        ReportOpenFailure(e);
        return;
    }
    retryPending_ = false;
    errorShown_ = false;
    state_.store(LINK_CONNECTING, std::memory_order_release);
    address_.store(address & 0xFF, std::memory_order_release);
    PostMessage(notify_, UM_PARAMERROR, +ParamNotice::Reconnecting, 0);
}

void ComThread::ReportLinkError(const TSerErr& e)
{
    Message m;
    m.msg = UM_PARAMERROR;
    m.wParam = +ParamNotice::LinkError;
    m.lParam = e.code;
    m.text = e.detail;
    m.hasText = true;
    m.data = {static_cast<std::uint8_t>(e.fault)};
    m.hasData = true;
    if (notify_)
        notify_->Post(std::move(m));
    errorShown_ = true;
    shownCode_ = e.code;
    shownDetail_ = e.detail;
}

void ComThread::ReportOpenFailure(const TSerErr& e)
{
    if (!errorShown_ || shownCode_ != e.code || shownDetail_ != e.detail)
        ReportLinkError(e);
}

void ComThread::ClearReportedFailure()
{
    if (!errorShown_)
        return;
    errorShown_ = false;
    PostMessage(notify_, UM_PARAMERROR, +ParamNotice::Reconnecting, 0);
}

// --- suspension -------------------------------------------------------------------

void ComThread::Park()
{
    std::unique_lock lock(lifeMutex_);
    parked_ = true;
    lifeCv_.notify_all();
    lifeCv_.wait(lock, [this] { return resumeRequested_ || terminated_.load(); });
    resumeRequested_ = false;
    parked_ = false;
    suspendRequest_.store(false, std::memory_order_release);
}

void ComThread::SuspendLink(bool sendStop)
{
    {
        std::unique_lock lock(lifeMutex_);
        if (started_.load() && !finished_.load()) {
            suspendRequest_.store(true, std::memory_order_release);
            lock.unlock();
            Wake();
            lock.lock();
            lifeCv_.wait(lock, [this] { return parked_ || finished_.load(); });
        }
    }
    if (sendStop && state_.load() == LINK_SERVING) {
        try {
            frames_.SendFrame(CMD_SPECIAL_STOP, {Address()});
        } catch (const TSerErr&) {
            // The port is handed over anyway; the next connect finds the motor.
        } catch (const SerAborted&) {
        }
    }
    state_.store(LINK_CONNECTING, std::memory_order_release);
    Post(UM_LINKSTATE, +LinkNotice::Lost, 0);
    port_.Close();
}

void ComThread::ResumeLink(bool sendResume)
{
    // The thread goes on whatever the port does: when it cannot be opened now,
    // the connect attempts look for it, and the caller hears why.
    std::exception_ptr failure;
    try {
        port_.Open();
        if (sendResume)
            frames_.SendFrame(CMD_RESUME, {Address()});
    } catch (const TSerErr&) {
        failure = std::current_exception();
    }
    alive_.store(true, std::memory_order_release);
    bool start = false;
    {
        std::lock_guard lock(lifeMutex_);
        if (parked_)
            resumeRequested_ = true;
        else if (!started_.load())
            start = true;
    }
    lifeCv_.notify_all();
    if (start) {
        // Never started: the thread begins in state 2 as a resumed one would.
        state_.store(LINK_CONNECTING, std::memory_order_release);
        Start();
    }
    if (failure)
        std::rethrow_exception(failure);
}

// --- status ---------------------------------------------------------------------

bool ComThread::IsAlive()
{
    return alive_.exchange(false, std::memory_order_acq_rel);
}

bool ComThread::IsQueueEmpty() const
{
    return ringHead_.load(std::memory_order_acquire) == ringTail_.load(std::memory_order_acquire);
}

int ComThread::QueueLength() const
{
    std::lock_guard lock(queueMutex_);
    const int head = ringHead_.load(std::memory_order_acquire);
    const int tail = ringTail_.load(std::memory_order_acquire);
    return (tail - head + kRingSize) % kRingSize;
}

int ComThread::PollCount() const
{
    std::lock_guard lock(queueMutex_);
    return pollCount_;
}

bool ComThread::AddWaiter(ComWaiter* waiter)
{
    std::lock_guard lock(waitersMutex_);
    if (!waiter || static_cast<int>(waiters_.size()) >= kMaxWaiters)
        return false;
    waiters_.push_back(waiter);
    return true;
}

void ComThread::RemoveWaiter(ComWaiter* waiter)
{
    std::lock_guard lock(waitersMutex_);
    waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), waiter), waiters_.end());
}

void ComThread::WakeWaiters(int reg, std::int32_t value)
{
    std::lock_guard lock(waitersMutex_);
    for (ComWaiter* w : waiters_)
        if (w->Register() == reg)
            w->Signal(value);
}

void ComThread::ClearWriteProgress()
{
    std::lock_guard lock(progressMutex_);
    ++writeBatch_;
    writesQueued_.store(0);
    writesDone_.store(0);
}

void ComThread::StartWriteProgress(std::string text)
{
    std::lock_guard lock(progressMutex_);
    progressText_ = std::move(text);
    const int total = writesQueued_.load();
    if (total > 0 && writesDone_.load() >= total) {
        // The batch went out before its progress was asked for: it is done.
        PostText(notify_, UM_PROGRESS, 100, 0, progressText_);
        writesTotal_.store(0);
        return;
    }
    writesTotal_.store(total);
}

// --- the ring and the poll list -------------------------------------------------------

void ComThread::Wake()
{
    {
        std::lock_guard lock(queueMutex_);
    }
    workCv_.notify_all();
}

void ComThread::PushLocked(ComRequest request)
{
    const int tail = ringTail_.load(std::memory_order_relaxed);
    const int next = (tail + 1) % kRingSize;
    if (next == ringHead_.load(std::memory_order_acquire))
        throw ComIntException{1};
    ring_[static_cast<std::size_t>(tail)] = std::move(request);
    ringTail_.store(next, std::memory_order_release);
}

void ComThread::PushRequest(ComRequest request)
{
    {
        std::lock_guard lock(queueMutex_);
        PushLocked(std::move(request));
    }
    workCv_.notify_one();
}

bool ComThread::Linked() const
{
    const int s = state_.load(std::memory_order_acquire);
    if (s != LINK_SERVING && s != LINK_RETRYING)
        return false;
    const std::uint32_t shown = shown_.load(std::memory_order_acquire);
    return shown == kAnyConnection || shown == connection_.load(std::memory_order_acquire);
}

bool ComThread::QueueIfLinked(ComRequest request, std::uint64_t* ticket)
{
    {
        // Under the lock that a new connection takes: a request that finds
        // the connection it was made for is in the ring before that
        // connection's successor empties it.
        std::lock_guard lock(queueMutex_);
        if (!Linked())
            return false;
        // Tickets follow the order of the ring; a write the full ring
        // refused takes none.
        const std::uint64_t next = lastTicket_ + 1;
        if (ticket)
            request.ticket = next;
        PushLocked(std::move(request));
        if (ticket)
            *ticket = lastTicket_ = next;
    }
    workCv_.notify_one();
    return true;
}

bool ComThread::AddPoll(const ComRequest& request)
{
    {
        std::lock_guard lock(queueMutex_);
        if (pollCount_ >= kPollSize)
            return false;
        for (int i = 0; i < pollCount_; ++i) {
            ComRequest& e = pollList_[static_cast<std::size_t>(i)];
            if (e.handler == request.handler && e.arg2 == request.arg2) {
                e.arg3 = std::max(e.arg3, request.arg3);
                return false;
            }
        }
        pollList_[static_cast<std::size_t>(pollCount_++)] = request;
    }
    workCv_.notify_one();
    return true;
}

void ComThread::ClearPollList()
{
    std::lock_guard lock(queueMutex_);
    for (int i = 0; i < pollCount_; ++i)
        pollList_[static_cast<std::size_t>(i)] = ComRequest{};
    pollCount_ = 0;
    pollCursor_ = 0;
}

std::int64_t ComThread::MoveReturnPendingMs() const
{
    const std::int64_t due = returnDueMs_.load(std::memory_order_acquire);
    return due == 0 ? 0 : std::max<std::int64_t>(0, due - MonotonicMs());
}

void ComThread::NoteReturnDue(std::int64_t ms)
{
    std::int64_t none = 0;
    returnDueMs_.compare_exchange_strong(none, MonotonicMs() + std::max<std::int64_t>(0, ms));
}

std::int64_t ComThread::JobTimeoutMs() const
{
    // A write of register 3 and its acknowledge: 16 bytes out, 3 back.
    const SerTimeouts& t = port_.Timeouts();
    const std::int64_t attempt = t.writeConstant + 16LL * t.writeMultiplier + t.readConstant + t.readInterval +
                                 3LL * t.readMultiplier;
    return 4 * attempt;
}

void ComThread::EmptyRing()
{
    ReturnSent();  // a test move dropped from the ring sends nothing more
    // On the consumer's side: the head moves to the tail, and the dropped jobs'
    // payloads are freed. A producer only ever writes the slot at the tail.
    std::lock_guard lock(queueMutex_);
    int head = ringHead_.load(std::memory_order_relaxed);
    const int tail = ringTail_.load(std::memory_order_acquire);
    while (head != tail) {
        ring_[static_cast<std::size_t>(head)] = ComRequest{};
        head = (head + 1) % kRingSize;
    }
    ringHead_.store(tail, std::memory_order_release);
}

bool ComThread::WorkPending() const
{
    return ringHead_.load(std::memory_order_acquire) != ringTail_.load(std::memory_order_acquire) ||
           pollCount_ > 0 || newSettings_.load() || reconnectRequest_.load() || suspendRequest_.load() ||
           terminated_.load();
}

bool ComThread::WaitForWork(int ms)
{
    std::unique_lock lock(queueMutex_);
    return workCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return WorkPending(); });
}

void ComThread::RequestRead(int address, int reg, bool poll, int width)
{
    ComRequest r;
    r.handler = &ComThread::DoReadRegister;
    r.arg1 = address;
    r.arg2 = reg;
    r.arg3 = width == 0 ? 2 : width;
    if (poll) {
        AddPoll(r);
        return;
    }
    try {
        PushRequest(std::move(r));
    } catch (const ComIntException&) {
        // A one-shot read into a full ring is dropped silently.
    }
}

void ComThread::RequestWrite(int address, int reg, std::int32_t value, int width)
{
    if (!RequestWriteIfLinked(address, reg, value, width)) {
        // Offline: the display follows the user without a motor.
        Post(UM_REGISTERVALUE, reg, value);
    }
}

std::uint64_t ComThread::RequestWriteIfLinked(int address, int reg, std::int32_t value, int width)
{
    ComRequest r;
    r.handler = &ComThread::DoWriteRegister;
    r.arg1 = address;
    r.arg2 = reg;
    r.arg3 = width;
    r.value = value;
    std::uint32_t batch = 0;
    {
        std::lock_guard lock(progressMutex_);
        batch = r.writeBatch = writeBatch_;
    }
    std::uint64_t ticket = 0;
    if (!QueueIfLinked(std::move(r), &ticket))
        return 0;
    std::lock_guard lock(progressMutex_);
    if (batch == writeBatch_)  // not cleared meanwhile
        writesQueued_.fetch_add(1);
    return ticket;
}

// --- the thread -------------------------------------------------------------------

void ComThread::Execute()
{
    // The waits after each reply are 1 ms long; keep the kernel from stretching them.
    prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);
    if (state_.load() == LINK_STOPPED)
        state_.store(LINK_IDLE, std::memory_order_release);
    while (!terminated_.load(std::memory_order_acquire)) {
        try {
            if (suspendRequest_.load(std::memory_order_acquire)) {
                Park();
                if (terminated_.load())
                    break;
            }
            switch (state_.load(std::memory_order_acquire)) {
            case LINK_SERVING:
                RunNextRequest();
                break;
            case LINK_CONNECTING:
                ConnectAttempt();
                break;
            case LINK_RETRYING:
                RetryAfterError();
                break;
            case LINK_IDLE: {
                // Wakes early for settings or a reconnect request made during the
                // sleep, for suspension and for stop.
                const unsigned seq = settingsSeq_.load(std::memory_order_acquire);
                std::unique_lock lock(queueMutex_);
                workCv_.wait_for(lock, std::chrono::milliseconds(timings_.idleMs), [this, seq] {
                    return settingsSeq_.load() != seq || suspendRequest_.load() || terminated_.load();
                });
                break;
            }
            case LINK_RESCANNING:
                ReconnectScan();
                break;
            default:
                break;
            }
            if (terminated_.load())
                break;
            ApplyPendingSettings();
            alive_.store(true, std::memory_order_release);
        } catch (const SerAborted&) {
            break;
        } catch (const TSerErr& e) {
            if (terminated_.load())
                break;
            GoIdle(e);
        } catch (...) {
            if (terminated_.load())
                break;
            GoIdle(TSerErr{1, {}});
        }
    }
    state_.store(LINK_STOPPED, std::memory_order_release);
    {
        std::lock_guard lock(lifeMutex_);
        finished_.store(true, std::memory_order_release);
    }
    lifeCv_.notify_all();
}

void ComThread::GoIdle(const TSerErr& e)
{
    // Whoever showed the motor as connected learns that it is not.
    const int was = state_.exchange(LINK_IDLE, std::memory_order_acq_rel);
    if (was == LINK_SERVING || was == LINK_RETRYING || was == LINK_RESCANNING)
        Post(UM_LINKSTATE, +LinkNotice::Lost, 0);
    ReportLinkError(e);
    alive_.store(true, std::memory_order_release);
}

void ComThread::RunNextRequest()
{
    ComRequest* job = nullptr;
    bool fromRing = false;
    int pollIndex = 0;
    const int head = ringHead_.load(std::memory_order_relaxed);
    if (head != ringTail_.load(std::memory_order_acquire)) {
        job = &ring_[static_cast<std::size_t>(head)];
        fromRing = true;
    } else {
        {
            std::lock_guard lock(queueMutex_);
            if (pollCount_ > 0) {
                if (pollCursor_ >= pollCount_)
                    pollCursor_ = 0;
                pollIndex = pollCursor_;
                pollJob_ = pollList_[static_cast<std::size_t>(pollIndex)];
                job = &pollJob_;
            }
        }
        if (!job) {
            // Nothing to do: wait for work instead of spinning.
            WaitForWork(timings_.noWorkWaitMs);
            return;
        }
    }

    try {
        if (job->handler)
            job->handler(*this, *job);
        retries_ = 0;
        if (fromRing) {
            *job = ComRequest{};  // frees the job's payload
            ringHead_.store((head + 1) % kRingSize, std::memory_order_release);
        } else {
            std::lock_guard lock(queueMutex_);
            pollCursor_ = pollCount_ > 0 ? (pollIndex + 1) % pollCount_ : 0;
        }
    } catch (const SerAborted&) {
        throw;
    } catch (const TSerErr&) {
        state_.store(LINK_RETRYING, std::memory_order_release);
        // Swallow the rest of a late reply. When that does not come either the
        // line is silent; that is the same failed job, and the retry rule
        // decides (four in a row: link lost, and the thread connects anew).
        try {
            port_.Receive(9);
            for (int i = 0; i < 9; ++i)
                port_.GetByte();
        } catch (const TSerErr&) {
        }
    } catch (const FrameError&) {
        state_.store(LINK_RETRYING, std::memory_order_release);
    } catch (const ComIntException&) {
        state_.store(LINK_RETRYING, std::memory_order_release);
    }
    if (state_.load() == LINK_RETRYING) {
        const int n = errorCount_.fetch_add(1) + 1;
        Post(UM_LINKSTATE, +LinkNotice::ErrorCount, n);
    }
}

bool ComThread::ReopenOrLoseLink()
{
    try {
        port_.Open();
        return true;
    } catch (const TSerErr& e) {
        // The device went away (an adapter pulled out): the link is lost, and
        // the connect attempts look for the port until it is back.
        ReportLinkError(e);
        LoseLink();
        return false;
    }
}

void ComThread::RetryAfterError()
{
    ++retries_;
    if (!ReopenOrLoseLink())
        return;
    if (retries_ < 4) {
        state_.store(LINK_SERVING, std::memory_order_release);
        port_.Drain();
    } else {
        LoseLink();
    }
}

void ComThread::LoseLink()
{
    ReturnSent();  // the job is given up: nothing more will go out for it
    state_.store(LINK_CONNECTING, std::memory_order_release);
    Post(UM_LINKSTATE, +LinkNotice::Lost, 0);
}

void ComThread::SendRegisterFrame(int reg)
{
    frames_.SendFrame(CMD_READ_REGISTER, {Address(), static_cast<std::uint8_t>(reg & 0xFF)});
}

void ComThread::ConnectAttempt()
{
    std::uint32_t value = 0;
    try {
        std::fill(moduleInfo_.begin() + 2, moduleInfo_.end(), 0);
        EmptyRing();
        imageValid_.store(false);
        try {
            port_.Open();
        } catch (const TSerErr& e) {
            // No such device (yet): look again after the idle pause, as for
            // a port that is missing at start-up. Said once for each reason.
            ReportOpenFailure(e);
            Sleep(timings_.idleMs);
            return;
        }
        ClearReportedFailure();
        if (options_ & 1)
            Sleep(timings_.slowConnectMs);
        SendRegisterFrame(1);
        if (port_.ReadByte(0) != REPLY_REGISTER)
            throw ComIntException{1};
        port_.Receive(8);
        frames_.ReceiveExpected(REPLY_REGISTER);
        frames_.ReceiveExpected(REPLY_REGISTER);
        if (frames_.ReceiveByte() != 0)
            throw ComIntException{1};
        const int reg = frames_.ReceiveByte();
        int length = frames_.ReceiveByte();
        if (length > 4)
            length = 4;
        port_.Receive(2 * length + 2);
        for (int i = 0; i < length; ++i)
            value |= static_cast<std::uint32_t>(frames_.ReceiveByte()) << (8 * i);
        frames_.ReceiveFrameEnd();
        if (reg != 1)
            throw ComIntException{1};
        Sleep(timings_.afterConnectMs);
        port_.Drain();
    } catch (const SerAborted&) {
        throw;
    } catch (...) {
        Sleep(timings_.connectRetryMs);
        return;
    }

    try {
        ReadModuleInfo();
        PostData(notify_, UM_MODULESETUP, 0, 0, std::vector<std::uint8_t>(moduleInfo_.begin(), moduleInfo_.end()));
    } catch (const SerAborted&) {
        throw;
    } catch (...) {
        moduleInfo_[0] = 0;  // no module answered
    }

    writesTotal_.store(0);
    PostText(notify_, UM_PROGRESS, 0, 0, "Connecting");
    BeginConnection(+LinkNotice::Connected, value & 0xFFFF);
    retries_ = 0;
}

void ComThread::BeginConnection(int notice, std::uint32_t reg1)
{
    std::uint32_t number = 0;
    {
        // Whatever went into the ring while no connection served (a read)
        // stays; nothing can be queued for the new one before it serves.
        std::lock_guard lock(queueMutex_);
        number = connection_.load(std::memory_order_relaxed) + 1;
        if (number == kAnyConnection || number == 0)
            number = 1;
        connection_.store(number, std::memory_order_release);
        state_.store(LINK_SERVING, std::memory_order_release);
    }
    errorCount_.store(0);
    Post(UM_LINKSTATE, +LinkNotice::ErrorCount, 0);
    PostData(notify_, UM_LINKSTATE, notice, reg1, ConnectionNumberData(number));
}

void ComThread::ReadModuleInfo()
{
    frames_.SendFrame(CMD_MODULE_INFO, {Address()});
    port_.Receive(7);  // echo three times, status and length
    frames_.ReceiveExpected(CMD_MODULE_INFO);
    frames_.ReceiveExpected(CMD_MODULE_INFO);
    frames_.ReceiveExpected(CMD_MODULE_INFO);
    if (frames_.ReceiveByte() != 0)
        throw ComIntException{1};
    const int length = frames_.ReceiveByte();
    // A short reply leaves zeros behind it, a long one keeps its first 100 bytes.
    std::array<std::uint8_t, kModuleInfoSize> info{};
    ReceiveFieldsBounded(length, std::span(info).first(kModuleInfoSize - 1));
    frames_.ReceiveFrameEnd();
    moduleInfo_ = info;
}

void ComThread::ReceiveFieldsBounded(int count, std::span<std::uint8_t> dst)
{
    std::fill(dst.begin(), dst.end(), 0);
    port_.Receive(2 * count + 2);  // the fields and the end marker
    for (int i = 0; i < count; ++i) {
        const int b = frames_.ReceiveByte();
        if (static_cast<std::size_t>(i) < dst.size())
            dst[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(b);
    }
}

void ComThread::StartReconnectScan()
{
    state_.store(LINK_RESCANNING, std::memory_order_release);
    Post(UM_LINKSTATE, +LinkNotice::RescanStarted, 0);
}

void ComThread::ReconnectScan()
{
    EmptyRing();
    imageValid_.store(false);
    if (!ReopenOrLoseLink())
        return;
    const std::int64_t start = MonotonicMs();
    bool found = false;
    while (!found && MonotonicMs() - start < timings_.rescanMs) {
        try {
            SendRegisterFrame(1);
            const RegisterReply r = frames_.ReceiveRegisterReply();
            if (r.reg != 1)
                throw ComIntException{1};
            port_.Open();
            port_.Drain();
            const int type = moduleInfo_[0];
            if (type == 2 || type == 3) {
                ReadModuleInfo();
                PostData(notify_, UM_MODULESETUP, 0, 0,
                         std::vector<std::uint8_t>(moduleInfo_.begin(), moduleInfo_.end()));
            }
            found = true;
        } catch (const SerAborted&) {
            throw;
        } catch (...) {
            // The motor is still away (or restarting): try again at once.
        }
    }
    if (found) {
        BeginConnection(+LinkNotice::Reconnected, 0);
    } else {
        LoseLink();
    }
}

// --- register jobs ------------------------------------------------------------------

std::int32_t ComThread::ReadRegisterNow(int reg, bool wide)
{
    SendRegisterFrame(reg);
    const RegisterReply r = frames_.ReceiveRegisterReply();
    if (r.reg != (reg & 0xFF))
        throw ComIntException{1};
    return RegisterValue(r.raw, wide ? 4 : 2);
}

void ComThread::WriteRegisterNow(int reg, std::int32_t value, bool wide, std::optional<std::uint8_t> address)
{
    const int width = wide ? 4 : 2;
    frames_.SendCommand(CMD_WRITE_REGISTER);
    frames_.SendByte(address.value_or(Address()));
    frames_.SendByte(static_cast<std::uint8_t>(reg & 0xFF));
    frames_.SendByte(static_cast<std::uint8_t>(width));
    const auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < width; ++i)
        frames_.SendByte(static_cast<std::uint8_t>(u >> (8 * i)));
    frames_.SendFrameEnd();
    port_.Receive(3);
    frames_.ReceiveAck();
}

void ComThread::DoReadRegister(ComThread& t, ComRequest& job)
{
    const int reg = job.arg2;
    const int width = job.arg3 == 4 ? 4 : 2;
    if (t.imageValid_.load()) {
        const std::size_t at = static_cast<std::size_t>(reg & 0xFF) * static_cast<std::size_t>(t.imageWidth_);
        std::uint32_t raw = 0;
        for (int i = 0; i < width; ++i)
            raw |= static_cast<std::uint32_t>(t.image_[at + static_cast<std::size_t>(i)]) << (8 * i);
        t.Post(UM_REGISTERVALUE, reg, RegisterValue(raw, width));
        return;
    }
    const std::int32_t value = t.ReadRegisterNow(reg, width == 4);
    t.Post(UM_REGISTERVALUE, reg, value);
    t.WakeWaiters(reg, value);
}

void ComThread::DoWriteRegister(ComThread& t, ComRequest& job)
{
    const int reg = job.arg2;
    t.WriteRegisterNow(reg, job.value, job.arg3 == 4, static_cast<std::uint8_t>(job.arg1 & 0xFF));
    // Acknowledged: the writes run in the order of their tickets, so every
    // write queued before this one has been acknowledged or dropped.
    if (job.ticket != 0)
        t.acknowledged_.store(job.ticket, std::memory_order_release);
    t.Post(UM_REGISTERVALUE, reg, job.value);
    // The writes queued since the clear count, also those that went out
    // before the batch's progress was started; one queued before the clear
    // is no part of the batch.
    std::lock_guard lock(t.progressMutex_);
    if (job.writeBatch != t.writeBatch_)
        return;
    const int done = t.writesDone_.fetch_add(1) + 1;
    const int total = t.writesTotal_.load();
    if (total > 0) {
        PostText(t.notify_, UM_PROGRESS, std::min(done, total) * 100 / total, 0, t.progressText_);
        if (done >= total)
            t.writesTotal_.store(0);
    }
}

}  // namespace quenor
