#include "platform/messages.h"

#include <utility>

namespace quenor {

namespace {

Message Make(int msg, std::int64_t wParam, std::int64_t lParam)
{
    Message m;
    m.msg = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    return m;
}

}  // namespace

void PostMessage(MessageTarget* target, int msg, std::int64_t wParam, std::int64_t lParam)
{
    if (!target)
        return;
    target->Post(Make(msg, wParam, lParam));
}

void PostText(MessageTarget* target, int msg, std::int64_t wParam, std::int64_t lParam, std::string text)
{
    if (!target)
        return;
    Message m = Make(msg, wParam, lParam);
    m.text = std::move(text);
    m.hasText = true;
    target->Post(std::move(m));
}

void PostData(MessageTarget* target, int msg, std::int64_t wParam, std::int64_t lParam,
              std::vector<std::uint8_t> data)
{
    if (!target)
        return;
    Message m = Make(msg, wParam, lParam);
    m.data = std::move(data);
    m.hasData = true;
    target->Post(std::move(m));
}

std::vector<std::uint8_t> ConnectionNumberData(std::uint32_t number)
{
    return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
}

std::uint32_t ConnectionNumberOf(const Message& m)
{
    if (m.data.size() != 4)
        return 0;
    return m.data[0] | (m.data[1] << 8) | (m.data[2] << 16) | (static_cast<std::uint32_t>(m.data[3]) << 24);
}

}  // namespace quenor
