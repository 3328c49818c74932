#include "WorkerPool.h"

#include <algorithm>
#include <utility>

namespace {

// Set while this thread does parts of a run, so that a run started from a
// part does its parts itself instead of waiting for threads that wait for it.
thread_local bool t_inRun = false;

class TInRun {
public:
    TInRun() : m_was(t_inRun) { t_inRun = true; }
    ~TInRun() { t_inRun = m_was; }
    TInRun(const TInRun&) = delete;
    TInRun& operator=(const TInRun&) = delete;

private:
    bool m_was;
};

} // namespace

int TWorkerPool::MachineThreads()
{
    return int(std::max(std::thread::hardware_concurrency(), 1u));
}

int TWorkerPool::ThreadsFor(int requested)
{
    return std::min(requested <= 0 ? MachineThreads() : requested, MaxThreads);
}

TWorkerPool::TWorkerPool(int threads, std::int64_t sharedMinimum)
    : m_sharedMinimum(sharedMinimum)
{
    const int count = ThreadsFor(threads);
    m_workers.reserve(std::size_t(count - 1));
    for (int i = 1; i < count; ++i)
        m_workers.emplace_back([this] { WorkerLoop(); });
}

TWorkerPool::~TWorkerPool()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void TWorkerPool::Run(int parts, const std::function<void(int part)>& work)
{
    std::unique_lock run(m_runMutex, std::defer_lock);
    if (parts <= 1 || m_workers.empty() || t_inRun || !run.try_lock()) {
        for (int part = 0; part < parts; ++part)
            work(part);
        return;
    }
    std::uint32_t thisRun = 0;
    {
        const std::lock_guard lock(m_mutex);
        thisRun = ++m_run;
        m_work = &work;
        m_parts = parts;
        m_partsDone.store(0);
        m_error = nullptr;
        m_ticket.store(std::uint64_t(thisRun) << 32);
    }
    m_wake.notify_all();
    DoParts(thisRun, work, parts);
    // Only parts under way are waited for: workers that have not woken up
    // yet (on a busy machine) find nothing left when they do.
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [&] { return m_partsDone.load() == parts; });
    m_work = nullptr;
    if (const std::exception_ptr error = std::exchange(m_error, nullptr))
        std::rethrow_exception(error);
}

void TWorkerPool::DoParts(std::uint32_t run, const std::function<void(int)>& work, int parts)
{
    const TInRun inRun;
    for (;;) {
        std::uint64_t ticket = m_ticket.load();
        int part = 0;
        do {
            part = int(ticket & 0xFFFFFFFFu);
            if (std::uint32_t(ticket >> 32) != run || part >= parts)
                return;
        } while (!m_ticket.compare_exchange_weak(ticket, ticket + 1));
        try {
            work(part);
        } catch (...) {
            const std::lock_guard lock(m_mutex);
            if (!m_error)
                m_error = std::current_exception();
        }
        if (m_partsDone.fetch_add(1) + 1 == parts) {
            const std::lock_guard lock(m_mutex); // the caller is waiting or about to
            m_done.notify_one();
        }
    }
}

void TWorkerPool::WorkerLoop()
{
    std::uint32_t seen = 0;
    for (;;) {
        const std::function<void(int)>* work = nullptr;
        int parts = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || (m_run != seen && m_work); });
            if (m_stopping)
                return;
            seen = m_run;
            work = m_work;
            parts = m_parts;
        }
        DoParts(seen, *work, parts);
    }
}

void TWorkerPool::ForRanges(std::int64_t count, int parts,
                            const std::function<void(std::int64_t begin, std::int64_t end)>& work)
{
    if (count <= 0)
        return;
    parts = int(std::clamp<std::int64_t>(parts, 1, count));
    Run(parts, [&](int part) {
        work(count * part / parts, count * (part + 1) / parts);
    });
}

void ForRangesOn(TWorkerPool* pool, std::int64_t count, std::int64_t cellsPerItem,
                 const std::function<void(std::int64_t begin, std::int64_t end)>& work)
{
    if (count <= 0)
        return;
    if (!pool || count < 2 || !pool->Shares(count * cellsPerItem)) {
        work(0, count);
        return;
    }
    // A few ranges per thread even out threads that start late on a busy
    // machine.
    pool->ForRanges(count, pool->Threads() * 4, work);
}
