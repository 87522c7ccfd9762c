#pragma once
// TThread on std::thread, and the main-thread queue through which worker threads run
// code on the application's main thread.
//
// The main thread is the one that initialised the library (SetMainThread changes it).
// It runs queued methods only when it pumps: CheckSynchronize, or TThread::WaitFor
// called on the main thread, which pumps while it waits.
//
// A thread object is always created suspended: the body cannot run before the derived
// object is complete. Start (or Resume) lets it run; "created running" is construction
// followed by Start. A derived class whose Execute uses its own members and that may be
// destroyed while running must stop the thread in its own destructor (Terminate, then
// WaitFor), because the base destructor runs after those members are gone.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "velmysql/rtl/exception.h"
#include "velmysql/rtl/persistent.h"
#include "velmysql/rtl/syncobjs.h"

namespace velmysql {

class EThread : public Exception {
public:
    using Exception::Exception;
};

// A process-unique thread number. TThread objects get theirs when created (so it is known
// before they start); any other thread gets one the first time it asks.
using TThreadID = uint32_t;
using TThreadMethod = std::function<void()>;

TThreadID CurrentThreadID();
TThreadID MainThreadID();
bool IsMainThread();
// Makes the calling thread the main thread (for hosts that initialise on another one).
void SetMainThread();
// True once any TThread has started.
bool IsMultiThread();

// Runs the methods queued for the main thread. Waits up to TimeoutMs for the first one
// when none is queued. Answers whether any ran. Raises EThread off the main thread.
bool CheckSynchronize(uint32_t TimeoutMs = 0);

class TThread : public TObject {
public:
    TThread();
    ~TThread() override;

    // Lets a created or suspended thread run.
    void Start();
    void Resume() { Start(); }
    // Suspends the calling thread until Resume; only a thread may suspend itself.
    void Suspend();

    void Terminate() { terminated_.store(true); }
    bool Terminated() const { return terminated_.load(); }
    bool Suspended() const;
    bool Finished() const { return finished_.load(); }
    TThreadID ThreadID() const { return id_; }

    // Waits for the body to end (pumping the main-thread queue when called on the main
    // thread) and answers ReturnValue. Not allowed on the thread itself or on a thread
    // that frees itself.
    int WaitFor();
    int ReturnValue() const { return returnValue_.load(); }

    bool FreeOnTerminate() const { return freeOnTerminate_.load(); }
    void SetFreeOnTerminate(bool Value) { freeOnTerminate_.store(Value); }

    // Called with the thread as sender on the main thread after the body ends.
    TNotifyEvent OnTerminate;

    // The exception that ended Execute, if any (the thread catches it).
    std::exception_ptr FatalException() const { return fatalException_; }

    // Runs Method on the main thread and waits for it; an exception it raises is raised
    // again in the caller. On the main thread Method runs at once.
    static void Synchronize(TThread* Thread, TThreadMethod Method);
    // Queues Method for the main thread without waiting; on the main thread it runs at once.
    static void Queue(TThread* Thread, TThreadMethod Method);

protected:
    virtual void Execute() = 0;
    // Raises OnTerminate on the main thread; runs on the thread after Execute.
    virtual void DoTerminate();
    void Synchronize(TThreadMethod Method) { Synchronize(this, std::move(Method)); }
    void Queue(TThreadMethod Method) { Queue(this, std::move(Method)); }
    void SetReturnValue(int Value) { returnValue_.store(Value); }

private:
    void Body();

    const TThreadID id_;
    std::thread thread_;
    mutable std::mutex lock_;            // guards started_, suspended_, joined_
    std::condition_variable resumed_;
    bool started_ = false;
    bool suspended_ = true;
    bool joined_ = false;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> freeOnTerminate_{false};
    std::atomic<int> returnValue_{0};
    std::exception_ptr fatalException_;
};

}  // namespace velmysql
