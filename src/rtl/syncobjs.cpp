#include "velmysql/rtl/syncobjs.h"

#include <chrono>
#include <thread>

namespace velmysql {

void TEvent::SetEvent() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        set_ = true;
    }
    changed_.notify_all();
}

void TEvent::ResetEvent() {
    std::lock_guard<std::mutex> guard(lock_);
    set_ = false;
}

bool TEvent::IsSet() const {
    std::lock_guard<std::mutex> guard(lock_);
    return set_;
}

TWaitResult TEvent::WaitFor(uint32_t Timeout) {
    std::unique_lock<std::mutex> guard(lock_);
    if (Timeout == INFINITE) {
        changed_.wait(guard, [this] { return set_; });
        return wrSignaled;
    }
    return changed_.wait_for(guard, std::chrono::milliseconds(Timeout), [this] { return set_; }) ? wrSignaled
                                                                                                 : wrTimeout;
}

void Sleep(uint32_t Milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds)); }

}  // namespace velmysql
