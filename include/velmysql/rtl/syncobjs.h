#pragma once
// Synchronisation objects: a re-entrant critical section and a manual-reset event.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace velmysql {

// Wait without a time limit.
constexpr uint32_t INFINITE = 0xFFFFFFFFu;

enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

// A lock that the thread holding it may take again; each Enter needs its Leave.
class TCriticalSection {
public:
    void Enter() { lock_.lock(); }
    void Leave() { lock_.unlock(); }
    bool TryEnter() { return lock_.try_lock(); }
    void Acquire() { Enter(); }
    void Release() { Leave(); }
    // Makes the section usable with std::lock_guard / std::unique_lock.
    void lock() { Enter(); }
    void unlock() { Leave(); }

private:
    std::recursive_mutex lock_;
};

// A manual-reset event: once set it stays set, releasing every waiter, until reset.
class TEvent {
public:
    explicit TEvent(bool InitialState = false) : set_(InitialState) {}
    void SetEvent();
    void ResetEvent();
    bool IsSet() const;
    // Waits until the event is set or Timeout milliseconds pass (INFINITE: no limit).
    TWaitResult WaitFor(uint32_t Timeout = INFINITE);

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    bool set_;
};

// Suspends the calling thread for Milliseconds.
void Sleep(uint32_t Milliseconds);

}  // namespace velmysql
