#include "velmysql/rtl/messages.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <unordered_map>

#include "velmysql/rtl/syncobjs.h"

namespace velmysql {

namespace {

struct Posted {
    TWindowHandle window;
    TMessage message;
};

struct ThreadQueue {
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<Posted> items;
};

struct WindowEntry {
    TMessageWindow* window;
    std::shared_ptr<ThreadQueue> queue;
};

struct Registry {
    std::mutex lock;
    std::unordered_map<TWindowHandle, WindowEntry> windows;
    TWindowHandle next = 1;
};

Registry& Windows() {
    static Registry* registry = new Registry;  // never freed: posts may come during exit
    return *registry;
}

// The calling thread's queue; created with its first window.
thread_local std::shared_ptr<ThreadQueue> ownQueue;

std::shared_ptr<ThreadQueue> OwnQueue() {
    if (!ownQueue) ownQueue = std::make_shared<ThreadQueue>();
    return ownQueue;
}

}  // namespace

TMessageWindow::TMessageWindow(TMessageHandler Handler) : handler_(std::move(Handler)) {
    Registry& r = Windows();
    std::lock_guard<std::mutex> guard(r.lock);
    handle_ = r.next++;
    r.windows.emplace(handle_, WindowEntry{this, OwnQueue()});
}

TMessageWindow::~TMessageWindow() {
    Registry& r = Windows();
    std::lock_guard<std::mutex> guard(r.lock);
    r.windows.erase(handle_);
}

bool PostMessage(TWindowHandle Window, uint32_t Msg, intptr_t WParam, intptr_t LParam,
                 std::shared_ptr<void> Data) {
    std::shared_ptr<ThreadQueue> queue;
    {
        Registry& r = Windows();
        std::lock_guard<std::mutex> guard(r.lock);
        auto it = r.windows.find(Window);
        if (it == r.windows.end()) return false;
        queue = it->second.queue;
    }
    {
        std::lock_guard<std::mutex> guard(queue->lock);
        queue->items.push_back(Posted{Window, TMessage{Msg, WParam, LParam, std::move(Data)}});
    }
    queue->arrived.notify_one();
    return true;
}

int ProcessMessages() {
    if (!ownQueue) return 0;
    std::shared_ptr<ThreadQueue> queue = ownQueue;
    std::deque<Posted> batch;
    {
        std::lock_guard<std::mutex> guard(queue->lock);
        batch.swap(queue->items);
    }
    int delivered = 0;
    while (!batch.empty()) {
        Posted p = std::move(batch.front());
        batch.pop_front();
        TMessageWindow* window = nullptr;
        {
            Registry& r = Windows();
            std::lock_guard<std::mutex> guard(r.lock);
            auto it = r.windows.find(p.window);
            if (it != r.windows.end()) window = it->second.window;
        }
        if (!window || !window->handler_) continue;  // gone: dropped
        try {
            window->handler_(p.message);
        } catch (...) {
            std::lock_guard<std::mutex> guard(queue->lock);
            queue->items.insert(queue->items.begin(), std::make_move_iterator(batch.begin()),
                                std::make_move_iterator(batch.end()));
            throw;
        }
        ++delivered;
    }
    return delivered;
}

int WaitAndProcessMessages(uint32_t TimeoutMs) {
    std::shared_ptr<ThreadQueue> queue = OwnQueue();
    {
        std::unique_lock<std::mutex> guard(queue->lock);
        auto ready = [&] { return !queue->items.empty(); };
        if (TimeoutMs == INFINITE)
            queue->arrived.wait(guard, ready);
        else if (!queue->arrived.wait_for(guard, std::chrono::milliseconds(TimeoutMs), ready))
            return 0;
    }
    return ProcessMessages();
}

}  // namespace velmysql
