#pragma once
// Message windows: numbered messages posted from any thread and delivered, in posting
// order, on the thread that created the window when that thread pumps.
//
// Each thread that creates a window gets one FIFO queue shared by all its windows.
// PostMessage only appends to that queue; it never waits for the receiver. A window
// is addressed by its handle, which is never reused, so posting to a window that is
// gone is safe: the message is dropped, and its Data freed.
//
// A window must be destroyed on the thread that created it (the thread that also
// delivers its messages). A handler may destroy its own window; later messages for it
// are dropped.

#include <cstdint>
#include <functional>
#include <memory>

namespace velmysql {

using TWindowHandle = uint64_t;  // 0 is no window

struct TMessage {
    uint32_t Msg = 0;
    intptr_t WParam = 0;
    intptr_t LParam = 0;
    // Optional owned payload (a text, a dataset...). It travels with the message and is
    // freed with it, also when the message is dropped.
    std::shared_ptr<void> Data;
};

using TMessageHandler = std::function<void(TMessage& Message)>;

class TMessageWindow {
public:
    explicit TMessageWindow(TMessageHandler Handler);
    ~TMessageWindow();
    TMessageWindow(const TMessageWindow&) = delete;
    TMessageWindow& operator=(const TMessageWindow&) = delete;

    TWindowHandle Handle() const { return handle_; }

private:
    friend int ProcessMessages();
    TWindowHandle handle_;
    TMessageHandler handler_;
};

// Queues a message for Window's thread. Answers false (and drops the message) when the
// window does not exist.
bool PostMessage(TWindowHandle Window, uint32_t Msg, intptr_t WParam, intptr_t LParam,
                 std::shared_ptr<void> Data = {});

// Delivers the messages pending for the calling thread's windows when it was called
// (not those that handlers post meanwhile). Answers how many were delivered. When a
// handler raises, the messages not yet delivered stay queued and the exception passes on.
int ProcessMessages();

// Waits up to TimeoutMs (INFINITE: no limit) until a message is pending for the calling
// thread, then delivers as ProcessMessages does. Answers how many were delivered.
int WaitAndProcessMessages(uint32_t TimeoutMs);

}  // namespace velmysql
