// Message windows: posting from any thread, delivery in order on the owning thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "velmysql/rtl/messages.h"
#include "velmysql/rtl/thread.h"

namespace velmysql {
namespace {

class TPoster : public TThread {
public:
    TPoster(std::function<void()> body) : body_(std::move(body)) {}

protected:
    void Execute() override { body_(); }

private:
    std::function<void()> body_;
};

TEST(Messages, TenThousandFromFourThreadsArriveInPerSenderOrder) {
    constexpr int kSenders = 4, kEach = 2500;
    std::vector<std::vector<intptr_t>> got(kSenders);
    std::vector<TThreadID> deliveredOn;
    int total = 0;
    TMessageWindow window([&](TMessage& m) {
        ASSERT_EQ(m.Msg, 1213u);
        got[static_cast<size_t>(m.WParam)].push_back(m.LParam);
        if (total++ == 0) deliveredOn.push_back(CurrentThreadID());
    });
    std::atomic<int> refused{0};
    std::vector<std::unique_ptr<TPoster>> posters;
    for (int s = 0; s < kSenders; ++s) {
        posters.push_back(std::make_unique<TPoster>([&, s] {
            for (int i = 0; i < kEach; ++i)
                if (!PostMessage(window.Handle(), 1213, s, i)) refused++;
        }));
    }
    for (auto& p : posters) p->Start();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (total < kSenders * kEach && std::chrono::steady_clock::now() < deadline) WaitAndProcessMessages(100);
    for (auto& p : posters) p->WaitFor();
    ProcessMessages();
    EXPECT_EQ(refused.load(), 0);
    EXPECT_EQ(total, kSenders * kEach);
    for (int s = 0; s < kSenders; ++s) {
        ASSERT_EQ(got[static_cast<size_t>(s)].size(), static_cast<size_t>(kEach)) << "sender " << s;
        for (int i = 0; i < kEach; ++i) ASSERT_EQ(got[static_cast<size_t>(s)][static_cast<size_t>(i)], i);
    }
    EXPECT_EQ(deliveredOn, std::vector<TThreadID>{CurrentThreadID()});
}

// A payload that tells when it is freed.
std::shared_ptr<void> Tracked(std::atomic<int>& freed, std::string text) {
    return std::shared_ptr<std::string>(new std::string(std::move(text)), [&freed](std::string* p) {
        delete p;
        freed++;
    });
}

TEST(Messages, PostingToAGoneWindowIsDroppedAndFreesThePayload) {
    std::atomic<int> freed{0};
    int delivered = 0;
    TWindowHandle handle;
    {
        TMessageWindow w([&](TMessage&) { delivered++; });
        handle = w.Handle();
        EXPECT_TRUE(PostMessage(handle, 1, 0, 0, Tracked(freed, "queued, then window gone")));
    }
    // Posted after the window is gone: refused at once.
    EXPECT_FALSE(PostMessage(handle, 2, 0, 0, Tracked(freed, "late")));
    EXPECT_EQ(freed.load(), 1);
    EXPECT_FALSE(PostMessage(0, 2, 0, 0));
    // Queued before the window went: dropped when the thread pumps.
    EXPECT_EQ(ProcessMessages(), 0);
    EXPECT_EQ(delivered, 0);
    EXPECT_EQ(freed.load(), 2);
    // A new window never gets the old handle.
    TMessageWindow fresh([](TMessage&) {});
    EXPECT_NE(fresh.Handle(), handle);
}

TEST(Messages, PayloadTravelsWithTheMessage) {
    std::string text;
    TMessageWindow w([&](TMessage& m) { text = *std::static_pointer_cast<std::string>(m.Data); });
    std::atomic<int> freed{0};
    PostMessage(w.Handle(), 1212, 0, 0, Tracked(freed, "note"));
    EXPECT_EQ(ProcessMessages(), 1);
    EXPECT_EQ(text, "note");
    EXPECT_EQ(freed.load(), 1);
}

TEST(Messages, WindowsOfOneThreadShareOnePostingOrder) {
    std::vector<std::string> log;
    TMessageWindow a([&](TMessage& m) { log.push_back("a" + std::to_string(m.Msg)); });
    TMessageWindow b([&](TMessage& m) { log.push_back("b" + std::to_string(m.Msg)); });
    PostMessage(a.Handle(), 1, 0, 0);
    PostMessage(b.Handle(), 2, 0, 0);
    PostMessage(a.Handle(), 3, 0, 0);
    EXPECT_EQ(ProcessMessages(), 3);
    EXPECT_EQ(log, (std::vector<std::string>{"a1", "b2", "a3"}));
}

TEST(Messages, HandlerMayPostDestroyOrRaise) {
    std::vector<uint32_t> log;
    std::unique_ptr<TMessageWindow> w;
    w = std::make_unique<TMessageWindow>([&](TMessage& m) {
        log.push_back(m.Msg);
        if (m.Msg == 1) PostMessage(w->Handle(), 10, 0, 0);  // comes with the next pump
        if (m.Msg == 2) throw Exception("handler failed");
        if (m.Msg == 4) w.reset();                           // later messages are dropped
    });
    for (uint32_t n : {1u, 2u, 3u, 4u, 5u}) PostMessage(w->Handle(), n, 0, 0);
    EXPECT_THROW(ProcessMessages(), Exception);
    EXPECT_EQ(log, (std::vector<uint32_t>{1, 2}));
    // What was not delivered stays queued ahead of what the handler posted.
    EXPECT_EQ(ProcessMessages(), 2);  // 3 and 4; 4 destroys the window
    EXPECT_EQ(log, (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(ProcessMessages(), 0);  // 5 and 10 dropped
    EXPECT_EQ(w, nullptr);
}

TEST(Messages, DeliveredOnTheThreadThatCreatedTheWindow) {
    std::atomic<TWindowHandle> handle{0};
    std::atomic<bool> stop{false};
    std::vector<TThreadID> seen;
    TPoster owner([&] {
        TMessageWindow w([&](TMessage& m) {
            seen.push_back(CurrentThreadID());
            if (m.Msg == 99) stop = true;
        });
        handle = w.Handle();
        while (!stop.load()) WaitAndProcessMessages(50);
    });
    owner.Start();
    while (handle.load() == 0) Sleep(1);
    EXPECT_EQ(ProcessMessages(), 0);  // nothing of that window is ever delivered here
    PostMessage(handle.load(), 1, 0, 0);
    PostMessage(handle.load(), 99, 0, 0);
    owner.WaitFor();
    EXPECT_EQ(seen, (std::vector<TThreadID>{owner.ThreadID(), owner.ThreadID()}));
}

TEST(Messages, WaitAndProcessTimesOutWhenNothingComes) {
    TMessageWindow w([](TMessage&) {});
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitAndProcessMessages(30), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
}

}  // namespace
}  // namespace velmysql
