#include "tools/motorsim/bootloader.h"

#include "platform/clock.h"

#include <map>
#include <mutex>
#include <random>

namespace quenor::motorsim {

namespace {

struct VariantRow {
    int baud, attention, reply;
};
constexpr VariantRow kVariants[] = {{57600, 0x4C, 0x5A}, {38400, 0x5C, 0x4A}, {19200, 0x6C, 0x6A},
                                    {19200, 0x7C, 0x7A}, {19200, 0x8C, 0x8A}, {19200, 0x7C, 0x7A}};
constexpr int kRates[] = {2400, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

std::uint16_t Crc16(const std::uint8_t* data, std::size_t n)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        crc = static_cast<std::uint16_t>(crc ^ (data[i] << 8));
        for (int b = 0; b < 8; ++b)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

}  // namespace

int SimBootloader::JumpCommandFor(int variant, int hardware, int moduleType)
{
    switch (variant) {
    case 0:
        return 0x56;
    case 1:
        if (hardware == 1)
            return moduleType == 4 ? 0x60 : 0x33;
        if (hardware == 2)
            return 0x42;
        if (hardware == 4)
            return moduleType == 1 ? 0x33 : 0x60;
        return -1;
    case 3:
        return hardware == 3 ? 0x21 : hardware == 5 ? 0x71 : hardware == 6 ? 0x81 : -1;
    default:
        return 0x57;
    }
}

int SimBootloader::BaudFor(int variant)
{
    return kVariants[variant].baud;
}

struct SimBootloader::Core {
    enum class State { Off, Attention, Command, Payload };

    Core(MotorSim& sim, BootloaderConfig config) : sim_(sim), config_(config) {}
    void OnBytes(const std::uint8_t* data, std::size_t n);
    void Enter(const std::shared_ptr<Core>& self);
    void HandleFrame(int command, const std::vector<std::uint8_t>& data);
    void PayloadDone();
    void Reply(int command, std::vector<std::uint8_t> data);

    MotorSim& sim_;
    BootloaderConfig config_;

    mutable std::mutex mutex_;
    State state_ = State::Off;
    int expectedBaud_ = 0;
    std::vector<std::uint8_t> buf_;
    // A payload being received.
    bool verifying_ = false;
    std::uint32_t address_ = 0;
    std::size_t need_ = 0;
    std::vector<std::uint8_t> payload_;

    std::map<std::uint32_t, std::uint8_t> flash_;
    std::vector<int> erased_;
    std::vector<int> commands_;
    int starts_ = 0;
    int writes_ = 0;
    int lost_ = 0;
    std::int64_t lastByteMs_ = 0;
    int failFirst_ = 0, failCount_ = 0, failStatus_ = 0;
    struct Drop {
        int after = 0;  // replies still sent before the drops
        int count = 0;  // replies dropped then
    };
    std::map<int, Drop> drops_;
    std::mt19937 rng_{1};
    double dropChance_ = 0.0;
};

SimBootloader::SimBootloader(MotorSim& sim, BootloaderConfig config)
    : sim_(sim), jump_(JumpCommandFor(config.variant, config.hardware, config.moduleType)),
      core_(std::make_shared<Core>(sim, config))
{
    if (jump_ >= 0) {
        std::weak_ptr<Core> weak = core_;
        sim_.SetHandler(static_cast<std::uint8_t>(jump_), [weak](MotorSim&, const SimFrame&) {
            if (auto core = weak.lock())
                core->Enter(core);  // the firmware jumps into its bootloader; no reply
            return std::vector<std::uint8_t>{};
        });
    }
}

SimBootloader::~SimBootloader()
{
    if (jump_ >= 0)
        sim_.SetHandler(static_cast<std::uint8_t>(jump_), nullptr);
    sim_.SetRawHandler(nullptr);
}

void SimBootloader::Core::Enter(const std::shared_ptr<Core>& self)
{
    {
        std::lock_guard lock(mutex_);
        state_ = State::Attention;
        expectedBaud_ = kVariants[config_.variant].baud;
        buf_.clear();
    }
    sim_.SetRawHandler([self](MotorSim&, const std::uint8_t* data, std::size_t n) { self->OnBytes(data, n); });
}

void SimBootloader::PowerCycle()
{
    core_->Enter(core_);
}

bool SimBootloader::InBootloader() const
{
    std::lock_guard lock(core_->mutex_);
    return core_->state_ != Core::State::Off;
}

void SimBootloader::Core::Reply(int command, std::vector<std::uint8_t> data)
{
    {
        std::lock_guard lock(mutex_);
        if (auto it = drops_.find(command); it != drops_.end() && it->second.count > 0) {
            if (it->second.after > 0) {
                --it->second.after;
            } else {
                --it->second.count;
                return;
            }
        }
        if (dropChance_ > 0 && std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < dropChance_)
            return;
    }
    std::vector<std::uint8_t> frame;
    frame.reserve(data.size() + 3);
    frame.push_back(static_cast<std::uint8_t>(0xA0 + command));
    frame.push_back(static_cast<std::uint8_t>(data.size()));
    for (std::uint8_t b : data)
        frame.push_back(b);
    unsigned sum = 0;
    for (std::uint8_t b : frame)
        sum += b;
    frame.push_back(static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    sim_.WriteRaw(frame);
}

void SimBootloader::Core::OnBytes(const std::uint8_t* data, std::size_t n)
{
    std::unique_lock lock(mutex_);
    if (sim_.LineBaud() != expectedBaud_) {
        lost_ += static_cast<int>(n);  // framing errors at the wrong speed
        return;
    }
    // A payload that stops coming is given up after a pause, as the device's
    // byte time-out does, so the loader's next sync is heard.
    const std::int64_t now = MonotonicMs();
    if (state_ == State::Payload && now - lastByteMs_ > config_.byteTimeoutMs) {
        state_ = State::Command;
        payload_.clear();
        buf_.clear();
    }
    lastByteMs_ = now;
    std::size_t i = 0;
    if (state_ == State::Attention) {
        for (; i < n; ++i) {
            if (data[i] == kVariants[config_.variant].attention) {
                state_ = State::Command;
                if (config_.answerAttention) {
                    lock.unlock();
                    sim_.WriteRaw({static_cast<std::uint8_t>(kVariants[config_.variant].reply)});
                    lock.lock();
                }
                ++i;
                break;
            }
        }
        // The rest of the attention pattern is no command: skip it.
        return;
    }
    buf_.insert(buf_.end(), data + i, data + n);
    for (;;) {
        if (state_ == State::Payload) {
            const std::size_t k = std::min(need_ - payload_.size(), buf_.size());
            payload_.insert(payload_.end(), buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(k));
            buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(k));
            if (payload_.size() < need_)
                return;
            state_ = State::Command;
            lock.unlock();
            PayloadDone();
            lock.lock();
            continue;
        }
        if (state_ != State::Command)
            return;
        // Skip what cannot start a frame (zeros, the attention pattern).
        std::size_t skip = 0;
        while (skip < buf_.size() && (buf_[skip] < 0xA0 || buf_[skip] > 0xAF))
            ++skip;
        buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(skip));
        if (buf_.size() < 2 || buf_.size() < static_cast<std::size_t>(buf_[1]) + 3u)
            return;
        const std::size_t len = static_cast<std::size_t>(buf_[1]) + 3u;
        unsigned sum = 0;
        for (std::size_t k = 0; k < len; ++k)
            sum += buf_[k];
        if ((sum & 0xFF) != 0) {
            buf_.erase(buf_.begin());
            continue;
        }
        const int command = buf_[0] - 0xA0;
        std::vector<std::uint8_t> args(buf_.begin() + 2, buf_.begin() + static_cast<std::ptrdiff_t>(len - 1));
        buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(len));
        commands_.push_back(command);
        lock.unlock();
        HandleFrame(command, args);
        lock.lock();
    }
}

void SimBootloader::Core::HandleFrame(int command, const std::vector<std::uint8_t>& d)
{
    const int v = config_.variant;
    switch (command) {
    case 0:
        Reply(0, {});
        break;
    case 8:
        Reply(8, {static_cast<std::uint8_t>(config_.version >> 8), static_cast<std::uint8_t>(config_.version),
                  static_cast<std::uint8_t>(config_.revision), static_cast<std::uint8_t>(config_.hardware)});
        break;
    case 11:
        if (d.size() == 1 && d[0] < 9) {
            Reply(11, {});
            std::lock_guard lock(mutex_);
            expectedBaud_ = kRates[d[0]];
        }
        break;
    case 2:
        if (d.size() == 1) {
            Reply(2, {0});
            {
                std::lock_guard lock(mutex_);
                erased_.push_back(d[0]);
            }
            if (v == 2) {
                if (!sim_.Pause(config_.eraseDelayMs))
                    return;
                Reply(4, {0});
            } else if (v == 3 || v == 5) {
                Reply(4, {0});
            }
        }
        break;
    case 1:
    case 10: {
        std::uint32_t a = 0;
        std::size_t l = 0;
        if (command == 10 || v == 1) {
            if (d.size() != 4)
                return;
            a = static_cast<std::uint32_t>(d[0] << 8 | d[1]);
            l = static_cast<std::size_t>(d[2] << 8 | d[3]);
        } else {
            if (d.size() != 5)
                return;
            a = static_cast<std::uint32_t>(d[0] << 16 | d[1] << 8 | d[2]);
            l = static_cast<std::size_t>(d[3] << 8 | d[4]);
            if (v != 2)
                l += 2;  // the header counts the data without its CRC-16
        }
        {
            std::lock_guard lock(mutex_);
            verifying_ = command == 10;
            address_ = a;
            need_ = l + (command == 1 && v == 2 ? 4 : 0);
            payload_.clear();
            state_ = State::Payload;
        }
        Reply(command, {});
        break;
    }
    case 7: {
        std::lock_guard lock(mutex_);
        ++starts_;
        state_ = State::Off;
        sim_.SetRawHandler(nullptr);  // the new firmware runs
        break;
    }
    default:
        break;
    }
}

void SimBootloader::Core::PayloadDone()
{
    int writeStatus = 0;
    {
        std::lock_guard lock(mutex_);
        const int v = config_.variant;
        if (verifying_) {
            for (std::size_t i = 0; i < payload_.size(); ++i) {
                auto it = flash_.find(address_ + static_cast<std::uint32_t>(i));
                if (it == flash_.end() || it->second != payload_[i]) {
                    writeStatus = 3;
                    break;
                }
            }
        } else {
            std::size_t dataLen = payload_.size();
            bool good = false;
            if (v == 2) {
                dataLen -= 4;
                const std::uint8_t* c = payload_.data() + dataLen;
                const std::uint32_t sent = static_cast<std::uint32_t>(c[0] | c[1] << 8 | c[2] << 16) |
                                           static_cast<std::uint32_t>(c[3]) << 24;
                good = sent == ~Crc32(payload_.data(), dataLen);
            } else if (dataLen >= 2) {
                const std::uint16_t crc = Crc16(payload_.data(), dataLen - 2);
                good = payload_[dataLen - 2] == (crc >> 8) && payload_[dataLen - 1] == (crc & 0xFF);
            }
            if (!good) {
                writeStatus = 2;
            } else {
                ++writes_;
                if (writes_ >= failFirst_ && writes_ < failFirst_ + failCount_)
                    writeStatus = failStatus_;
                else
                    for (std::size_t i = 0; i < dataLen; ++i)
                        flash_[address_ + static_cast<std::uint32_t>(i)] = payload_[i];
            }
        }
    }
    Reply(4, {0});
    Reply(4, {static_cast<std::uint8_t>(writeStatus)});
}

std::map<std::uint32_t, std::uint8_t> SimBootloader::Flash() const
{
    std::lock_guard lock(core_->mutex_);
    return core_->flash_;
}

std::vector<int> SimBootloader::Erased() const
{
    std::lock_guard lock(core_->mutex_);
    return core_->erased_;
}

int SimBootloader::Starts() const
{
    std::lock_guard lock(core_->mutex_);
    return core_->starts_;
}

int SimBootloader::Writes() const
{
    std::lock_guard lock(core_->mutex_);
    return core_->writes_;
}

std::vector<int> SimBootloader::Commands() const
{
    std::lock_guard lock(core_->mutex_);
    return core_->commands_;
}

int SimBootloader::LostBytes() const
{
    std::lock_guard lock(core_->mutex_);
    return core_->lost_;
}

void SimBootloader::FailWrites(int first, int count, int status)
{
    std::lock_guard lock(core_->mutex_);
    core_->failFirst_ = first;
    core_->failCount_ = count;
    core_->failStatus_ = status;
}

void SimBootloader::DropReplies(int command, int count, int after)
{
    std::lock_guard lock(core_->mutex_);
    core_->drops_[command] = {after, count};
}

void SimBootloader::SetRandomDrops(std::uint32_t seed, double chance)
{
    std::lock_guard lock(core_->mutex_);
    core_->rng_.seed(seed);
    core_->dropChance_ = chance;
}

}  // namespace quenor::motorsim
