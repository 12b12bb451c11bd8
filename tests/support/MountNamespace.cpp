#include "tests/support/MountNamespace.h"

#include "platform/files/FileIO.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nomilo::test {

namespace {

std::string InOwnMountNamespace() {
    if (geteuid() != 0)
        return "a mount namespace of its own needs root";
    if (unshare(CLONE_NEWNS) != 0)
        return std::string("no mount namespace of its own: ") + std::strerror(errno);
    // Mounts made from now on stay in this namespace.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("the mounts cannot be made private: ") + std::strerror(errno);
    return {};
}

} // namespace

ChildOutcome RunWithOwnMounts(const std::function<std::string(std::string& report)>& work,
                              unsigned seconds) {
    ChildOutcome outcome;
    int channel[2];
    if (pipe(channel) != 0)
        return {"no pipe to the child", false, {}};
    const pid_t child = fork();
    if (child < 0)
        return {"no child process", false, {}};
    if (child == 0) {
        // The child: whatever happens, it ends here, without the parent's clean-up.
        close(channel[0]);
        alarm(seconds);
        std::string report;
        std::string skipped = InOwnMountNamespace();
        if (skipped.empty())
            skipped = work(report);
        WriteAll(channel[1], skipped.empty() ? report : skipped);
        _exit(skipped.empty() ? 0 : 2);
    }
    close(channel[1]);
    const std::string text = ReadAll(channel[0]).value_or(std::string());
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    outcome.timedOut = WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2)
        outcome.skipped = text;
    else
        outcome.report = text;
    return outcome;
}

} // namespace nomilo::test
