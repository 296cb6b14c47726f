#pragma once
// The module pages' requests carried out on the communication thread. A
// request that the full ring refuses is not thrown to the page: onRingFull
// tells the user, and the request answers false.

#include "app/moduleblocks.h"
#include "link/comthread.h"

#include <functional>
#include <utility>

namespace quenor {

class ComModuleRequests : public ModuleRequests {
public:
    ComModuleRequests(ComThread& com, std::function<void()> onRingFull)
        : com_(com), onRingFull_(std::move(onRingFull))
    {
    }

    void ClearProfibusPending() override { com_.ClearProfibusPending(); }
    void ClearModuleIoPending() override { com_.ClearModuleIoPending(); }
    bool RequestDeviceNetSettings(int baudIndex, int node) override
    {
        return Guard([&] { return com_.RequestDeviceNetSettings(baudIndex, node); });
    }
    bool RequestFsSetup(std::span<const std::uint8_t> bytes) override
    {
        return Guard([&] { return com_.RequestFsSetup(bytes); });
    }
    bool RequestModuleCommand(int command) override
    {
        return Guard([&] { return com_.RequestModuleCommand(command); });
    }
    bool RequestSeqletFormatWrite(std::span<const std::uint8_t> format, bool powerUp, int address) override
    {
        return Guard([&] { return com_.RequestSeqletFormatWrite(format, powerUp, address); });
    }

private:
    template <class F>
    bool Guard(F&& request)
    {
        try {
            return request();
        } catch (const ComIntException&) {
            if (onRingFull_)
                onRingFull_();
            return false;
        }
    }

    ComThread& com_;
    std::function<void()> onRingFull_;
};

}  // namespace quenor
