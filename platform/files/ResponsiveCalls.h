#pragma once

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace nomilo {

// File-system calls that can wait on a server (entering a folder, reading it, looking at a path)
// go through RunResponsively. On a thread that has a waiter (the window's), the call runs on a
// thread of its own, and the caller waits for it through the waiter, which keeps the window
// drawn and lets it be closed; elsewhere (the tests, the terminal command) the call runs at
// once. A call made on another thread must therefore take what it works on by value.

// Waits until `done` answers true, or gives the call up by throwing EAbandonedCall (the program
// is ending). Called only once the call has taken longer than kResponsiveCallGrace.
using TCallWaiter = std::function<void(const std::function<bool()>& done)>;

// Installs `waiter` for the calling thread; an empty function removes it.
void SetCallWaiter(TCallWaiter waiter);

// How long the caller waits plainly before the waiter takes over.
inline constexpr int kResponsiveCallGraceMs = 50;

// A call given up while it waited on its server: it goes on (a thread stuck in the kernel
// cannot be stopped) and its result is never used.
class EAbandonedCall : public std::exception {
public:
    const char* what() const noexcept override { return "The program ended during a wait"; }
};

// Whether a call of the calling thread is waiting for its thread (its waiter is at work): what
// the waiter lets run meanwhile sees the call's work half done.
bool CallWaitsOnThisThread();

// Whether a call given up is still running. A process that ends then must not wait for its
// threads (the C library's exit would not, but a tool that stops every thread at exit would).
bool AbandonedCallsRemain();

// Whether the file system answers a look at `path` within `limit`: its attributes, and for a
// folder the first of its names. Whatever the look finds (a missing path too) is an answer. The
// look runs on a thread of its own, which a server that does not answer keeps for ever; while a
// look at `path` waits, the next one answers false at once, so that a dead server holds one
// thread per path. It changes nothing, so it is safe to leave waiting.
bool PathAnswers(const std::string& path, std::chrono::milliseconds limit);

namespace internal {
bool HasCallWaiter();
// Runs `job` on a thread of its own and waits for it through the caller's waiter; throws
// EAbandonedCall when the waiter gives up.
void RunAwayAndWait(std::function<void()> job);
} // namespace internal

// `call()`, made off the calling thread when it has a waiter (see above), with its result, its
// exception or its errno brought back.
template <typename Call> auto RunResponsively(Call call) -> decltype(call()) {
    using Result = decltype(call());
    if (!internal::HasCallWaiter())
        return call();
    using Held = std::conditional_t<std::is_void_v<Result>, bool, Result>;
    struct Outcome {
        std::optional<Held> value;
        std::exception_ptr error;
        int errorNumber = 0;
    };
    auto outcome = std::make_shared<Outcome>();
    internal::RunAwayAndWait([outcome, call = std::move(call)]() mutable {
        try {
            if constexpr (std::is_void_v<Result>) {
                call();
                outcome->value.emplace(true);
            } else {
                outcome->value.emplace(call());
            }
        } catch (...) {
            outcome->error = std::current_exception();
        }
        outcome->errorNumber = errno;
    });
    errno = outcome->errorNumber;
    if (outcome->error)
        std::rethrow_exception(outcome->error);
    if constexpr (!std::is_void_v<Result>)
        return std::move(*outcome->value);
}

} // namespace nomilo
