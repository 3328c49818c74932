// The step thread of the clipping tool's long steps: parts run in order on a
// thread of their own while the caller goes on; a held thread (or one started
// held) runs no part until it is resumed; ending it mid-way runs no further part; a part's
// exception reaches the caller.
#include "KvStepThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Waits (without a time limit: a fault shows as a hung test) until done().
template <typename Done>
void WaitFor(Done done)
{
    while (!done())
        std::this_thread::yield();
}

} // namespace

TEST(KvStepThread, PartsRunInOrderOffTheCallingThreadUntilOneSaysNoMore)
{
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<int> order;
    bool onCaller = false;
    std::atomic<int> wakes{0};
    {
        TKvStepThread thread(
            [&] {
                onCaller |= std::this_thread::get_id() == caller;
                order.push_back(int(order.size()));
                return order.size() < 5;
            },
            [&] { ++wakes; });
        WaitFor([&] { return thread.Done(); });
        EXPECT_TRUE(thread.Held()) << "an ended thread leaves the data to the caller";
        EXPECT_EQ(thread.PartsRun(), 5);
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(onCaller);
    EXPECT_GE(wakes.load(), 1) << "the end wakes the caller";
}

TEST(KvStepThread, TheCallerRunsWhileAPartDoesAndAHeldThreadRunsNoPart)
{
    // The first part only ends once the caller has done something: the
    // caller is not waiting for it.
    std::atomic<bool> callerWentOn{false};
    std::atomic<int> parts{0};
    std::atomic<int> wakes{0};
    TKvStepThread thread(
        [&] {
            if (parts == 0)
                WaitFor([&] { return callerWentOn.load(); });
            ++parts;
            return true; // ended by the destructor
        },
        [&] { ++wakes; });
    callerWentOn = true;

    for (int round = 0; round < 20; ++round) {
        thread.Hold();
        ASSERT_TRUE(thread.Held());
        const int held = parts;
        const int wakesHeld = wakes;
        // However long the caller takes, no part runs meanwhile.
        for (int i = 0; i < 1000; ++i)
            std::this_thread::yield();
        EXPECT_EQ(parts.load(), held) << "round " << round;
        EXPECT_GE(wakesHeld, round + 1) << "each hold wakes the caller";
        thread.Resume();
        WaitFor([&] { return parts > held; });
    }
}

TEST(KvStepThread, StartedHeldItRunsNoPartBeforeTheFirstResume)
{
    std::atomic<int> parts{0};
    TKvStepThread thread([&] { return ++parts < 3; }, [] {}, true);
    WaitFor([&] { return thread.Held(); });
    for (int i = 0; i < 1000; ++i)
        std::this_thread::yield();
    EXPECT_EQ(parts.load(), 0);
    EXPECT_FALSE(thread.Done());
    thread.Resume();
    WaitFor([&] { return thread.Done(); });
    EXPECT_EQ(parts.load(), 3);
}

TEST(KvStepThread, ARequestedHoldIsReportedAfterThePartRunning)
{
    std::mutex mutex;
    std::condition_variable release;
    bool mayEnd = false;
    std::atomic<bool> inPart{false};
    TKvStepThread thread(
        [&] {
            inPart = true;
            std::unique_lock lock(mutex);
            release.wait(lock, [&] { return mayEnd; });
            return true;
        },
        [] {});
    WaitFor([&] { return inPart.load(); });
    thread.RequestHold();
    EXPECT_FALSE(thread.Held()) << "a part is running";
    {
        std::lock_guard lock(mutex);
        mayEnd = true;
    }
    release.notify_all();
    WaitFor([&] { return thread.Held(); });
    EXPECT_EQ(thread.PartsRun(), 1);
    EXPECT_FALSE(thread.Done());
}

TEST(KvStepThread, EndingItRunsNoFurtherPartAndAHeldOneEndsToo)
{
    std::atomic<int> parts{0};
    {
        TKvStepThread thread([&] { return ++parts < 1000000000; }, [] {});
        WaitFor([&] { return parts > 10; });
        thread.Hold();
    }
    const int afterEnd = parts;
    for (int i = 0; i < 1000; ++i)
        std::this_thread::yield();
    EXPECT_EQ(parts.load(), afterEnd);
    EXPECT_LT(afterEnd, 1000000000);
}

TEST(KvStepThread, APartsExceptionEndsTheThreadAndReachesTheCaller)
{
    std::atomic<int> parts{0};
    TKvStepThread thread(
        [&]() -> bool {
            if (++parts == 3)
                throw std::runtime_error("no memory for the cells");
            return true;
        },
        [] {});
    WaitFor([&] { return thread.Done(); });
    EXPECT_EQ(parts.load(), 3);
    EXPECT_THROW(thread.RethrowFailure(), std::runtime_error);
}
