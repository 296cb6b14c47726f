// The simulated motor's side of the special commands, the plug-in modules,
// program transfer and sampling.

#include "tools/motorsim/motorsim.h"

#include "platform/clock.h"

#include <algorithm>

namespace quenor::motorsim {

namespace {

std::vector<std::uint8_t> WithHead(std::vector<std::uint8_t> data, bool withLength)
{
    std::vector<std::uint8_t> fields{0};
    if (withLength)
        fields.push_back(static_cast<std::uint8_t>(data.size()));
    fields.insert(fields.end(), data.begin(), data.end());
    return fields;
}

}  // namespace

void MotorSim::InstallJobHandlers()
{
    auto h = [this](std::uint8_t cmd, std::vector<std::uint8_t> (MotorSim::*fn)(const SimFrame&)) {
        handlers_[cmd] = [fn](MotorSim& m, const SimFrame& f) { return (m.*fn)(f); };
    };
    h(0x50, &MotorSim::OnJobRead);
    h(0x52, &MotorSim::OnJobWrite);
    for (std::uint8_t c : {0x54, 0x56, 0x57})
        h(c, &MotorSim::OnSpecial);
    for (std::uint8_t c : {0x31, 0x32, 0x34, 0x35, 0x36, 0x73, 0x83})
        h(c, &MotorSim::OnModuleCommand);
    for (std::uint8_t c : {0x5F, 0x20, 0x30, 0x40, 0x70, 0x72, 0x80, 0x82})
        h(c, &MotorSim::OnModulePoll);
    for (std::uint8_t c : {0x61, 0x62, 0x63})
        h(c, &MotorSim::OnProgram);
    h(0x53, &MotorSim::OnSamples);
}

// --- special commands --------------------------------------------------------------------

bool MotorSim::SilentNow() const
{
    return MonotonicUs() < silentUntilUs_;
}

void MotorSim::RestartLocked(int ms)
{
    silentUntilUs_ = MonotonicUs() + static_cast<std::int64_t>(ms) * 1000;
    ++restarts_;
    acksSinceCommand_ = 0;
    regs_[2] = 0;
    stopCountdown_ = -1;
}

void MotorSim::SetRestart(int acks, int restartMs)
{
    std::lock_guard lock(mutex_);
    restartAcks_ = acks;
    restartMs_ = restartMs;
}

void MotorSim::SilenceFor(int ms)
{
    std::lock_guard lock(mutex_);
    silentUntilUs_ = MonotonicUs() + static_cast<std::int64_t>(ms) * 1000;
}

bool MotorSim::Restarting() const
{
    std::lock_guard lock(mutex_);
    return SilentNow();
}

int MotorSim::Restarts() const
{
    std::lock_guard lock(mutex_);
    return restarts_;
}

void MotorSim::SetStopSettleReads(int n)
{
    std::lock_guard lock(mutex_);
    stopSettleReads_ = n;
}

std::vector<std::uint8_t> MotorSim::OnSpecial(const SimFrame& f)
{
    std::lock_guard lock(mutex_);
    switch (f.command) {
    case 0x54:
        // The motor stops; its mode register reads 15 after a short while.
        acksSinceCommand_ = 0;
        stopCountdown_ = stopSettleReads_;
        return Ack();
    default:  // 0x56 save, 0x57 reset
        if (++acksSinceCommand_ >= restartAcks_) {
            // This acknowledgement is the last one before the restart.
            const int ms = restartMs_;
            RestartLocked(ms);
        }
        return Ack();
    }
}

std::vector<std::uint8_t> MotorSim::OnJobRead(const SimFrame& f)
{
    if (f.fields.size() == 2 && f.fields[1] == 2) {
        std::lock_guard lock(mutex_);
        if (stopCountdown_ > 0 && --stopCountdown_ == 0)
            regs_[2] = 15;
        else if (stopCountdown_ == 0)
            regs_[2] = 15;
    }
    return OnRead(f);
}

std::vector<std::uint8_t> MotorSim::OnJobWrite(const SimFrame& f)
{
    std::vector<std::uint8_t> reply = OnWrite(f);
    if (reply.empty())
        return reply;
    const std::uint8_t reg = f.fields[1];
    const int width = f.fields[2];
    std::lock_guard lock(mutex_);
    const std::int32_t v = regs_[reg];
    if (reg == 2 && width == 4 && v == 256) {
        // Load defaults: the motor restarts with its registers cleared.
        const std::int32_t r1 = regs_[1];
        regs_.fill(0);
        regs_[1] = r1;
        RestartLocked(restartMs_);
        return reply;
    }
    // Recording starts: family 0 by bits 0xC0 of register 36, family 1 by bits
    // 3 of it, family 2 by register 118 := 2 after 117 := 1.
    const bool start = (family_ == 0 && reg == 36 && (v & 0xC0) == 0xC0) ||
                       (family_ == 1 && reg == 36 && (v & 3) == 3) ||
                       (family_ == 2 && reg == 118 && v == 2 && regs_[117] == 1);
    if (start) {
        ++recordings_;
        sampleCursor_ = 0;
    }
    return reply;
}

// --- modules -------------------------------------------------------------------------------------

std::vector<std::uint8_t> MotorSim::ModuleInfoFor(int type)
{
    std::vector<std::uint8_t> info(20, 0);
    switch (type) {
    case 1:  // logic module: format 3, format version 1.11, RS-485 address 5, power-up homing, mode 2
        info = {1, 0x12, 3, 0x1B, 5, 1, 2};
        break;
    case 2:  // Profibus: station 7, bootloader 0x01020304
        info = {2, 0x10, 7, 0x04, 0x03, 0x02, 0x01};
        break;
    case 3:  // CANopen: station 9, baud code 2
        info = {3, 0x11, 9, 2};
        break;
    case 4:  // programmable: memory limit 4096, code version 0x11, bootloader 0x13
        info.assign(32, 0);
        info[0] = 4;
        info[1] = 0x21;
        info[2] = 0x00;
        info[3] = 0x10;
        info[5] = 0x11;
        info[6] = 0x13;
        return info;
    case 5:
        info = {5, 0x10};
        break;
    case 6:
        info = {6, 0x12};
        break;
    default:
        return {};
    }
    info.resize(20, 0);
    return info;
}

void MotorSim::SetModuleType(int type)
{
    SetModuleInfo(ModuleInfoFor(type));
}

std::vector<std::uint8_t> MotorSim::ModuleInfo() const
{
    std::lock_guard lock(mutex_);
    return moduleInfo_;
}

void MotorSim::SetEepromBusyMs(int ms)
{
    std::lock_guard lock(mutex_);
    eepromBusyMs_ = ms;
}

void MotorSim::SetModuleIo(std::vector<std::uint8_t> block)
{
    std::lock_guard lock(mutex_);
    moduleIo_ = std::move(block);
}

void MotorSim::SetProfibusStatus(std::vector<std::uint8_t> block)
{
    std::lock_guard lock(mutex_);
    profibus_ = std::move(block);
}

void MotorSim::SetModuleStatus(std::vector<std::uint8_t> block)
{
    std::lock_guard lock(mutex_);
    netStatus_ = std::move(block);
}

void MotorSim::SetDebugText(std::string text)
{
    std::lock_guard lock(mutex_);
    debugText_ = std::move(text);
}

std::vector<std::uint8_t> MotorSim::SeqletFormat() const
{
    std::lock_guard lock(mutex_);
    return format_;
}

int MotorSim::FormatBlocksWritten() const
{
    std::lock_guard lock(mutex_);
    return formatBlocks_;
}

std::pair<int, int> MotorSim::DeviceNetSettings() const
{
    std::lock_guard lock(mutex_);
    return deviceNet_;
}

std::vector<std::uint8_t> MotorSim::FsSetup() const
{
    std::lock_guard lock(mutex_);
    return fsSetup_;
}

std::vector<std::uint8_t> MotorSim::OnModuleCommand(const SimFrame& f)
{
    std::lock_guard lock(mutex_);
    if (moduleInfo_.empty())
        return {};
    switch (f.command) {
    case 0x31:  // a format block: number and 128 bytes
        if (f.fields.size() != 2 + 128 || f.fields[1] > 3)
            return {};
        std::copy(f.fields.begin() + 2, f.fields.end(), format_.begin() + 128 * f.fields[1]);
        ++formatBlocks_;
        return Busy();
    case 0x34: {  // program information: echo 0x31, one byte, 128 bytes
        std::vector<std::uint8_t> data{format_[505]};
        data.insert(data.end(), format_.begin(), format_.begin() + 128);
        return Reply(0x31, WithHead(std::move(data), false));
    }
    case 0x35:  // EEPROM write: busy until done
        eepromForever_ = eepromBusyMs_ < 0;
        eepromBusyUntilUs_ = MonotonicUs() + static_cast<std::int64_t>(std::max(eepromBusyMs_, 0)) * 1000;
        return Busy();
    case 0x73:
        if (f.fields.size() != 4 || f.fields[1] != 2)
            return {};
        deviceNet_ = {f.fields[2], f.fields[3]};
        return Ack();
    case 0x83:
        if (f.fields.size() < 2 || f.fields.size() != 2u + f.fields[1])
            return {};
        fsSetup_.assign(f.fields.begin() + 2, f.fields.end());
        return Ack();
    default:  // other module commands: busy
        return Busy();
    }
}

std::vector<std::uint8_t> MotorSim::OnModulePoll(const SimFrame& f)
{
    if (f.fields.size() != 1)
        return {};
    {
        std::lock_guard lock(mutex_);
        const int type = moduleInfo_.empty() ? 0 : moduleInfo_[0];
        switch (f.command) {
        case 0x5F:
            if (eepromForever_ || MonotonicUs() < eepromBusyUntilUs_)
                return Busy();
            break;
        case 0x30:
            if (type != 1)
                return {};
            return Reply(0x30, WithHead(moduleIo_, false));
        case 0x40:
            if (type != 2)
                return {};
            return Reply(0x40, WithHead(profibus_, true));
        case 0x20:
        case 0x70:
        case 0x80: {
            if ((f.command == 0x20 && type != 3) || (f.command == 0x70 && type != 5) ||
                (f.command == 0x80 && type != 6))
                return {};
            std::vector<std::uint8_t> text(debugText_.begin(), debugText_.end());
            debugText_.clear();
            return Reply(f.command, WithHead(std::move(text), true));
        }
        case 0x72:
        case 0x82:
            if ((f.command == 0x72 && type != 5) || (f.command == 0x82 && type != 6))
                return {};
            return Reply(f.command, WithHead(netStatus_, true));
        default:
            return {};
        }
    }
    return OnModuleInfo(f);
}

// --- programmable module -----------------------------------------------------------------------

std::vector<std::uint8_t> MotorSim::ProgramMemory() const
{
    std::lock_guard lock(mutex_);
    return program_;
}

void MotorSim::SetProgramMemory(std::vector<std::uint8_t> memory)
{
    std::lock_guard lock(mutex_);
    memory.resize(8192, 0);
    program_ = std::move(memory);
}

int MotorSim::RunState() const
{
    std::lock_guard lock(mutex_);
    return runState_;
}

int MotorSim::ProgramCounter() const
{
    std::lock_guard lock(mutex_);
    return programCounter_;
}

int MotorSim::Outputs() const
{
    std::lock_guard lock(mutex_);
    return outputs_;
}

void MotorSim::SetProgramStatusLength(int length)
{
    std::lock_guard lock(mutex_);
    statusLength_ = length;
}

void MotorSim::SetUploadExtraBytes(int n)
{
    std::lock_guard lock(mutex_);
    uploadExtra_ = n;
}

std::uint16_t MotorSim::CodeChecksum(const std::vector<std::uint8_t>& memory)
{
    // The module sums its code: the bytes of the image's code block.
    const std::size_t length =
        memory.size() >= 2 ? std::min<std::size_t>(memory[0] | (memory[1] << 8), memory.size()) : 0;
    std::size_t at = 2;
    while (at < length) {
        const std::uint8_t block = memory[at++];
        if (block == 0xA3) {  // parameter block: four bytes
            at += 4;
            continue;
        }
        if ((block != 0xA1 && block != 0xA2) || at + 4 > length)
            break;
        const std::size_t n = memory[at] | (memory[at + 1] << 8);
        at += 4;
        if (block == 0xA1) {
            std::uint16_t sum = 0;
            for (std::size_t i = at; i < std::min(at + n, length); ++i)
                sum = static_cast<std::uint16_t>(sum + memory[i]);
            return sum;
        }
        at += n;
    }
    return 0;
}

std::vector<std::uint8_t> MotorSim::OnProgram(const SimFrame& f)
{
    std::lock_guard lock(mutex_);
    if (moduleInfo_.empty() || moduleInfo_[0] != 4 || f.fields.size() < 2)
        return {};
    const auto& x = f.fields;
    switch (f.command) {
    case 0x61: {
        const std::size_t n = x[1];
        if (x.size() != 2 + n || n < 1)
            return {};
        // Fields: the count, the kind, then the kind's bytes.
        const int kind = x[2];
        switch (kind) {
        case 1: runState_ = 1; break;
        case 2: runState_ = 0; break;
        case 3: runState_ = 3; break;
        case 4:  // single step over code addresses a..b
            if (n == 5) {
                runState_ = 2;
                programCounter_ = x[3] | (x[4] << 8);
            }
            break;
        case 5:
            if (n == 3) {  // family 2: set mask, clear mask
                outputs_ = (outputs_ | x[3]) & ~x[4];
            } else if (n == 2) {  // low nibble set, high nibble clear
                outputs_ = (outputs_ | (x[3] & 0x0F)) & ~(x[3] >> 4);
            }
            break;
        default: break;
        }
        std::vector<std::uint8_t> status(static_cast<std::size_t>(std::max(statusLength_, 0)), 0);
        const std::uint16_t sum = CodeChecksum(program_);
        const std::uint8_t head[] = {static_cast<std::uint8_t>(runState_),
                                     static_cast<std::uint8_t>(programCounter_ & 0xFF),
                                     static_cast<std::uint8_t>(programCounter_ >> 8),
                                     static_cast<std::uint8_t>(outputs_),
                                     static_cast<std::uint8_t>(sum & 0xFF),
                                     static_cast<std::uint8_t>(sum >> 8)};
        for (std::size_t i = 0; i < std::size(head) && i < status.size(); ++i)
            status[i] = head[i];
        for (std::size_t i = std::size(head); i < status.size(); ++i)
            status[i] = static_cast<std::uint8_t>(0x40 + i);
        return Reply(0x61, WithHead(std::move(status), true));
    }
    case 0x62: {  // count n + 1, block, n bytes
        if (x.size() < 3 || x.size() != 2u + x[1] || x[1] < 2)
            return {};
        const std::size_t at = 128u * x[2];
        if (at + (x.size() - 3) > program_.size())
            return {};
        std::copy(x.begin() + 3, x.end(), program_.begin() + static_cast<std::ptrdiff_t>(at));
        return Ack();
    }
    case 0x63: {  // 3, count, offset low, offset high
        if (x.size() != 5 || x[1] != 3)
            return {};
        const std::size_t count = x[2] + static_cast<std::size_t>(std::max(uploadExtra_, 0));
        const std::size_t offset = x[3] | (x[4] << 8);
        std::vector<std::uint8_t> data(count, 0);
        for (std::size_t i = 0; i < count && offset + i < program_.size(); ++i)
            data[i] = program_[offset + i];
        return Reply(0x63, WithHead(std::move(data), true));
    }
    default:
        return {};
    }
}

// --- sampling -------------------------------------------------------------------------------------

std::int32_t MotorSim::Wave(int channel, int r)
{
    auto mod = [](int a, int m) { return ((a % m) + m) % m; };
    switch (channel) {
    case 0: return mod(r * 97, 4001) - 2000;
    case 1: return 30000 - mod(r * 5311, 60001);
    case 2: return 0x12000 + r * 300;
    default: return mod(r, 8) < 4 ? 3 : -3;
    }
}

int MotorSim::Recordings() const
{
    std::lock_guard lock(mutex_);
    return recordings_;
}

std::vector<std::uint8_t> MotorSim::OnSamples(const SimFrame& f)
{
    std::lock_guard lock(mutex_);
    const bool recorded = recordings_ > 0;
    auto value = [recorded](int c, int r) { return recorded ? Wave(c, r) : 0; };
    if (family_ != 2) {
        if (f.fields.size() != 1)
            return {};
        // One sample of the four channels per request, 16 bits each in family
        // 0 (a 32-bit register sends its low half), 32 bits in family 1.
        const int r = sampleCursor_++;
        const int width = family_ == 1 ? 4 : 2;
        std::vector<std::uint8_t> data;
        for (int c = 0; c < 4; ++c)
            AppendLE(data, static_cast<std::uint32_t>(value(c, r)), width);
        return Reply(0x53, WithHead(std::move(data), true));
    }
    if (f.fields.size() != 4 || f.fields[3] > 64)
        return {};
    const int first = static_cast<std::int16_t>(static_cast<std::uint16_t>(f.fields[1] | (f.fields[2] << 8)));
    const int count = f.fields[3];
    // Per sample a tag byte, channel 0 in its top bit pair (1: an 8-bit delta
    // follows, 2: a 16-bit one), then the deltas; the sums start at 0.
    std::vector<std::uint8_t> fields{0};
    std::uint16_t acc[4] = {0, 0, 0, 0};
    for (int j = 0; j < count; ++j) {
        std::uint8_t tag = 0;
        std::vector<std::uint8_t> deltas;
        for (int c = 0; c < 4; ++c) {
            const auto v = static_cast<std::uint16_t>(value(c, first + j));
            const auto d = static_cast<std::int16_t>(static_cast<std::uint16_t>(v - acc[c]));
            acc[c] = v;
            if (d == 0)
                continue;
            if (d >= -128 && d <= 127) {
                tag = static_cast<std::uint8_t>(tag | (1 << (2 * (3 - c))));
                deltas.push_back(static_cast<std::uint8_t>(d));
            } else {
                tag = static_cast<std::uint8_t>(tag | (2 << (2 * (3 - c))));
                deltas.push_back(static_cast<std::uint8_t>(d & 0xFF));
                deltas.push_back(static_cast<std::uint8_t>((d >> 8) & 0xFF));
            }
        }
        fields.push_back(tag);
        fields.insert(fields.end(), deltas.begin(), deltas.end());
    }
    return Reply(0x53, fields);
}

}  // namespace quenor::motorsim
