#include "platform/files/ResponsiveCalls.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace nomilo {

namespace {

thread_local TCallWaiter waiter;
thread_local int waiting = 0; // calls of this thread in their waiter
std::atomic<int> abandoned{0};

// What the caller and the call's thread share; it lives as long as either holds it.
struct Run {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    bool givenUp = false;
};

} // namespace

void SetCallWaiter(TCallWaiter callWaiter) {
    waiter = std::move(callWaiter);
}

bool CallWaitsOnThisThread() {
    return waiting > 0;
}

bool AbandonedCallsRemain() {
    return abandoned.load() > 0;
}

namespace internal {

bool HasCallWaiter() {
    return static_cast<bool>(waiter);
}

void RunAwayAndWait(std::function<void()> job) {
    auto run = std::make_shared<Run>();
    std::thread([run, job = std::move(job)] {
        job();
        const std::lock_guard guard(run->lock);
        run->done = true;
        if (run->givenUp)
            --abandoned;
        run->finished.notify_all();
    }).detach();
    {
        std::unique_lock guard(run->lock);
        if (run->finished.wait_for(guard, std::chrono::milliseconds(kResponsiveCallGraceMs),
                                   [&] { return run->done; }))
            return;
    }
    ++waiting;
    try {
        waiter([run] {
            const std::lock_guard guard(run->lock);
            return run->done;
        });
        --waiting;
    } catch (...) {
        --waiting;
        const std::lock_guard guard(run->lock);
        if (!run->done) {
            run->givenUp = true;
            ++abandoned;
        }
        throw;
    }
}

} // namespace internal

} // namespace nomilo
