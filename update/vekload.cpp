#include "update/vekload.h"

#include "platform/clock.h"
#include "update/loaderlink.h"

#include <algorithm>
#include <array>
#include <exception>
#include <sys/eventfd.h>
#include <unistd.h>

namespace quenor {

namespace {

constexpr int kMaxAttempts = 10;
constexpr int kPatternPairs = 1024;

// The line test's block: 4096 bytes that walk through every byte value at
// several strides, then two bytes that are NOT their CRC-16, so a sound line
// gives the write status 2 (checksum wrong, nothing written).
const std::array<std::uint8_t, 4098>& TestBlock()
{
    static const std::array<std::uint8_t, 4098> block = [] {
        std::array<std::uint8_t, 4098> b{};
        for (std::size_t i = 0; i < 4096; ++i)
            b[i] = static_cast<std::uint8_t>(i * (1 + 2 * (i >> 8)) + (i >> 8));
        const std::uint16_t crc = Crc16(b.data(), 4096);
        const std::uint16_t wrong = static_cast<std::uint16_t>(crc ^ 0xA55A);
        b[4096] = static_cast<std::uint8_t>(wrong >> 8);
        b[4097] = static_cast<std::uint8_t>(wrong);
        return b;
    }();
    return block;
}

// Thrown inside the line test for the two status checks, which keep their text.
struct TestStatusError {
    std::string text;
};

}  // namespace

int LoaderBaudRate(int index)
{
    static constexpr int rates[] = {2400, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
    return index >= 0 && index < 9 ? rates[index] : -1;
}

TVekLoad::TVekLoad(MessageTarget* notifyWindow, std::unique_ptr<TSerCom> port)
    : notify_(notifyWindow), port_(std::move(port))
{
    abortFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    SetVariant(0);
    if (port_) {
        port_->SetAbortFd(abortFd_);
        port_->SetBaudRate(57600);
        port_->Open();
        link_ = std::make_unique<LoaderLink>(*port_, abortFd_, timing_.replyPauseMs);
    }
}

TVekLoad::~TVekLoad()
{
    Terminate();
    Wait();
    link_.reset();
    port_.reset();
    if (abortFd_ >= 0)
        ::close(abortFd_);
}

void TVekLoad::LoadFile(const std::string& fileName)
{
    FirmwareFile file;
    try {
        file = LoadFirmwareFile(fileName);
    } catch (...) {
        file_.blocks.clear();  // nothing of an earlier load may go out
        file_.dataBlocks = file_.verifyBlocks = 0;
        throw;
    }
    file_ = std::move(file);
    SetVariant(file_.variant);
    written_ = verified_ = 0;
    newLoader_ = patchDone_ = false;
    patchedFirst_.clear();
}

std::string TVekLoad::Description() const
{
    return FirmwareDescription(file_);
}

void TVekLoad::SetVariant(int variant)
{
    struct Row {
        int baud, attention, reply;
    };
    static constexpr Row rows[] = {{57600, 0x4C, 0x5A}, {38400, 0x5C, 0x4A}, {19200, 0x6C, 0x6A},
                                   {19200, 0x7C, 0x7A}, {19200, 0x8C, 0x8A}, {19200, 0x7C, 0x7A}};
    if (variant < 0 || variant > 5)
        return;
    variant_ = variant;
    baud_ = rows[variant].baud;
    attention_ = rows[variant].attention;
    replyCode_ = rows[variant].reply;
    if (port_ && !thread_.joinable()) {
        try {
            port_->SetBaudRate(baud_);
        } catch (const TSerErr&) {
            // Reported by the load, which sets the speed again.
        }
    }
}

int TVekLoad::JumpCommand() const
{
    const int hw = file_.hardware;
    switch (variant_) {
    case 0:
        return 0x56;
    case 1:
        if (hw == 1)
            return moduleType_ == 4 ? 0x60 : 0x33;
        if (hw == 2)
            return 0x42;
        if (hw == 4)
            return moduleType_ == 1 ? 0x33 : 0x60;
        return -1;
    case 3:
        return hw == 3 ? 0x21 : hw == 5 ? 0x71 : hw == 6 ? 0x81 : -1;
    default:
        return 0x57;
    }
}

void TVekLoad::StartLoad()
{
    if (thread_.joinable() || !port_)
        return;
    rs485Start_.store(false);
    link_->SetReplyPauseMs(timing_.replyPauseMs);
    link_->SetReplyWaitMs(timing_.replyWaitMs);
    thread_ = std::thread(&TVekLoad::Execute, this);
}

void TVekLoad::Terminate()
{
    stop_.store(true);
    if (abortFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t r = ::write(abortFd_, &one, sizeof one);
    }
}

void TVekLoad::Wait()
{
    if (thread_.joinable())
        thread_.join();
}

std::vector<std::string> TVekLoad::Errors() const
{
    std::lock_guard lock(errorsMutex_);
    return errors_;
}

void TVekLoad::AddError(const std::string& text)
{
    std::lock_guard lock(errorsMutex_);
    errors_.push_back(text);
}

void TVekLoad::Post(int code, int value)
{
    PostMessage(notify_, UM_LOADERSTATUS, code, value);
}

void TVekLoad::CheckStop()
{
    if (stop_.load())
        throw SerAborted{};
}

// --- the load ----------------------------------------------------------------------

void TVekLoad::Execute()
{
    bool done = false;
    try {
        attempts_ = 0;
        {
            std::lock_guard lock(errorsMutex_);
            errors_.clear();
        }
        // A load that would write nothing is no update: the device is left
        // alone (not sent into its bootloader, erased or restarted) and the
        // load fails.
        if (!HasFlashData(file_)) {
            AddError("No flash data in file");
            attempts_ = kMaxAttempts;
        }
        // The step is kept across the attempts: after a failure the next
        // attempt connects again and goes on in the step that failed, with the
        // blocks that are left. The device is identified and the line tested
        // once in a load.
        int phase = 0;
        while (attempts_ < kMaxAttempts && !done && !stop_.load()) {
            try {
                port_->SetBaudRate(baud_);
                Connect();
                while (!done) {
                    CheckStop();
                    switch (phase) {
                    case 0:
                        ReadVersion();
                        phase = 6;
                        break;
                    case 6:
                        CommTest();
                        phase = 1;
                        break;
                    case 1:
                        EraseBlocks();
                        phase = 2;
                        break;
                    case 2:
                        WriteBlocks();
                        phase = 5;
                        break;
                    case 5:
                        VerifyBlocks();
                        phase = 3;
                        break;
                    default:
                        link_->SendCommand(7);
                        done = true;
                        speedSwitched_ = false;  // the device restarts at its own speed
                        Post(kLoaderDone, 0);
                        break;
                    }
                }
            } catch (const TSerErr& e) {
                AddError("Serial Error: " + e.text);
                ++attempts_;
            } catch (const TErr& e) {
                AddError(e.text);
                ++attempts_;
            }
        }
    } catch (const SerAborted&) {
    } catch (const std::exception& e) {
        AddError(e.what());  // nothing of the kind is expected; the load ends as failed
    }
    if (port_)
        port_->SetTimeouts(true);
    if (stop_.load() && !done) {
        Post(kLoaderAborted, 0);
    } else if (!done) {
        std::string lines;
        for (const std::string& e : Errors()) {
            lines += e;
            lines += '\n';
        }
        PostText(notify_, UM_LOADERSTATUS, kLoaderFailed, variant_, lines);
    }
    finished_.store(true);
}

void TVekLoad::SendPattern()
{
    std::vector<std::uint8_t> pattern(2 * kPatternPairs);
    for (int i = 0; i < kPatternPairs; ++i) {
        pattern[2 * static_cast<std::size_t>(i)] = 0xFF;
        pattern[2 * static_cast<std::size_t>(i) + 1] = static_cast<std::uint8_t>(attention_);
    }
    link_->SendRaw(pattern.data(), pattern.size());
}

bool TVekLoad::Sync()
{
    try {
        link_->SendCommand(0);
        link_->WaitReply(0);
        return true;
    } catch (const TSerErr&) {
    } catch (const TErr&) {
    }
    return false;
}

void TVekLoad::SetLoaderBaud(int index)
{
    const int rate = LoaderBaudRate(index);
    if (rate < 0)
        return;
    const std::uint8_t data = static_cast<std::uint8_t>(index);
    link_->SendCommand(11, &data, 1);
    // From here the device may be at the new speed, whether or not its reply arrives.
    speedSwitched_ = true;
    switchedBaud_ = rate;
    link_->WaitReply(11);
    port_->SetBaudRate(rate);
    link_->SendCommand(0);
    link_->WaitReply(0);
}

bool TVekLoad::TrySync(int zeros, bool switchSpeed)
{
    // A device that was given another speed keeps it until it restarts: try
    // that speed before the variant's own.
    if (speedSwitched_) {
        port_->SetBaudRate(switchedBaud_);
        port_->Open();
        link_->SendZeros(static_cast<std::size_t>(zeros));
        if (Sync())
            return true;
        port_->SetBaudRate(baud_);
    }
    port_->Open();
    link_->SendZeros(static_cast<std::size_t>(zeros));
    if (!Sync())
        return false;
    if (switchSpeed && attempts_ < 3)
        SetLoaderBaud(4);
    return true;
}

void TVekLoad::Connect()
{
    if (port_->GetBaudRate() != baud_)
        port_->SetBaudRate(baud_);
    Post(kLoaderResetting, 0);
    for (;;) {
        CheckStop();
        if (TrySync(10, variant_ == 2 || variant_ == 3 || variant_ == 4))
            break;
        if (!enterThroughFirmware_) {
            link_->SendZeros(4096);
            if (TrySync(3, variant_ == 2 || variant_ == 3))  // reopens the port first
                break;
        }
        WaitForBootloader();
    }
    port_->SetTimeouts(true);
}

void TVekLoad::WaitForBootloader()
{
    port_->SetBaudRate(baud_);
    port_->SetTimeouts(false);
    for (;;) {
        CheckStop();
        if (!enterThroughFirmware_)
            Post(kLoaderPowerCycle, 0);
        if (enterThroughFirmware_) {
            const int jump = JumpCommand();
            if (jump >= 0) {
                port_->SetBaudRate(19200);
                if (moduleType_ == 6) {
                    link_->SendZeros(2);
                    link_->Sleep(100);
                    port_->DiscardInput();
                }
                const std::uint8_t j = static_cast<std::uint8_t>(jump);
                const std::uint8_t frame[] = {j, j, j, 0xFF, 0x00, 0xAA};
                link_->SendRaw(frame, sizeof frame);
                link_->Sleep(20);
                const std::uint8_t end = 0xAA;
                link_->SendRaw(&end, 1);
                link_->Sleep(1);
                port_->SetBaudRate(baud_);
                for (int i = 0, n = variant_ == 0 ? 6 : 1; i < n; ++i)
                    SendPattern();
            }
            // The jump is tried once; without a jump command the user is asked for a power cycle.
            enterThroughFirmware_ = false;
        }
        SendPattern();
        if (WaitReplyCode()) {
            speedSwitched_ = false;  // the device has just started at the variant's speed
            break;
        }
        if (rs485Start_.exchange(false))
            break;
    }
    port_->SetTimeouts(true);
}

bool TVekLoad::WaitReplyCode()
{
    // Read what the device sent while the pattern went out, and for as long
    // as the pattern takes on the line (at least 50 ms, and at least the reply
    // wait), so the loop keeps the line's pace on a port that hands bytes over
    // at once.
    const std::int64_t lineMs = std::max<std::int64_t>(50, 2LL * kPatternPairs * 10 * 1000 / std::max(1, baud_));
    const std::int64_t deadline = MonotonicMs() + std::max<std::int64_t>(lineMs, timing_.replyWaitMs);
    int reads = 0;
    while (reads < 1000) {
        CheckStop();
        if (rs485Start_.load())
            return false;
        const int waiting = port_->BytesWaiting();
        if (waiting > 0) {
            port_->Receive(std::min(waiting, 4096));
            for (int b = port_->GetByte(); b >= 0; b = port_->GetByte()) {
                ++reads;
                if (b == replyCode_) {
                    port_->DiscardInput();
                    return true;
                }
            }
            continue;
        }
        if (MonotonicMs() >= deadline)
            return false;
        link_->Sleep(2);
    }
    return false;
}

void TVekLoad::ReadVersion()
{
    link_->SendCommand(0);
    link_->WaitReply(0);
    link_->SendCommand(8);
    std::uint8_t id[4] = {};
    link_->WaitReply(8, id, sizeof id);
    const int version = id[0] * 256 + id[1];
    loaderRevision_ = id[2];
    loaderHardware_ = id[3];
    PostText(notify_, UM_LOADERVERSION, version, 0, Description());
    if (variant_ == 1) {
        if (loaderRevision_ < 21) {
            if (file_.hardware == 4) {
                attempts_ = kMaxAttempts;
                throw TErr("Incompatible hardware!");
            }
        } else {
            const int fileHw = file_.hardware == 4 ? 1 : file_.hardware;
            const int devHw = loaderHardware_ == 4 ? 1 : loaderHardware_;
            if (fileHw != devHw) {
                attempts_ = kMaxAttempts;
                throw TErr("Incompatible hardware!");
            }
            newLoader_ = true;
        }
    } else if (variant_ == 3 && loaderHardware_ != file_.hardware) {
        attempts_ = kMaxAttempts;
        throw TErr("Incompatible hardware!");
    }
}

void TVekLoad::CommTest()
{
    if (variant_ != 0)
        return;
    Post(kLoaderTesting, 0);
    const int saved = attempts_;
    attempts_ = kMaxAttempts;  // a failed line test ends the load
    try {
        const std::uint8_t header[] = {0, 0, 0, 0x10, 0x00};
        link_->SendCommand(1, header, sizeof header);
        link_->WaitReply(1);
        link_->SendRaw(TestBlock().data(), TestBlock().size());
        const int transfer = link_->WaitReply(4);
        if (transfer != 0)
            throw TestStatusError{"Error in data transfer during testing: " + std::to_string(transfer)};
        const int write = link_->WaitReply(4);
        if (write != 2)
            throw TestStatusError{"Status error during testing: " + std::to_string(write)};
    } catch (const TestStatusError& e) {
        throw TErr(e.text);
    } catch (const TSerErr&) {
        throw TErr("Error during communcation test");
    } catch (const TErr&) {
        throw TErr("Error during communcation test");
    }
    attempts_ = saved;
}

void TVekLoad::EraseBlocks()
{
    const std::int64_t phaseStart = MonotonicMs();
    auto& blocks = file_.blocks;
    for (auto it = blocks.begin(); it != blocks.end();) {
        if (it->type != kBlockErase) {
            ++it;
            continue;
        }
        CheckStop();
        if (variant_ != 2)
            Post(kLoaderErasing, 0);
        const std::uint8_t number = it->payload.at(0);
        link_->SendCommand(2, &number, 1);
        if (link_->WaitReply(2) != 0)
            throw TErr("Error sending block erase command");
        if (variant_ == 2) {
            const std::int64_t sent = MonotonicMs();
            for (;;) {
                try {
                    if (link_->PollReply(4) != 0)
                        throw TErr("Block erase timeout");
                    break;
                } catch (const TSerErr&) {
                    // No status yet: show how far the erase has come and keep the device awake.
                    const std::int64_t now = MonotonicMs();
                    const std::int64_t percent =
                        std::min<std::int64_t>(100, (now - phaseStart) * 100 / std::max(1, timing_.eraseScaleMs));
                    Post(kLoaderErasePercent, static_cast<int>(percent));
                    const std::uint8_t zero = 0;
                    link_->SendRaw(&zero, 1);
                    if (now - sent > timing_.eraseTimeoutMs)
                        throw TErr("Block erase timeout");
                }
            }
        } else if (variant_ == 3 || variant_ == 5) {
            int status = -1;
            try {
                status = link_->WaitReply(4);
            } catch (const TSerErr&) {
            }
            if (status != 0)
                throw TErr("Block erase timeout");
        }
        it = blocks.erase(it);
    }
}

void TVekLoad::ReadStatusPair(const char* transferText, const char* writeText)
{
    const int transfer = link_->WaitReply(4);
    if (transfer != 0)
        throw TErr(transferText + std::to_string(transfer));
    const int write = link_->WaitReply(4);
    if (write != 0)
        throw TErr(writeText + std::to_string(write));
}

void TVekLoad::WriteBlock(FirmwareBlock& block)
{
    const std::uint32_t a = block.argument;
    std::vector<std::uint8_t>& payload = block.payload;
    if (variant_ == 1 && newLoader_ && !patchDone_ && a == 0) {
        // Patched once, in the stored block: a retry sends the same bytes.
        if (!PatchFirstBlockForNewLoader(payload))
            throw TErr("First flash block too short for the bootloader");
        patchDone_ = true;
        patchedFirst_ = payload;
    }
    const std::uint32_t l = static_cast<std::uint32_t>(payload.size());
    std::vector<std::uint8_t> header;
    if (variant_ == 1) {
        header = {static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(l >> 8),
                  static_cast<std::uint8_t>(l)};
    } else {
        const std::uint32_t n = variant_ == 2 ? l : l - 2;
        header = {static_cast<std::uint8_t>(a >> 16), static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a),
                  static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
    }
    link_->SendCommand(1, header.data(), static_cast<int>(header.size()));
    link_->WaitReply(1);
    link_->SendRaw(payload.data(), payload.size());
    if (variant_ == 2) {
        const std::uint32_t sent = ~Crc32(payload.data(), payload.size());
        const std::uint8_t crc[] = {static_cast<std::uint8_t>(sent), static_cast<std::uint8_t>(sent >> 8),
                                    static_cast<std::uint8_t>(sent >> 16), static_cast<std::uint8_t>(sent >> 24)};
        link_->SendRaw(crc, sizeof crc);
    }
    ReadStatusPair("Error in data transfer: ", "Error in flash write: ");
}

void TVekLoad::WriteBlocks()
{
    auto& blocks = file_.blocks;
    for (auto it = blocks.begin(); it != blocks.end();) {
        if (it->type != kBlockData) {
            ++it;
            continue;
        }
        CheckStop();
        Post(kLoaderTransferring, file_.dataBlocks > 0 ? written_ * 100 / file_.dataBlocks : 0);
        WriteBlock(*it);
        Post(kLoaderBlockDone, 0);
        ++written_;
        it = blocks.erase(it);
    }
}

void TVekLoad::VerifyBlocks()
{
    auto& blocks = file_.blocks;
    for (auto it = blocks.begin(); it != blocks.end();) {
        if (it->type != kBlockVerify) {
            ++it;
            continue;
        }
        CheckStop();
        Post(kLoaderVerifying, file_.verifyBlocks > 0 ? verified_ * 100 / file_.verifyBlocks : 0);
        if (variant_ == 1) {
            const std::uint32_t a = it->argument;
            std::vector<std::uint8_t> data = it->payload;
            // The flash holds the patched first block: compare with what was written.
            for (std::size_t i = 0; i < data.size(); ++i) {
                const std::uint64_t addr = static_cast<std::uint64_t>(a) + i;
                if (addr < patchedFirst_.size())
                    data[i] = patchedFirst_[static_cast<std::size_t>(addr)];
            }
            const std::uint32_t l = static_cast<std::uint32_t>(data.size());
            const std::uint8_t header[] = {static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a),
                                           static_cast<std::uint8_t>(l >> 8), static_cast<std::uint8_t>(l)};
            link_->SendCommand(10, header, sizeof header);
            link_->WaitReply(10);
            link_->SendRaw(data.data(), data.size());
            ReadStatusPair("Error in data transfer: ", "Error in flash write: ");
        }
        Post(kLoaderBlockDone, 0);
        ++verified_;
        it = blocks.erase(it);
    }
}

}  // namespace quenor
