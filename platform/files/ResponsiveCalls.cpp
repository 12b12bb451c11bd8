#include "platform/files/ResponsiveCalls.h"

#include "platform/files/FileIO.h"
#include "platform/files/internal/PathAt.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
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

// The paths whose look (PathAnswers) waits; never destroyed, as a look may end at any time.
struct PendingLooks {
    std::mutex lock;
    std::set<std::string> paths;
};
PendingLooks& Pending() {
    static auto* pending = new PendingLooks;
    return *pending;
}

// Looks at `path` as entering and reading it would: its attributes, and for a folder its first
// names.
void LookAt(const std::string& path) {
    const FileDescriptor found(OpenPath(path, O_RDONLY | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    if (!found.Valid() || fstat(found.Get(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    char names[4096];
    [[maybe_unused]] const ssize_t got = getdents64(found.Get(), names, sizeof names);
}

} // namespace

bool PathAnswers(const std::string& path, std::chrono::milliseconds limit) {
    {
        const std::lock_guard guard(Pending().lock);
        if (!Pending().paths.insert(path).second)
            return false; // the look before still waits
    }
    // Until it ends, the look may be one a server never answers: the program must not wait for
    // it at its end.
    ++abandoned;
    auto run = std::make_shared<Run>();
    std::thread([run, path] {
        LookAt(path);
        {
            const std::lock_guard guard(Pending().lock);
            Pending().paths.erase(path);
        }
        --abandoned;
        const std::lock_guard guard(run->lock);
        run->done = true;
        run->finished.notify_all();
    }).detach();
    std::unique_lock guard(run->lock);
    return run->finished.wait_for(guard, limit, [&] { return run->done; });
}

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
