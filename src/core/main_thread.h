#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace orvet {

// Calls from worker threads into the user-interface thread (the "synchronised call").
// A worker's call() queues the function and blocks until the user-interface thread has run
// it. The user-interface thread runs queued calls from its event loop (after wake()), and
// while it waits in waitUntil() for a worker to reach some state, so a worker blocked in
// call() can always finish: closing a port never deadlocks.
class MainThread {
public:
    // The thread that constructs the object is the user-interface thread.
    MainThread();
    virtual ~MainThread() = default;
    MainThread(const MainThread&) = delete;
    MainThread& operator=(const MainThread&) = delete;

    bool isMainThread() const { return std::this_thread::get_id() == mainId_; }

    // Runs `fn` on the user-interface thread and returns when it has returned; on that
    // thread itself it runs `fn` at once. An exception thrown by `fn` is rethrown here.
    void call(const std::function<void()>& fn);

    // User-interface thread: runs the calls queued so far; returns how many ran.
    int runPending();

    // User-interface thread: runs queued calls until `done()` holds. Whoever changes what
    // `done` reads must call notify() afterwards. `done` is evaluated under an internal
    // lock: it must only read state (an atomic flag, say) and never block.
    void waitUntil(const std::function<bool()>& done);
    void notify();

protected:
    // Asks the user-interface thread's event loop to call runPending() soon. Called from
    // a worker thread after it queued a call; the default does nothing (the tests' loop
    // is the test itself).
    virtual void wake() {}

private:
    struct Job;
    std::thread::id mainId_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job*> queue_;
};

}  // namespace orvet
