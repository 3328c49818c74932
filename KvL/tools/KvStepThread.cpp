#include "KvStepThread.h"

TKvStepThread::TKvStepThread(std::function<bool()> part, std::function<void()> wake, bool startHeld)
    : m_part(std::move(part))
    , m_wake(std::move(wake))
    , m_holdRequested(startHeld)
    , m_thread([this] { Loop(); })
{
}

TKvStepThread::~TKvStepThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void TKvStepThread::Loop()
{
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_holdRequested) {
                m_held = true;
                lock.unlock();
                m_wake();
                lock.lock();
                m_changed.notify_all();
                m_changed.wait(lock, [this] { return !m_holdRequested || m_stop; });
                m_held = false;
            }
            if (m_stop)
                break;
        }
        bool more = false;
        try {
            more = m_part();
        } catch (...) {
            std::lock_guard lock(m_mutex);
            m_failure = std::current_exception();
        }
        std::lock_guard lock(m_mutex);
        ++m_partsRun;
        if (!more || m_failure)
            break;
    }
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_changed.notify_all();
    m_wake();
}

void TKvStepThread::RequestHold()
{
    std::lock_guard lock(m_mutex);
    m_holdRequested = true;
}

void TKvStepThread::Hold()
{
    std::unique_lock lock(m_mutex);
    m_holdRequested = true;
    m_changed.wait(lock, [this] { return m_held || m_done; });
}

void TKvStepThread::Resume()
{
    {
        std::lock_guard lock(m_mutex);
        m_holdRequested = false;
    }
    m_changed.notify_all();
}

bool TKvStepThread::Held() const
{
    std::lock_guard lock(m_mutex);
    return m_held || m_done;
}

bool TKvStepThread::Done() const
{
    std::lock_guard lock(m_mutex);
    return m_done;
}

std::int64_t TKvStepThread::PartsRun() const
{
    std::lock_guard lock(m_mutex);
    return m_partsRun;
}

void TKvStepThread::RethrowFailure()
{
    std::exception_ptr failure;
    {
        std::lock_guard lock(m_mutex);
        failure = m_failure;
    }
    if (failure)
        std::rethrow_exception(failure);
}
