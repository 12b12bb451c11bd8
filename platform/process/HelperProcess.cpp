#include "platform/process/HelperProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

extern char** environ;

namespace nomilo {

namespace {

// Helpers killed but not yet reaped: each end of a helper tries them again.
std::mutex unreapedLock;
std::vector<pid_t> unreaped;

void Reap(pid_t pid) {
    std::lock_guard lock(unreapedLock);
    if (pid > 0)
        unreaped.push_back(pid);
    std::erase_if(unreaped, [](pid_t child) { return waitpid(child, nullptr, WNOHANG) != 0; });
}

// Sends all of `data` on `socket`; false when the other end is gone (never a SIGPIPE).
bool SendAll(int socket, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = send(socket, bytes, size, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

THelperProcess::THelperProcess(const std::vector<std::string>& arguments) {
    int sockets[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0)
        throw std::system_error(errno, std::generic_category(), "socketpair");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, sockets[1], 0);
    posix_spawn_file_actions_adddup2(&actions, sockets[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The helper starts with the signals at their defaults, whatever the program blocks.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int error =
        posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(sockets[1]);
    if (error != 0) {
        close(sockets[0]);
        throw std::system_error(error, std::generic_category(), "posix_spawn " + arguments[0]);
    }
    socket_ = sockets[0];
}

THelperProcess::~THelperProcess() {
    // A helper that is well ends at the end of its input: it is given a moment to, then killed.
    close(socket_);
    for (int wait = 0; wait < 20; ++wait) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            Reap(-1);
            return;
        }
        usleep(1000);
    }
    kill(pid_, SIGKILL);
    Reap(pid_);
}

bool THelperProcess::Write(const void* data, std::size_t size) {
    return SendAll(socket_, data, size);
}

long THelperProcess::Read(void* data, std::size_t size, std::chrono::milliseconds timeout) {
    pollfd ready{socket_, POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int polled = poll(&ready, 1, static_cast<int>(std::max<long>(left.count(), 0)));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled == 0)
            return -1;
        const ssize_t got = recv(socket_, data, size, 0);
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 ? 0 : got;
    }
}

long ReadRequests(void* data, std::size_t size) {
    for (;;) {
        const ssize_t got = read(0, data, size);
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 ? 0 : got;
    }
}

bool WriteAnswer(const void* data, std::size_t size) {
    return SendAll(1, data, size);
}

void LimitHelper(std::size_t bytes) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    if (bytes > 0) {
        const rlimit space{bytes, bytes};
        setrlimit(RLIMIT_AS, &space);
    }
}

} // namespace nomilo
