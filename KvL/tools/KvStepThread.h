// A long step of the clipping tool (Separate, Effect, Swap, Clear, and the
// snapshots of its command) run part after part on a thread of its own, so
// that the main thread stays free for events, a demonstration's pointer and
// painting however long a part takes on a picture of many megapixels. What
// the parts write (the picture, the marks, the list of what to repaint)
// belongs to the step's thread while a part runs; the main thread asks the
// thread to hold between two parts and reads or changes that data only
// while it is held (or done). The clipping tool is its user.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class TKvStepThread {
public:
    // part() does the next part and returns whether another one follows.
    // wake() is called on the step's thread whenever it holds or ends, so
    // that the main thread can stop waiting for events. Started held, the
    // thread runs no part before the first Resume.
    TKvStepThread(std::function<bool()> part, std::function<void()> wake, bool startHeld = false);
    // Waits for the part running, if any, and ends the thread; the parts
    // left are not run.
    ~TKvStepThread();
    TKvStepThread(const TKvStepThread&) = delete;
    TKvStepThread& operator=(const TKvStepThread&) = delete;

    // Asks the thread to hold after the part running.
    void RequestHold();
    // Asks the thread to hold and waits until it does (or has ended).
    void Hold();
    // Lets a held thread go on with the next part.
    void Resume();
    // Whether the thread stands between two parts at the main thread's
    // request, or has ended: the data is the main thread's.
    bool Held() const;
    bool Done() const;
    // The parts run so far.
    std::int64_t PartsRun() const;
    // Rethrows what a part threw, once the thread has ended.
    void RethrowFailure();

private:
    void Loop();

    std::function<bool()> m_part;
    std::function<void()> m_wake;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_holdRequested = false;
    bool m_held = false;
    bool m_stop = false;
    bool m_done = false;
    std::int64_t m_partsRun = 0;
    std::exception_ptr m_failure;
    std::thread m_thread; // last: starts once the rest is set up
};
