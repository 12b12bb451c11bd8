#include "tests/support/MountNamespace.h"

#include "platform/files/FileIO.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iterator>
#include <memory>
#include <linux/fuse.h>
#include <poll.h>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

// Opens /dev/fuse and mounts it at `mountPoint`: the device, or -1 with why in `why`.
int MountFuse(const std::string& mountPoint, const std::string& type, std::string& why) {
    const int device = open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (device < 0) {
        why = std::string("/dev/fuse cannot be opened: ") + std::strerror(errno);
        return -1;
    }
    const std::string options =
        "fd=" + std::to_string(device) + ",rootmode=40000,user_id=0,group_id=0";
    if (mount("server", mountPoint.c_str(), type.c_str(), MS_NOSUID | MS_NODEV, options.c_str()) !=
        0) {
        why = std::string("the FUSE mount is refused: ") + std::strerror(errno);
        close(device);
        return -1;
    }
    return device;
}

void Reply(int device, std::uint64_t unique, int error, const void* body, std::size_t size) {
    std::vector<char> reply(sizeof(fuse_out_header) + size);
    fuse_out_header header{};
    header.len = static_cast<std::uint32_t>(reply.size());
    header.error = error;
    header.unique = unique;
    std::memcpy(reply.data(), &header, sizeof header);
    if (size > 0)
        std::memcpy(reply.data() + sizeof header, body, size);
    WriteAll(device, std::string_view(reply.data(), reply.size()));
}

// The slow server: the kernel's first request (INIT) and then each look get their answer after
// `delay`; the root is an empty folder. Once `dead` is set, the next request is never answered,
// nor any after it.
void ServeSlowly(int device, std::chrono::milliseconds delay,
                 const std::shared_ptr<std::atomic<bool>>& dead = nullptr) {
    std::vector<char> request(1 << 17);
    for (;;) {
        const ssize_t length = read(device, request.data(), request.size());
        if (length < static_cast<ssize_t>(sizeof(fuse_in_header))) {
            if (length < 0 && errno == EINTR)
                continue;
            return; // unmounted
        }
        if (dead && *dead)
            return;
        fuse_in_header in{};
        std::memcpy(&in, request.data(), sizeof in);
        if (in.opcode == FUSE_FORGET || in.opcode == FUSE_BATCH_FORGET ||
            in.opcode == FUSE_INTERRUPT)
            continue; // no answer is awaited
        std::this_thread::sleep_for(delay);
        if (in.opcode == FUSE_INIT) {
            fuse_init_in init{};
            std::memcpy(&init, request.data() + sizeof in, sizeof init);
            fuse_init_out out{};
            out.major = FUSE_KERNEL_VERSION;
            out.minor = FUSE_KERNEL_MINOR_VERSION;
            out.max_readahead = init.max_readahead;
            out.max_write = 4096;
            out.time_gran = 1;
            Reply(device, in.unique, 0, &out, sizeof out);
        } else if (in.opcode == FUSE_GETATTR && in.nodeid == FUSE_ROOT_ID) {
            fuse_attr_out out{};
            out.attr.ino = FUSE_ROOT_ID;
            out.attr.mode = S_IFDIR | 0755;
            out.attr.nlink = 2;
            Reply(device, in.unique, 0, &out, sizeof out);
        } else if (in.opcode == FUSE_ACCESS) {
            Reply(device, in.unique, -ENOSYS, nullptr, 0); // every access is let through
        } else {
            Reply(device, in.unique, -ENOENT, nullptr, 0);
        }
    }
}

// The mount points of the FUSE mounts in the mount table `mountInfo` (paths without spaces).
std::vector<std::string> FuseMountPoints(const std::string& mountInfo) {
    std::vector<std::string> points;
    std::istringstream lines(mountInfo);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::vector<std::string> field{std::istream_iterator<std::string>(fields), {}};
        const auto separator = std::find(field.begin(), field.end(), "-");
        if (field.size() > 4 && separator != field.end() && separator + 1 != field.end() &&
            separator[1].starts_with("fuse"))
            points.push_back(field[4]);
    }
    return points;
}

// Ends every FUSE mount of this process's mount namespace: a forced unmount first ends the
// connection, so that every request waiting on a server fails at once.
void AbortFuseMounts() {
    const int table = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (table < 0)
        return;
    const std::string text = ReadAll(table).value_or(std::string());
    close(table);
    for (const std::string& point : FuseMountPoints(text))
        umount2(point.c_str(), MNT_FORCE | MNT_DETACH);
}

// The same from outside, in the mount namespace of any thread of `process`.
void AbortFuseMountsOf(pid_t process) {
    const std::string tasks = "/proc/" + std::to_string(process) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir)
        return;
    int mounts = -1;
    while (const dirent* task = readdir(dir))
        if (mounts < 0 && task->d_name[0] != '.')
            mounts = open((tasks + "/" + task->d_name + "/ns/mnt").c_str(), O_RDONLY | O_CLOEXEC);
    closedir(dir);
    if (mounts < 0)
        return;
    // Only a process of one thread may enter another mount namespace: a helper of its own.
    const pid_t helper = fork();
    if (helper == 0) {
        if (setns(mounts, CLONE_NEWNS) == 0)
            AbortFuseMounts();
        _exit(0);
    }
    close(mounts);
    if (helper > 0)
        waitpid(helper, nullptr, 0);
}

} // namespace

std::string MountDeadServer(const std::string& mountPoint, const std::string& type) {
    std::string why;
    // Never read: no request is ever answered.
    MountFuse(mountPoint, type, why);
    return why;
}

std::string MountSlowServer(const std::string& mountPoint, const std::string& type,
                            std::chrono::milliseconds delay) {
    std::string why;
    const int device = MountFuse(mountPoint, type, why);
    if (device >= 0)
        std::thread(ServeSlowly, device, delay, nullptr).detach();
    return why;
}

std::string MountServerThatDies(const std::string& mountPoint, const std::string& type,
                                std::shared_ptr<std::atomic<bool>> dead) {
    std::string why;
    const int device = MountFuse(mountPoint, type, why);
    if (device >= 0)
        std::thread(ServeSlowly, device, std::chrono::milliseconds(0), std::move(dead)).detach();
    return why;
}

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
        // A request a server of this process took and will not answer now would hold a thread,
        // and with it the process, for ever: the FUSE mounts go first.
        AbortFuseMounts();
        _exit(skipped.empty() ? 0 : 2);
    }
    close(channel[1]);
    // A child stuck where no signal reaches it (a FUSE request its own server took) is freed by
    // ending its FUSE mounts from outside; its report is read until then.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds + 5);
    std::string text;
    bool whole = false;
    while (!whole && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{channel[0], POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0)
            continue;
        char buffer[4096];
        const ssize_t count = read(channel[0], buffer, sizeof buffer);
        if (count > 0)
            text.append(buffer, static_cast<std::size_t>(count));
        else if (count == 0 || errno != EINTR)
            whole = true;
    }
    close(channel[0]);
    int status = 0;
    if (!whole && waitpid(child, &status, WNOHANG) != child) {
        AbortFuseMountsOf(child);
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        outcome.timedOut = true;
    } else if (whole) {
        waitpid(child, &status, 0);
    }
    outcome.timedOut = outcome.timedOut || (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2)
        outcome.skipped = text;
    else
        outcome.report = text;
    return outcome;
}

} // namespace nomilo::test
