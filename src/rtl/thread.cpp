#include "velmysql/rtl/thread.h"

#include <deque>
#include <memory>

namespace velmysql {

namespace {

std::atomic<TThreadID> nextThreadID{1};
std::atomic<bool> multiThread{false};
thread_local TThreadID currentID = 0;

TThreadID NewThreadID() { return nextThreadID.fetch_add(1); }

struct SyncItem {
    TThreadMethod method;
    bool wait = false;
    bool done = false;
    std::exception_ptr error;
};

// The main-thread queue. `wake` is signalled when an item arrives and when a thread
// ends, so that a main thread waiting for a thread also runs what it asks for.
struct SyncQueue {
    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable done;
    std::deque<std::shared_ptr<SyncItem>> items;
};

SyncQueue& Sync() {
    static SyncQueue* queue = new SyncQueue;  // never freed: threads may outlive static destruction
    return *queue;
}

std::atomic<TThreadID> mainID{0};

// The thread that runs the library's static initialisation is the main thread.
[[maybe_unused]] const bool mainThreadRecorded = [] {
    SetMainThread();
    return true;
}();

void WakeMainThread() {
    SyncQueue& q = Sync();
    std::lock_guard<std::mutex> guard(q.lock);
    q.wake.notify_all();
}

}  // namespace

TThreadID CurrentThreadID() {
    if (currentID == 0) currentID = NewThreadID();
    return currentID;
}

TThreadID MainThreadID() { return mainID.load(); }
bool IsMainThread() { return CurrentThreadID() == mainID.load(); }
void SetMainThread() { mainID.store(CurrentThreadID()); }
bool IsMultiThread() { return multiThread.load(); }

bool CheckSynchronize(uint32_t TimeoutMs) {
    if (!IsMainThread()) throw EThread("CheckSynchronize called from a thread other than the main thread");
    SyncQueue& q = Sync();
    std::deque<std::shared_ptr<SyncItem>> batch;
    {
        std::unique_lock<std::mutex> guard(q.lock);
        if (q.items.empty() && TimeoutMs > 0) {
            auto ready = [&] { return !q.items.empty(); };
            if (TimeoutMs == INFINITE)
                q.wake.wait(guard, ready);
            else
                q.wake.wait_for(guard, std::chrono::milliseconds(TimeoutMs), ready);
        }
        batch.swap(q.items);
    }
    bool ran = !batch.empty();
    while (!batch.empty()) {
        std::shared_ptr<SyncItem> item = std::move(batch.front());
        batch.pop_front();
        std::exception_ptr error;
        try {
            item->method();
        } catch (...) {
            error = std::current_exception();
        }
        if (item->wait) {
            // The waiting thread gets the exception back and becomes its only owner:
            // nothing here refers to it once done is set.
            std::lock_guard<std::mutex> guard(q.lock);
            item->error = std::move(error);
            item->done = true;
            q.done.notify_all();
        } else if (error) {
            // A queued method's exception surfaces here; what was not run yet stays queued.
            std::lock_guard<std::mutex> guard(q.lock);
            q.items.insert(q.items.begin(), batch.begin(), batch.end());
            std::rethrow_exception(error);
        }
    }
    return ran;
}

void TThread::Synchronize(TThread*, TThreadMethod Method) {
    if (IsMainThread()) {
        Method();
        return;
    }
    auto item = std::make_shared<SyncItem>();
    item->method = std::move(Method);
    item->wait = true;
    SyncQueue& q = Sync();
    std::unique_lock<std::mutex> guard(q.lock);
    q.items.push_back(item);
    q.wake.notify_all();
    q.done.wait(guard, [&] { return item->done; });
    std::exception_ptr error = std::move(item->error);
    guard.unlock();
    if (error) std::rethrow_exception(error);
}

void TThread::Queue(TThread*, TThreadMethod Method) {
    if (IsMainThread()) {
        Method();
        return;
    }
    auto item = std::make_shared<SyncItem>();
    item->method = std::move(Method);
    SyncQueue& q = Sync();
    std::lock_guard<std::mutex> guard(q.lock);
    q.items.push_back(std::move(item));
    q.wake.notify_all();
}

TThread::TThread() : id_(NewThreadID()) {}

TThread::~TThread() {
    bool running;
    {
        std::lock_guard<std::mutex> guard(lock_);
        running = started_ && !finished_.load();
    }
    if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) {
        // A thread that frees itself ends here, on its own thread.
        thread_.detach();
        return;
    }
    if (running) {
        Terminate();
        Start();
        freeOnTerminate_.store(false);
        WaitFor();
    }
    if (thread_.joinable()) thread_.join();
}

void TThread::Start() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!started_) {
        started_ = true;
        suspended_ = false;
        multiThread.store(true);
        thread_ = std::thread(&TThread::Body, this);
    } else if (suspended_) {
        suspended_ = false;
        resumed_.notify_all();
    }
}

void TThread::Suspend() {
    if (CurrentThreadID() != id_) throw EThread("A thread can only suspend itself");
    std::unique_lock<std::mutex> guard(lock_);
    suspended_ = true;
    resumed_.wait(guard, [this] { return !suspended_; });
}

bool TThread::Suspended() const {
    std::lock_guard<std::mutex> guard(lock_);
    return suspended_;
}

int TThread::WaitFor() {
    if (CurrentThreadID() == id_) throw EThread("A thread cannot wait for itself");
    if (freeOnTerminate_.load()) throw EThread("Cannot wait for a thread that frees itself");
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!started_) throw EThread("Cannot wait for a thread that was never started");
    }
    if (IsMainThread()) {
        SyncQueue& q = Sync();
        while (!finished_.load()) {
            CheckSynchronize(0);
            std::unique_lock<std::mutex> guard(q.lock);
            q.wake.wait(guard, [&] { return !q.items.empty() || finished_.load(); });
        }
        // A Queue call made just before the end still runs before WaitFor answers.
        CheckSynchronize(0);
    } else {
        std::unique_lock<std::mutex> guard(lock_);
        resumed_.wait(guard, [this] { return finished_.load(); });
    }
    std::lock_guard<std::mutex> guard(lock_);
    if (!joined_ && thread_.joinable()) {
        thread_.join();
        joined_ = true;
    }
    return returnValue_.load();
}

void TThread::DoTerminate() {
    if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

void TThread::Body() {
    currentID = id_;
    try {
        if (!Terminated()) Execute();
    } catch (...) {
        fatalException_ = std::current_exception();
    }
    try {
        DoTerminate();
    } catch (...) {
        if (!fatalException_) fatalException_ = std::current_exception();
    }
    bool freeSelf = freeOnTerminate_.load();
    {
        std::lock_guard<std::mutex> guard(lock_);
        finished_.store(true);
        resumed_.notify_all();
    }
    WakeMainThread();
    if (freeSelf) delete this;
}

}  // namespace velmysql
