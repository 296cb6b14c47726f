#pragma once
// Posted messages between the threads and the windows.
//
// A worker never calls a window. It posts a message (number, two integers and,
// where the message carries data, an owned payload) to a MessageTarget, which
// delivers it later on the receiver's own thread. Payloads travel by value, so
// no heap pointer crosses a thread and nothing has to be freed by the receiver.

#include <cstdint>
#include <string>
#include <vector>

namespace quenor {

constexpr int WM_USER = 1024;

// Main window messages.
enum : int {
    UM_CONTROLCHANGED = WM_USER + 1,
    UM_PARAMERROR = WM_USER + 2,
    UM_REGISTERVALUE = WM_USER + 3,
    UM_LINKSTATE = WM_USER + 4,
    UM_BINDCONTROL = WM_USER + 5,
    UM_ADDPOLL = WM_USER + 6,
    UM_PROFISTATUS = WM_USER + 8,
    UM_MODULESETUP = WM_USER + 9,
    UM_PROGRESS = WM_USER + 10,
    UM_MODULEIO = WM_USER + 11,
    UM_WRITEREGISTER = WM_USER + 12,
    UM_BATCHSTATUS = WM_USER + 13,
    UM_CANOPENDEBUG = WM_USER + 15,
    UM_REGISTERBLOCK = WM_USER + 16,
    UM_PROGRAMUPLOADED = WM_USER + 17,
    UM_FILTERCHOICE = WM_USER + 18,
    UM_READREGISTER = WM_USER + 19,
    UM_OPENFILE = WM_USER + 20,
    UM_MODULEDEBUG = WM_USER + 21,
    UM_DEVICENETSTATUS = WM_USER + 22,
    UM_STOPPROGRAM = WM_USER + 23,
    UM_SETOUTPUT = WM_USER + 24,
};

// Scope window messages.
enum : int {
    UM_SAMPLESTATE = WM_USER + 100,
    UM_TRANSFERDONE = WM_USER + 101,
};

// UM_LINKSTATE's wParam: what happened to the link.
enum class LinkNotice : int {
    Lost = 1,           // the motor is not answering (or the settings change)
    Connected = 2,      // lParam: register 1 of the motor; data: the connection's number
    RescanStarted = 6,  // a special command makes the motor restart
    Reconnected = 7,    // the motor answered again after the restart; data: the connection's number
    ErrorCount = 8,     // lParam: failed jobs since the connect
};

// UM_PARAMERROR's wParam: notices of the controls and the link.
enum class ParamNotice : int {
    Accepted = 0,        // clears the error text
    BelowMinimum = 1,    // text: the limit
    AboveMaximum = 2,    // text: the limit
    InvalidNumber = 3,
    LinkError = 4,       // lParam: the serial error's code (2: unsupported baud rate), or 1
    Reconnecting = 5,    // clears the link error
    ZeroNotAllowed = 6,
    RequestsRefused = 100,  // ours: a worker thread's request met a full request ring
    // Ours: the reply to a command that is never sent twice (lParam: the
    // programmable module's run 1 or single step 4) did not come; the
    // command may have arrived.
    CommandUnconfirmed = 101,
};

constexpr int operator+(LinkNotice n) { return static_cast<int>(n); }
constexpr int operator+(ParamNotice n) { return static_cast<int>(n); }

struct Message {
    int msg = 0;
    std::int64_t wParam = 0;
    std::int64_t lParam = 0;
    std::vector<std::uint8_t> data;  // owned binary payload (status blocks, module info, ...)
    std::string text;                // owned 8-bit text payload (progress text, limit text, ...)
    bool hasData = false;            // the message carries a buffer (it may be empty)
    bool hasText = false;            // the message carries a text (it may be empty)
};

// Anything that accepts posted messages. Post may be called from any thread and
// must not block for long; delivery happens later, in posting order.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void Post(Message m) = 0;
};

// Convenience posters; a null target swallows the message.
void PostMessage(MessageTarget* target, int msg, std::int64_t wParam, std::int64_t lParam);
void PostText(MessageTarget* target, int msg, std::int64_t wParam, std::int64_t lParam, std::string text);
void PostData(MessageTarget* target, int msg, std::int64_t wParam, std::int64_t lParam,
              std::vector<std::uint8_t> data);

// The number of a connection of the link, as UM_LINKSTATE's Connected and
// Reconnected carry it (four bytes, low first). 0 is no connection: a
// message without the number reads as 0.
std::vector<std::uint8_t> ConnectionNumberData(std::uint32_t number);
std::uint32_t ConnectionNumberOf(const Message& m);

}  // namespace quenor
