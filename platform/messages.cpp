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

}  // namespace quenor
