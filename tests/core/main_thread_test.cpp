#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/main_thread.h"
#include "core/worker_thread.h"

namespace orvet {
namespace {

// A worker that, like the port's data notifier, makes a synchronised call on every wake-up
// and tests its terminated flag only after the call.
class NotifierWorker final : public WorkerThread {
public:
    NotifierWorker(MainThread& mainThread, std::vector<std::thread::id>& callThreads)
        : WorkerThread(mainThread), callThreads_(callThreads) {}

    std::atomic<int> wakeUps{0};
    std::atomic<bool> waiting{false};

protected:
    void execute() override {
        while (true) {
            waiting = true;
            while (wakeUps.load() == 0)
                std::this_thread::yield();
            waiting = false;
            --wakeUps;
            synchronize([this] { callThreads_.push_back(std::this_thread::get_id()); });
            if (terminated())
                break;
        }
    }

private:
    std::vector<std::thread::id>& callThreads_;
};

TEST(MainThread, WaitingForAWorkerRunsItsPendingCalls) {
    MainThread mainThread;
    std::vector<std::thread::id> callThreads;
    NotifierWorker worker(mainThread, callThreads);
    worker.start();

    worker.wakeUps = 1;
    while (mainThread.runPending() == 0)
        std::this_thread::yield();
    ASSERT_EQ(callThreads.size(), 1u);
    while (!worker.waiting)
        std::this_thread::yield();

    // Closing: mark terminated, wake it; the worker blocks in its synchronised call until
    // the waiting user-interface thread runs it. Without that this would deadlock.
    worker.terminate();
    worker.wakeUps = 1;
    worker.waitFor();

    EXPECT_TRUE(worker.finished());
    ASSERT_EQ(callThreads.size(), 2u) << "exactly one delivery after the close";
    for (const auto& id : callThreads)
        EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(MainThread, CallOnTheMainThreadRunsAtOnce) {
    MainThread mainThread;
    bool ran = false;
    mainThread.call([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(mainThread.runPending(), 0);
}

TEST(MainThread, ExceptionOfACallReachesTheWorker) {
    MainThread mainThread;
    std::atomic<bool> caught{false};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        try {
            mainThread.call([] { throw std::runtime_error("refused"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
        done = true;
        mainThread.notify();
    });
    mainThread.waitUntil([&] { return done.load(); });
    worker.join();
    EXPECT_TRUE(caught);
}

TEST(MainThread, CallsFromManyWorkersAllRunOnTheMainThread) {
    MainThread mainThread;
    constexpr int kWorkers = 4;
    constexpr int kCalls = 200;
    int total = 0;  // touched only on the main thread
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    workers.reserve(kWorkers);
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&] {
            for (int i = 0; i < kCalls; ++i)
                mainThread.call([&] { ++total; });
            ++finished;
            mainThread.notify();
        });
    }
    mainThread.waitUntil([&] { return finished.load() == kWorkers; });
    for (auto& t : workers)
        t.join();
    EXPECT_EQ(total, kWorkers * kCalls);
}

}  // namespace
}  // namespace orvet
