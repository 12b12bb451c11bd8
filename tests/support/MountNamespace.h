#pragma once

#include <functional>
#include <string>

namespace nomilo::test {

// What a child process made by RunWithOwnMounts did.
struct ChildOutcome {
    std::string skipped; // why the work could not be run there; empty when it ran
    bool timedOut = false;
    std::string report; // what the work wrote into its report
};

// Runs `work` in a child process with a mount namespace of its own: what it mounts is seen by
// no other process and goes away with the child. `work` writes what it found into its report
// and answers the empty text, or answers why it cannot run here. The child is ended after
// `seconds`. Needs root; the outcome tells why not.
ChildOutcome RunWithOwnMounts(const std::function<std::string(std::string& report)>& work,
                              unsigned seconds = 20);

} // namespace nomilo::test
