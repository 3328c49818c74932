// The engine's worker pool: every part done once, whatever the number of
// threads; a part's exception reaches the caller; runs started from a part
// or from a second thread at once do their parts themselves.
#include "WorkerPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

TEST(WorkerPool, ThreadCountsFollowTheMachineAndStayInRange)
{
    EXPECT_EQ(TWorkerPool::ThreadsFor(0), std::min(TWorkerPool::MachineThreads(), TWorkerPool::MaxThreads));
    EXPECT_EQ(TWorkerPool::ThreadsFor(-3), TWorkerPool::ThreadsFor(0));
    EXPECT_EQ(TWorkerPool::ThreadsFor(1), 1);
    EXPECT_EQ(TWorkerPool::ThreadsFor(100000), TWorkerPool::MaxThreads);
    EXPECT_EQ(TWorkerPool(3).Threads(), 3);
}

TEST(WorkerPool, EveryPartRunsOnceInManyRuns)
{
    for (const int threads : {1, 2, 5}) {
        TWorkerPool pool(threads);
        for (int run = 0; run < 300; ++run) {
            const int parts = 1 + run % 17;
            std::vector<std::atomic<int>> done(static_cast<std::size_t>(parts));
            pool.Run(parts, [&](int part) { ++done[std::size_t(part)]; });
            for (int part = 0; part < parts; ++part)
                ASSERT_EQ(done[std::size_t(part)].load(), 1) << threads << " threads, run " << run;
        }
    }
}

TEST(WorkerPool, APartsExceptionReachesTheCallerOnceAllPartsEnded)
{
    TWorkerPool pool(3);
    std::atomic<int> done{0};
    EXPECT_THROW(pool.Run(12, [&](int part) {
        ++done;
        if (part == 5)
            throw std::runtime_error("part 5");
    }), std::runtime_error);
    EXPECT_EQ(done.load(), 12);
    // The pool still works afterwards.
    std::atomic<int> again{0};
    pool.Run(4, [&](int) { ++again; });
    EXPECT_EQ(again.load(), 4);
}

TEST(WorkerPool, NestedAndConcurrentRunsDoTheirOwnParts)
{
    TWorkerPool pool(3);
    std::atomic<int> inner{0};
    pool.Run(4, [&](int) { pool.Run(5, [&](int) { ++inner; }); });
    EXPECT_EQ(inner.load(), 20);

    std::atomic<int> total{0};
    std::thread other([&] {
        for (int i = 0; i < 200; ++i)
            pool.Run(3, [&](int) { ++total; });
    });
    for (int i = 0; i < 200; ++i)
        pool.Run(3, [&](int) { ++total; });
    other.join();
    EXPECT_EQ(total.load(), 1200);
}

TEST(WorkerPool, RangesCoverTheItemsInOrderWithoutGaps)
{
    TWorkerPool pool(4, 1);
    for (const std::int64_t count : {std::int64_t(1), std::int64_t(7), std::int64_t(1000)}) {
        std::vector<std::pair<std::int64_t, std::int64_t>> ranges(64, {-1, -1});
        std::atomic<int> calls{0};
        ForRangesOn(&pool, count, 1, [&](std::int64_t begin, std::int64_t end) {
            ranges[std::size_t(calls++)] = {begin, end};
        });
        std::sort(ranges.begin(), ranges.begin() + calls.load());
        std::int64_t next = 0;
        for (int i = 0; i < calls.load(); ++i) {
            EXPECT_EQ(ranges[std::size_t(i)].first, next);
            EXPECT_GT(ranges[std::size_t(i)].second, ranges[std::size_t(i)].first);
            next = ranges[std::size_t(i)].second;
        }
        EXPECT_EQ(next, count);
    }
}
