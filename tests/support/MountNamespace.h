#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
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

// Mounts at `mountPoint` a FUSE file system of the type `type` ("fuse", or "fuse." and a name,
// as the mount table shows it) whose server never answers: every look into it waits until the
// process ends, as with a network server that stopped. Answers why it could not be made, or the
// empty text. For a process of its own (RunWithOwnMounts).
std::string MountDeadServer(const std::string& mountPoint, const std::string& type);

// The same with a server that answers every request after `delay`, on a thread of its own: its
// root is an empty folder, and every name in it is missing.
std::string MountSlowServer(const std::string& mountPoint, const std::string& type,
                            std::chrono::milliseconds delay);

// The same with a server that answers at once (every access let through, the root an empty
// folder) until `dead` is set, and then never again: a server that stopped while the process
// was in its folder.
std::string MountServerThatDies(const std::string& mountPoint, const std::string& type,
                                std::shared_ptr<std::atomic<bool>> dead);

} // namespace nomilo::test
