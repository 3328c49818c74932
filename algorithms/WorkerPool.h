// The extraction engine's worker threads: a few threads kept waiting for
// parts of one whole-picture step (GrowCut's generations, the flood fill,
// the effects' column passes, the blur's mean), so that a step uses every
// core without starting threads for each generation. The clipping session
// owns one and hands it to its marked region; the engine's steps split their
// work into parts whose results do not depend on which thread does them or
// in which order, so that any number of threads gives one thread's results.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TWorkerPool {
public:
    // The most threads a pool runs: beyond this, parts get too small to pay.
    static constexpr int MaxThreads = 64;

    // The machine's hardware threads (at least 1).
    static int MachineThreads();
    // The thread count a request stands for: the machine's for 0 or less,
    // else the request, at most MaxThreads.
    static int ThreadsFor(int requested);

    // Steps share work of fewer cells than this with no other thread: the
    // hand-over would cost more than the work.
    static constexpr std::int64_t DefaultSharedMinimum = 8192;

    // A pool of ThreadsFor(threads) threads, the calling thread included:
    // one thread means that every part runs on the caller.  sharedMinimum
    // is the least work worth sharing, in cells (tests share everything).
    explicit TWorkerPool(int threads = 0, std::int64_t sharedMinimum = DefaultSharedMinimum);
    ~TWorkerPool();
    TWorkerPool(const TWorkerPool&) = delete;
    TWorkerPool& operator=(const TWorkerPool&) = delete;

    int Threads() const { return int(m_workers.size()) + 1; }
    std::int64_t SharedMinimum() const { return m_sharedMinimum; }
    // Whether work of that many cells is shared among the threads.
    bool Shares(std::int64_t cells) const { return !m_workers.empty() && cells >= m_sharedMinimum; }

    // Calls work(part) once for every part 0 .. parts - 1, on the caller and
    // the pool's threads at once, and returns when every part is done. An
    // exception thrown by a part is rethrown here once all have ended. Runs
    // from one of the pool's own parts, or from a second thread while a run
    // is going on, do their parts on the calling thread.
    void Run(int parts, const std::function<void(int part)>& work);

    // Calls work(begin, end) for `parts` ranges that together cover
    // 0 .. count - 1 in order, each of about the same size.
    void ForRanges(std::int64_t count, int parts,
                   const std::function<void(std::int64_t begin, std::int64_t end)>& work);

private:
    void WorkerLoop();
    // Does parts of run `run` while there are any left to take.
    void DoParts(std::uint32_t run, const std::function<void(int)>& work, int parts);

    std::vector<std::thread> m_workers;
    std::int64_t m_sharedMinimum;
    std::mutex m_runMutex; // one run at a time
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(int)>* m_work = nullptr;
    int m_parts = 0;
    std::uint32_t m_run = 0; // counts runs, so that a worker sees a new one
    // The run (high half) and its next part to take (low half): a worker
    // that wakes late takes no part of a run that is over or of a later one.
    std::atomic<std::uint64_t> m_ticket{0};
    std::atomic<int> m_partsDone{0};
    bool m_stopping = false;
    std::exception_ptr m_error; // the first a part threw
};

// Runs work(begin, end) over the items 0 .. count - 1, of cellsPerItem
// cells each, split into a few ranges per thread of the pool, or whole on
// the caller when there is no pool or it does not share work that small.
void ForRangesOn(TWorkerPool* pool, std::int64_t count, std::int64_t cellsPerItem,
                 const std::function<void(std::int64_t begin, std::int64_t end)>& work);
