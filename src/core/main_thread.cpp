#include "core/main_thread.h"

#include <exception>

namespace orvet {

struct MainThread::Job {
    const std::function<void()>* fn;
    std::exception_ptr error;
    bool done = false;
};

MainThread::MainThread() : mainId_(std::this_thread::get_id()) {
}

void MainThread::call(const std::function<void()>& fn) {
    if (isMainThread()) {
        fn();
        return;
    }
    Job job{&fn, nullptr};
    {
        std::unique_lock lock(mutex_);
        queue_.push_back(&job);
        changed_.notify_all();
    }
    wake();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&job] { return job.done; });
    if (job.error)
        std::rethrow_exception(job.error);
}

int MainThread::runPending() {
    int ran = 0;
    for (;;) {
        Job* job = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty())
                break;
            job = queue_.front();
            queue_.pop_front();
        }
        try {
            (*job->fn)();
        } catch (...) {
            job->error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            job->done = true;
        }
        changed_.notify_all();
        ++ran;
    }
    return ran;
}

void MainThread::waitUntil(const std::function<bool()>& done) {
    for (;;) {
        runPending();
        std::unique_lock lock(mutex_);
        if (!queue_.empty())
            continue;
        // `done` is evaluated under the lock so that a notify() between the test and the
        // wait cannot be missed.
        if (done())
            return;
        changed_.wait(lock, [&] { return !queue_.empty() || done(); });
        if (queue_.empty())
            return;
    }
}

void MainThread::notify() {
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

}  // namespace orvet
