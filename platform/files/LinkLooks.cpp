#include "platform/files/LinkLooks.h"

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unordered_map>

namespace nomilo {

namespace {

struct PathLooks {
    std::optional<TLinkEndAnswer> answer;
    bool queued = false;           // a look at it is waiting or under way
    std::set<std::string> askedBy; // the folders whose reads asked since the last answer
};

struct MountLooks {
    std::deque<std::string> queue;                   // paths waiting for a look
    bool running = false;                            // its thread is at work
    std::chrono::steady_clock::time_point lookSince; // when the look under way began
};

// Every look of the process. Made once and never destroyed: a look's thread may still be
// waiting on its server when the program ends.
struct Looks {
    std::mutex lock;
    std::condition_variable answered;
    std::unordered_map<std::string, PathLooks> paths;
    std::map<std::string, MountLooks> mounts;
    std::function<void(const std::string&)> listener;
};

Looks& TheLooks() {
    static Looks* looks = new Looks;
    return *looks;
}

bool ShownAsFolder(const std::optional<TLinkEndAnswer>& answer) {
    return !answer || *answer == TLinkEndAnswer::Folder || *answer == TLinkEndAnswer::Unknown;
}

// The kernel follows the path to its end, through the mount and any link there.
TLinkEndAnswer Look(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? TLinkEndAnswer::Folder : TLinkEndAnswer::File;
    switch (errno) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
        return TLinkEndAnswer::Nothing;
    default:
        return TLinkEndAnswer::Unknown;
    }
}

// The thread of a mount: looks at the paths queued for it, one after another, until none is
// left.
void LookThrough(std::string mountPoint) {
    Looks& looks = TheLooks();
    std::unique_lock guard(looks.lock);
    for (;;) {
        MountLooks& mount = looks.mounts[mountPoint];
        if (mount.queue.empty()) {
            mount.running = false;
            return;
        }
        const std::string path = std::move(mount.queue.front());
        mount.queue.pop_front();
        mount.lookSince = std::chrono::steady_clock::now();
        guard.unlock();
        const TLinkEndAnswer answer = Look(path);
        guard.lock();
        PathLooks& looked = looks.paths[path];
        const bool changed = ShownAsFolder(looked.answer) != ShownAsFolder(answer);
        looked.answer = answer;
        looked.queued = false;
        const std::set<std::string> askedBy = std::move(looked.askedBy);
        looked.askedBy.clear();
        if (changed && looks.listener)
            for (const std::string& folder : askedBy)
                looks.listener(folder);
        looks.answered.notify_all();
    }
}

} // namespace

std::optional<TLinkEndAnswer> LookAtLinkEnd(const TLinkLook& look, const std::string& folder) {
    Looks& looks = TheLooks();
    const std::lock_guard guard(looks.lock);
    PathLooks& path = looks.paths[look.path];
    path.askedBy.insert(folder);
    if (!path.queued) {
        path.queued = true;
        MountLooks& mount = looks.mounts[look.mountPoint];
        mount.queue.push_back(look.path);
        if (!mount.running) {
            mount.running = true;
            mount.lookSince = std::chrono::steady_clock::now();
            std::thread(LookThrough, look.mountPoint).detach();
        }
    }
    return path.answer;
}

std::optional<TLinkEndAnswer> LinkEndAnswer(const std::string& path) {
    Looks& looks = TheLooks();
    const std::lock_guard guard(looks.lock);
    const auto found = looks.paths.find(path);
    return found == looks.paths.end() ? std::nullopt : found->second.answer;
}

void WaitForLinkLooks(const std::vector<TLinkLook>& waited,
                      std::chrono::steady_clock::time_point deadline) {
    Looks& looks = TheLooks();
    std::unique_lock guard(looks.lock);
    const auto unanswered = [&] {
        const auto now = std::chrono::steady_clock::now();
        for (const TLinkLook& look : waited) {
            const auto path = looks.paths.find(look.path);
            if (path != looks.paths.end() && path->second.answer)
                continue;
            const MountLooks& mount = looks.mounts[look.mountPoint];
            if (!mount.running || now - mount.lookSince <= kLinkLookPatience)
                return true;
        }
        return false;
    };
    looks.answered.wait_until(guard, deadline, [&] { return !unanswered(); });
}

void SetLinkLookListener(std::function<void(const std::string& folder)> listener) {
    Looks& looks = TheLooks();
    const std::lock_guard guard(looks.lock);
    looks.listener = std::move(listener);
}

bool LinkLooksUnderWay() {
    Looks& looks = TheLooks();
    const std::lock_guard guard(looks.lock);
    for (const auto& [mountPoint, mount] : looks.mounts)
        if (mount.running)
            return true;
    return false;
}

} // namespace nomilo
