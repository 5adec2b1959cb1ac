#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "core/main_thread.h"

namespace orvet {

// A worker thread in the manner of the port's workers: a body that loops until it sees its
// terminated flag, and synchronised calls into the user-interface thread. The owner starts
// it, marks it terminated, wakes it by its own means and calls waitFor() before destroying
// it.
class WorkerThread {
public:
    explicit WorkerThread(MainThread& mainThread) : mainThread_(mainThread) {}
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void start();
    void terminate() { terminated_ = true; }
    bool terminated() const { return terminated_; }
    bool finished() const { return finished_; }

    // User-interface thread: waits until the body has returned, running the worker's
    // synchronised calls meanwhile, then joins the thread.
    void waitFor();

protected:
    virtual void execute() = 0;
    // Runs `fn` on the user-interface thread and waits until it has returned.
    void synchronize(const std::function<void()>& fn) { mainThread_.call(fn); }

private:
    MainThread& mainThread_;
    std::thread thread_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
};

}  // namespace orvet
