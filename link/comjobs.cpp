// Jobs of the communication thread beyond single register reads and writes:
// the register image, the motor's special commands, the plug-in modules'
// commands and their pollers.

#include "link/comthread.h"

#include <algorithm>

namespace quenor {

namespace {

enum : std::uint8_t {
    CMD_SAVE = 0x56,
    CMD_RESET = 0x57,
    CMD_CANOPEN_DEBUG = 0x20,
    CMD_SEQLET_IO = 0x30,
    CMD_SEQLET_FORMAT = 0x31,
    CMD_MODULE_QUIET = 0x33,  // module command without reply
    CMD_PROGRAM_INFO = 0x34,
    CMD_EEPROM_WRITE = 0x35,
    CMD_PROFIBUS_STATUS = 0x40,
    CMD_PROGRAM_CONTROL = 0x61,
    CMD_DEVICENET_DEBUG = 0x70,
    CMD_DEVICENET_STATUS = 0x72,
    CMD_DEVICENET_SETTINGS = 0x73,
    CMD_FS_DEBUG = 0x80,
    CMD_FS_STATUS = 0x82,
    CMD_FS_SETUP = 0x83,
};

constexpr int kSpecialDefaults = 0x100;
constexpr int kMotorStoppedMode = 15;

// Module type byte values.
enum : int {
    MODULE_NONE = 0,
    MODULE_SEQLET = 1,
    MODULE_PROFIBUS = 2,
    MODULE_CANOPEN = 3,
    MODULE_PROGRAMMABLE = 4,
    MODULE_DEVICENET = 5,
    MODULE_FS = 6,
};

void ExpectThree(FrameLink& f, std::uint8_t b)
{
    f.ReceiveExpected(b);
    f.ReceiveExpected(b);
    f.ReceiveExpected(b);
}

// Echo three times and status 0 (anything else: protocol error).
void ReceiveHead(ComThread& t, std::uint8_t echo, int extra)
{
    t.Port().Receive(3 + 2 + extra);
    ExpectThree(t.Frames(), echo);
    if (t.Frames().ReceiveByte() != 0)
        throw ComIntException{1};
}

void ReceiveBusy(ComThread& t)
{
    t.Port().Receive(3);
    ExpectThree(t.Frames(), REPLY_BUSY);
}

ComRequest Job(ComHandler h)
{
    ComRequest r;
    r.handler = h;
    return r;
}

}  // namespace

// --- requests -------------------------------------------------------------------------

bool ComThread::RequestImageRead(int blocks, int width)
{
    ComRequest r = Job(&ComThread::DoImageRead);
    r.arg1 = blocks;
    r.arg3 = width;
    return QueueIfLinked(std::move(r));
}

bool ComThread::RequestImageInvalidate()
{
    return QueueIfLinked(Job(&ComThread::DoImageInvalidate));
}

bool ComThread::RequestSpecialCommand(int address, int code)
{
    ComRequest r = Job(&ComThread::DoSpecialCommand);
    r.arg1 = address;  // the thread's own address is sent
    r.value = code;
    return QueueIfLinked(std::move(r));
}

bool ComThread::RequestProgramInfo()
{
    return QueueIfLinked(Job(&ComThread::DoProgramInfo));
}

bool ComThread::RequestSeqletFormatWrite(std::span<const std::uint8_t> format, bool powerUp, int value)
{
    ComRequest r = Job(&ComThread::DoSeqletFormatWrite);
    r.data.assign(kSeqletFormatSize, 0);
    std::copy_n(format.begin(), std::min<std::size_t>(format.size(), kSeqletFormatSize), r.data.begin());
    r.arg1 = powerUp ? 1 : 0;
    r.value = value;
    return QueueIfLinked(std::move(r));
}

bool ComThread::RequestModuleCommand(int command)
{
    ComRequest r = Job(&ComThread::DoModuleCommand);
    r.value = command & 0xFF;
    return QueueIfLinked(std::move(r));
}

bool ComThread::RequestProgramControl(int kind, int a, int b)
{
    ComRequest r = Job(&ComThread::DoProgramControl);
    r.arg1 = kind;
    r.arg2 = a;
    r.arg3 = b;
    return QueueIfLinked(std::move(r));
}

bool ComThread::RequestDeviceNetSettings(int baudIndex, int node)
{
    ComRequest r = Job(&ComThread::DoDeviceNetSettings);
    r.arg1 = baudIndex;
    r.arg2 = node;
    return QueueIfLinked(std::move(r));
}

bool ComThread::RequestFsSetup(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() > static_cast<std::size_t>(kFsSetupMax))
        return false;  // more than the module takes: refused, nothing sent
    ComRequest r = Job(&ComThread::DoFsSetup);
    r.data.assign(bytes.begin(), bytes.end());
    return QueueIfLinked(std::move(r));
}

void ComThread::SetDefaultPollList()
{
    ClearPollList();
    for (ComHandler h : {&ComThread::PollProfibusStatus, &ComThread::PollModuleIo, &ComThread::PollCanOpenDebug,
                         &ComThread::PollProgramStatus, &ComThread::PollModuleDebug,
                         &ComThread::PollModuleNetStatus})
        AddPoll(Job(h));
}

// --- helpers -----------------------------------------------------------------------------

void ComThread::SendModuleStop()
{
    static constexpr std::uint8_t kStop[] = {0, 0x33, 0x42, 0x21, 0x60, 0x71, 0x81};
    const int type = ModuleType();
    if (type < 1 || type > 6)
        return;
    frames_.SendFrame(kStop[type], {Address()});
    // The port is reopened next, which discards what has not left yet: give
    // the frame's 11 bytes time to go out.
    Sleep(10 + 11 * SerTimeouts::MsPerByte(port_.GetBaudRate()));
}

// --- register image ---------------------------------------------------------------------------

void ComThread::DoImageRead(ComThread& t, ComRequest& job)
{
    const int width = job.arg3 == 4 ? 4 : 2;
    const int perBlock = 128 / width;
    // The image holds registers 0 to 255; a block whose first register would
    // not fit the one-byte register field is not asked for.
    const int blocks = std::clamp(job.arg1, 0, std::min(7, 256 / perBlock));
    t.imageWidth_ = width;
    PostText(t.notify_, UM_PROGRESS, 0, 0, "Connecting");
    for (int b = 0; b < blocks; ++b) {
        const int first = perBlock * b;
        t.frames_.SendFrame(CMD_READ_BLOCK, {t.Address(), static_cast<std::uint8_t>(first)});
        ReceiveHead(t, REPLY_REGISTER, 4);
        const int reg = t.frames_.ReceiveByte();
        if (t.frames_.ReceiveByte() != 128)
            throw ComIntException{1};
        std::array<std::uint8_t, 128> block{};
        t.port_.Receive(2 * 128 + 2);
        for (int i = 0; i < 128; ++i) {
            block[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(t.frames_.ReceiveByte());
            if (i == 63)
                PostText(t.notify_, UM_PROGRESS, (100 * b + 50) / blocks, 0, "Connecting");
        }
        t.frames_.ReceiveFrameEnd();
        // Only the block that was asked for goes into the image.
        if (reg != first)
            throw ComIntException{1};
        std::copy(block.begin(), block.end(), t.image_.begin() + static_cast<std::ptrdiff_t>(first * width));
        t.imageValid_.store(true);
        PostText(t.notify_, UM_PROGRESS, (100 * b + 100) / blocks, 0, "Connecting");
    }
    PostText(t.notify_, UM_PROGRESS, 100, 0, "Connecting");
}

void ComThread::DoImageInvalidate(ComThread& t, ComRequest&)
{
    t.imageValid_.store(false);
}

// --- special commands ------------------------------------------------------------------------

void ComThread::DoSpecialCommand(ComThread& t, ComRequest& job)
{
    FrameLink& f = t.frames_;
    const std::uint8_t addr = t.Address();
    // Repeats the command until the motor stops answering: it restarts, and
    // the link looks for it again.
    auto untilRestart = [&](std::uint8_t command) {
        try {
            while (!t.Terminated()) {
                f.SendFrame(command, {addr});
                t.port_.Receive(3);
                f.ReceiveAck();
            }
            return;  // the thread ends
        } catch (const TSerErr&) {
        } catch (const FrameError&) {
        } catch (const ComIntException&) {
        }
        t.SendModuleStop();
        t.StartReconnectScan();
    };
    switch (job.value) {
    case CMD_SAVE:
        f.SendFrame(CMD_SPECIAL_STOP, {addr});
        t.port_.Receive(3);
        f.ReceiveAck();
        untilRestart(CMD_SAVE);
        break;
    case CMD_RESET:
        t.WriteRegisterNow(2, 0, false);
        untilRestart(CMD_RESET);
        break;
    case CMD_SPECIAL_STOP:
        f.SendFrame(CMD_SPECIAL_STOP, {addr});
        t.port_.Receive(3);
        f.ReceiveAck();
        while (!t.Terminated()) {
            if (t.ReadRegisterNow(2, false) == kMotorStoppedMode)
                break;
            t.MarkAlive();
        }
        break;
    case kSpecialDefaults:
        f.SendCommand(CMD_WRITE_REGISTER);
        f.SendByte(addr);
        f.SendByte(2);
        f.SendByte(4);
        f.SendByte(0x00);
        f.SendByte(0x01);
        f.SendByte(0x00);
        f.SendByte(0x00);
        f.SendFrameEnd();  // the motor restarts; no acknowledgement is waited for
        t.Sleep(t.timings_.defaultsWaitMs);
        t.StartReconnectScan();
        break;
    default:
        f.SendFrame(static_cast<std::uint8_t>(job.value), {addr});
        break;
    }
}

// --- module commands -----------------------------------------------------------------------------

bool ComThread::PollModuleStatus()
{
    frames_.SendFrame(CMD_MODULE_INFO, {Address()});
    port_.Receive(3);
    const int first = frames_.ReceiveExpected(-1);
    if (first == REPLY_BUSY) {
        frames_.ReceiveExpected(REPLY_BUSY);
        frames_.ReceiveExpected(REPLY_BUSY);
        return false;
    }
    if (first != CMD_MODULE_INFO)
        throw ComIntException{1};
    frames_.ReceiveExpected(CMD_MODULE_INFO);
    frames_.ReceiveExpected(CMD_MODULE_INFO);
    port_.Receive(4);
    if (frames_.ReceiveByte() != 0)
        throw ComIntException{1};
    const int length = frames_.ReceiveByte();
    std::array<std::uint8_t, kModuleInfoSize> info{};
    ReceiveFieldsBounded(length, std::span(info).first(kModuleInfoSize - 1));
    frames_.ReceiveFrameEnd();
    moduleInfo_ = info;
    PostData(notify_, UM_MODULESETUP, 0, 0, std::vector<std::uint8_t>(info.begin(), info.end()));
    return true;
}

void ComThread::DoModuleCommand(ComThread& t, ComRequest& job)
{
    const auto c = static_cast<std::uint8_t>(job.value);
    t.frames_.SendFrame(c, {t.Address()});
    if (c == CMD_MODULE_QUIET) {
        t.Sleep(t.timings_.moduleNoReplyMs);
        return;
    }
    ReceiveBusy(t);
    if (c != CMD_EEPROM_WRITE)
        return;
    const std::int64_t start = MonotonicMs();
    const std::int64_t full = std::max(1, t.timings_.eepromFullMs);
    while (!t.PollModuleStatus()) {
        std::int64_t percent = (MonotonicMs() - start) * 100 / full;
        if (percent > 200) {
            // The module does not finish: the link is dropped and built anew.
            t.retries_ = 3;
            t.SendModuleStop();
            throw ComIntException{1};
        }
        if (percent >= 100)
            percent = 99;
        PostText(t.notify_, UM_PROGRESS, percent, 0, "Writing to eeprom");
        t.MarkAlive();
        t.Sleep(t.timings_.eepromPollMs);
    }
    PostText(t.notify_, UM_PROGRESS, 100, 0, "Writing to eeprom");
}

void ComThread::DoSeqletFormatWrite(ComThread& t, ComRequest& job)
{
    std::vector<std::uint8_t>& image = job.data;
    image.resize(kSeqletFormatSize, 0);
    image[507] = static_cast<std::uint8_t>(job.value);
    image[508] = job.arg1 ? 28 : 0;
    for (int b = 0; b < 4; ++b) {
        PostText(t.notify_, UM_PROGRESS, 25 * b, 0, "Transfering");
        t.frames_.SendCommand(CMD_SEQLET_FORMAT);
        t.frames_.SendByte(t.Address());
        t.frames_.SendByte(static_cast<std::uint8_t>(b));
        for (int i = 0; i < 128; ++i)
            t.frames_.SendByte(image[static_cast<std::size_t>(128 * b + i)]);
        t.frames_.SendFrameEnd();
        ReceiveBusy(t);
    }
    PostText(t.notify_, UM_PROGRESS, 100, 0, "Transfering");
}

void ComThread::DoProgramInfo(ComThread& t, ComRequest&)
{
    t.frames_.SendFrame(CMD_PROGRAM_INFO, {t.Address(), 0});
    ReceiveHead(t, CMD_SEQLET_FORMAT, 2);
    t.frames_.ReceiveByte();
    std::array<std::uint8_t, 128> info{};
    t.ReceiveFieldsBounded(128, info);  // read and dropped
    t.frames_.ReceiveFrameEnd();
}

void ComThread::ProgramControlFrame(int kind, int a, int b)
{
    FrameLink& f = frames_;
    f.SendCommand(CMD_PROGRAM_CONTROL);
    f.SendByte(Address());
    auto lo = [](int v) { return static_cast<std::uint8_t>(v & 0xFF); };
    auto hi = [](int v) { return static_cast<std::uint8_t>((v >> 8) & 0xFF); };
    if (kind == 4) {
        for (std::uint8_t x : {std::uint8_t{5}, std::uint8_t{4}, lo(a), hi(a), lo(b), hi(b)})
            f.SendByte(x);
    } else if (kind == 5 && MotorFamily() == 2) {
        for (std::uint8_t x : {std::uint8_t{3}, std::uint8_t{5}, lo(a), lo(b)})
            f.SendByte(x);
    } else if (kind == 5) {
        for (std::uint8_t x : {std::uint8_t{2}, std::uint8_t{5}, lo((a & 0x0F) | (b << 4))})
            f.SendByte(x);
    } else {
        f.SendByte(1);
        f.SendByte(lo(kind));
    }
    f.SendFrameEnd();

    ReceiveHead(*this, CMD_PROGRAM_CONTROL, 2);
    const int length = f.ReceiveByte();
    // A reply longer than the status block is not read: its next data byte
    // then breaks the end marker and the job fails.
    std::vector<std::uint8_t> status(kProgramStatusSize, 0);
    const int n = std::min(length, kProgramStatusSize);
    port_.Receive(2 * n + 2);
    for (int i = 0; i < n; ++i)
        status[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(f.ReceiveByte());
    f.ReceiveFrameEnd();
    PostData(notify_, UM_REGISTERBLOCK, 0, 0, std::move(status));
}

void ComThread::DoProgramControl(ComThread& t, ComRequest& job)
{
    if (t.ModuleType() != MODULE_PROGRAMMABLE)
        return;
    // Run and single step start the program where it stands: sent again
    // after a lost reply, the motor would do more than it was told. Their
    // job ends with the failure, and the user hears that the command may
    // have arrived.
    const bool once = job.arg1 == 1 || job.arg1 == 4;
    if (once && job.commandSent) {
        t.Post(UM_PARAMERROR, +ParamNotice::CommandUnconfirmed, job.arg1);
        return;
    }
    job.commandSent = once;
    t.ProgramControlFrame(job.arg1, job.arg2, job.arg3);
}

void ComThread::DoDeviceNetSettings(ComThread& t, ComRequest& job)
{
    t.frames_.SendFrame(CMD_DEVICENET_SETTINGS, {t.Address(), 2, static_cast<std::uint8_t>(job.arg2),
                                                 static_cast<std::uint8_t>(job.arg1)});
    t.port_.Receive(3);
    t.frames_.ReceiveAck();
}

void ComThread::DoFsSetup(ComThread& t, ComRequest& job)
{
    const std::size_t n = std::min<std::size_t>(job.data.size(), kFsSetupMax);
    t.frames_.SendCommand(CMD_FS_SETUP);
    t.frames_.SendByte(t.Address());
    t.frames_.SendByte(static_cast<std::uint8_t>(n));
    for (std::size_t i = 0; i < n; ++i)
        t.frames_.SendByte(job.data[i]);
    t.frames_.SendFrameEnd();
    t.port_.Receive(3);
    t.frames_.ReceiveAck();
}

// --- pollers ------------------------------------------------------------------------------------

void ComThread::PollProfibusStatus(ComThread& t, ComRequest&)
{
    if (t.ModuleType() != MODULE_PROFIBUS || t.profiPending_.load(std::memory_order_acquire))
        return;
    t.frames_.SendFrame(CMD_PROFIBUS_STATUS, {t.Address()});
    ReceiveHead(t, CMD_PROFIBUS_STATUS, 2);
    const int length = t.frames_.ReceiveByte();
    if (length > 15)
        throw ComIntException{1};
    std::vector<std::uint8_t> block(kStatusBlockSize, 0);
    t.ReceiveFieldsBounded(length, block);
    t.frames_.ReceiveFrameEnd();
    t.profiPending_.store(true, std::memory_order_release);
    PostData(t.notify_, UM_PROFISTATUS, 0, length, std::move(block));
}

void ComThread::PollModuleIo(ComThread& t, ComRequest&)
{
    if (t.ModuleType() != MODULE_SEQLET || t.ioPending_.load(std::memory_order_acquire))
        return;
    t.frames_.SendFrame(CMD_SEQLET_IO, {t.Address()});
    ReceiveHead(t, CMD_SEQLET_IO, 0);
    std::vector<std::uint8_t> block(kStatusBlockSize, 0);
    t.ReceiveFieldsBounded(kStatusBlockSize, block);
    t.frames_.ReceiveFrameEnd();
    t.ioPending_.store(true, std::memory_order_release);
    PostData(t.notify_, UM_MODULEIO, 0, kStatusBlockSize, std::move(block));
}

// A debug text: status, length and the text; posted only when it holds something.
void ComThread::ReadModuleText(std::uint8_t command, int msg)
{
    frames_.SendFrame(command, {Address()});
    ReceiveHead(*this, command, 2);
    const int length = frames_.ReceiveByte();
    std::vector<std::uint8_t> text(static_cast<std::size_t>(length), 0);
    ReceiveFieldsBounded(length, text);
    frames_.ReceiveFrameEnd();
    if (length > 0)
        PostText(notify_, msg, 0, length + 1, std::string(text.begin(), text.end()));
}

void ComThread::PollCanOpenDebug(ComThread& t, ComRequest&)
{
    if (t.ModuleType() == MODULE_CANOPEN)
        t.ReadModuleText(CMD_CANOPEN_DEBUG, UM_CANOPENDEBUG);
}

void ComThread::PollProgramStatus(ComThread& t, ComRequest&)
{
    if (t.ModuleType() == MODULE_PROGRAMMABLE)
        t.ProgramControlFrame(0, 0, 0);
}

void ComThread::PollModuleDebug(ComThread& t, ComRequest&)
{
    const int type = t.ModuleType();
    if (type == MODULE_DEVICENET || type == MODULE_FS)
        t.ReadModuleText(type == MODULE_DEVICENET ? CMD_DEVICENET_DEBUG : CMD_FS_DEBUG, UM_MODULEDEBUG);
}

void ComThread::PollModuleNetStatus(ComThread& t, ComRequest&)
{
    const int type = t.ModuleType();
    if (type != MODULE_DEVICENET && type != MODULE_FS)
        return;
    const std::uint8_t cmd = type == MODULE_DEVICENET ? CMD_DEVICENET_STATUS : CMD_FS_STATUS;
    t.frames_.SendFrame(cmd, {t.Address()});
    ReceiveHead(t, cmd, 2);
    const int length = t.frames_.ReceiveByte();
    std::vector<std::uint8_t> block(static_cast<std::size_t>(length), 0);
    t.ReceiveFieldsBounded(length, block);
    t.frames_.ReceiveFrameEnd();
    if (length > 0)
        PostData(t.notify_, UM_DEVICENETSTATUS, 0, length, std::move(block));
}

}  // namespace quenor
