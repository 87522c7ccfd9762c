// TThread, the main-thread queue, the critical section and the manual-reset event.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "velmysql/rtl/thread.h"

namespace velmysql {
namespace {

// Runs a function as its body.
class TFuncThread : public TThread {
public:
    explicit TFuncThread(std::function<void(TFuncThread&)> body, std::atomic<bool>* freed = nullptr)
        : body_(std::move(body)), freed_(freed) {}
    ~TFuncThread() override {
        if (freed_) freed_->store(true);
    }
    using TThread::SetReturnValue;
    using TThread::Synchronize;
    using TThread::Queue;

protected:
    void Execute() override { body_(*this); }

private:
    std::function<void(TFuncThread&)> body_;
    std::atomic<bool>* freed_;
};

TEST(Thread, TerminationHandlerRunsOnMainThreadBeforeWaitForAnswers) {
    ASSERT_TRUE(IsMainThread());
    TThreadID bodyThread = 0, handlerThread = 0;
    TObject* sender = nullptr;
    TFuncThread t([&](TFuncThread& self) {
        bodyThread = CurrentThreadID();
        self.SetReturnValue(42);
    });
    t.OnTerminate = [&](TObject* s) {
        handlerThread = CurrentThreadID();
        sender = s;
    };
    EXPECT_TRUE(t.Suspended());
    t.Start();
    EXPECT_TRUE(IsMultiThread());
    EXPECT_EQ(t.WaitFor(), 42);
    EXPECT_EQ(bodyThread, t.ThreadID());
    EXPECT_EQ(handlerThread, MainThreadID());
    EXPECT_EQ(sender, &t);
    EXPECT_TRUE(t.Finished());
}

TEST(Thread, SelfFreeingThreadEndsWhenMainThreadPumps) {
    std::atomic<bool> freed{false};
    std::atomic<int> calls{0};
    auto* t = new TFuncThread([](TFuncThread&) {}, &freed);
    t->SetFreeOnTerminate(true);
    TThreadID id = t->ThreadID();  // known before it starts
    EXPECT_NE(id, 0u);
    t->OnTerminate = [&](TObject*) {
        EXPECT_TRUE(IsMainThread());
        calls++;
    };
    t->Start();
    EXPECT_THROW(t->WaitFor(), EThread);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!freed.load() && std::chrono::steady_clock::now() < deadline) CheckSynchronize(10);
    EXPECT_TRUE(freed.load());
    EXPECT_EQ(calls.load(), 1);
}

TEST(Thread, TerminateEndsALoopingBodyAndDestructorWaits) {
    std::atomic<int> passes{0};
    {
        TFuncThread t([&](TFuncThread& self) {
            while (!self.Terminated()) {
                passes++;
                Sleep(1);
            }
        });
        t.Start();
        while (passes.load() < 3) Sleep(1);
        // The destructor terminates and waits.
    }
    int seen = passes.load();
    Sleep(5);
    EXPECT_EQ(passes.load(), seen);
}

TEST(Thread, ThreadSuspendsItselfUntilResumed) {
    std::atomic<int> stage{0};
    TFuncThread t([&](TFuncThread& self) {
        stage = 1;
        self.Suspend();
        stage = 2;
    });
    t.Start();
    while (!(stage.load() == 1 && t.Suspended())) Sleep(1);
    Sleep(5);
    EXPECT_EQ(stage.load(), 1);
    EXPECT_THROW(t.Suspend(), EThread);  // not from another thread
    t.Resume();
    t.WaitFor();
    EXPECT_EQ(stage.load(), 2);
}

TEST(Thread, SynchronizeRunsOnMainThreadAndCarriesExceptionsBack) {
    std::string caught;
    std::vector<int> order;
    TFuncThread t([&](TFuncThread& self) {
        self.Queue([&] { order.push_back(1); });
        self.Synchronize([&] { order.push_back(2); });
        try {
            self.Synchronize([] { throw Exception("from main"); });
        } catch (const Exception& e) {
            caught = e.Message();
        }
        self.Queue([&] { order.push_back(3); });
    });
    t.Start();
    t.WaitFor();
    EXPECT_EQ(caught, "from main");
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(Thread, ExceptionInBodyIsKeptAndErrorsOfMisuse) {
    TFuncThread t([](TFuncThread&) { throw std::runtime_error("boom"); });
    EXPECT_THROW(t.WaitFor(), EThread);  // never started
    t.Start();
    t.WaitFor();
    ASSERT_TRUE(t.FatalException());
    EXPECT_THROW(std::rethrow_exception(t.FatalException()), std::runtime_error);

    std::string selfWait;
    TFuncThread w([&](TFuncThread& self) {
        try {
            self.WaitFor();
        } catch (const EThread& e) {
            selfWait = e.Message();
        }
    });
    w.Start();
    w.WaitFor();
    EXPECT_FALSE(selfWait.empty());

    std::string offMain;
    TFuncThread c([&](TFuncThread&) {
        try {
            CheckSynchronize(0);
        } catch (const EThread& e) {
            offMain = e.Message();
        }
    });
    c.Start();
    c.WaitFor();
    EXPECT_FALSE(offMain.empty());
}

TEST(SyncObjs, ManualResetEventReleasesAllWaitersUntilReset) {
    TEvent e;
    EXPECT_EQ(e.WaitFor(10), wrTimeout);
    std::atomic<int> released{0};
    std::vector<std::unique_ptr<TFuncThread>> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.push_back(std::make_unique<TFuncThread>([&](TFuncThread&) {
            if (e.WaitFor() == wrSignaled) released++;
        }));
        waiters.back()->Start();
    }
    e.SetEvent();
    for (auto& w : waiters) w->WaitFor();
    EXPECT_EQ(released.load(), 3);
    EXPECT_EQ(e.WaitFor(0), wrSignaled);  // stays set
    e.ResetEvent();
    EXPECT_EQ(e.WaitFor(0), wrTimeout);
    EXPECT_EQ(TEvent(true).WaitFor(0), wrSignaled);
}

TEST(SyncObjs, CriticalSectionIsReentrantAndExcludesOtherThreads) {
    TCriticalSection cs;
    cs.Enter();
    cs.Enter();
    bool otherGot = true;
    TFuncThread t([&](TFuncThread&) {
        otherGot = cs.TryEnter();
        if (otherGot) cs.Leave();
    });
    t.Start();
    t.WaitFor();
    EXPECT_FALSE(otherGot);
    cs.Leave();
    cs.Leave();
    TFuncThread u([&](TFuncThread&) {
        otherGot = cs.TryEnter();
        if (otherGot) cs.Leave();
    });
    u.Start();
    u.WaitFor();
    EXPECT_TRUE(otherGot);
}

}  // namespace
}  // namespace velmysql
