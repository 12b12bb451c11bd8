#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nomilo {

// Looks at where links lead through mounts that a look of the window must not wait on (network
// and FUSE mounts other than the folder's own): each look runs on a thread of the mount's own,
// one at a time per mount, so a server that does not answer holds up one thread, never the
// caller, however many links lead to it.

// What a look found at the end of a link.
enum class TLinkEndAnswer {
    Folder,  // a folder
    File,    // anything else that is there
    Nothing, // nothing is there, or no way to it (a dangling link): a plain file
    Unknown, // the mount did not tell (an I/O error, a lost connection): taken as a folder
};

// A look at the end of a link through another mount: the mount and the path to look at there.
struct TLinkLook {
    std::string mountPoint;
    std::string path; // absolute; may hold links, "." and ".." still to follow
};

// The answer the last look at `look.path` gave, std::nullopt when none has answered yet. A new
// look is started (after any under way for the mount), so that the answer is fresh for the next
// read; when it differs from the one before (no answer counts as a folder), the listener hears
// of `folder`, the folder whose read asked.
std::optional<TLinkEndAnswer> LookAtLinkEnd(const TLinkLook& look, const std::string& folder);

// The answer the last look at `path` gave, without starting one.
std::optional<TLinkEndAnswer> LinkEndAnswer(const std::string& path);

// Waits until each of `looks` has an answer, at most until `deadline`. Looks of a mount whose
// look under way has taken longer than kLinkLookPatience are not waited for: that mount may
// never answer.
void WaitForLinkLooks(const std::vector<TLinkLook>& looks,
                      std::chrono::steady_clock::time_point deadline);

// How long a read waits for the looks it started.
inline constexpr std::chrono::milliseconds kLinkLookPatience{100};

// Called on a look's thread when a look's answer differs from the one before it, with the
// folder whose read asked for it; it must not wait (the window only posts the news to its own
// thread). An empty function removes it. Replaces any earlier listener.
void SetLinkLookListener(std::function<void(const std::string& folder)> listener);

// Whether a look is under way (its mount has not answered yet).
bool LinkLooksUnderWay();

} // namespace nomilo
