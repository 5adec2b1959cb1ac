#include "core/worker_thread.h"

#include <cassert>

namespace orvet {

WorkerThread::~WorkerThread() {
    assert(!thread_.joinable() && "a worker must be waited for before it is destroyed");
}

void WorkerThread::start() {
    terminated_ = false;
    finished_ = false;
    thread_ = std::thread([this] {
        execute();
        finished_ = true;
        mainThread_.notify();
    });
}

void WorkerThread::waitFor() {
    if (!thread_.joinable())
        return;
    mainThread_.waitUntil([this] { return finished_.load(); });
    thread_.join();
}

}  // namespace orvet
