#include "tests/cli/CommandRunner.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace nomilo::test {

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string TempPath(const char* what) {
    char pattern[] = "/tmp/nomilo-rename-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0)
        throw std::runtime_error("no temporary file");
    close(fd);
    return std::string(pattern) + what;
}

} // namespace

TRunningCommand::TRunningCommand(const std::vector<std::string>& arguments,
                                 const std::string& folder)
    : outPath_(TempPath(".out")), errPath_(TempPath(".err")) {
    std::vector<char*> argv{const_cast<char*>(NOMILO_RENAME_PROGRAM)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    const int error = posix_spawn(&pid_, NOMILO_RENAME_PROGRAM, &actions, nullptr, argv.data(),
                                  environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start nomilo-rename");
}

TRunningCommand::~TRunningCommand() {
    if (pid_ > 0)
        Wait();
    std::remove(outPath_.c_str());
    std::remove(errPath_.c_str());
    // mkstemp's own files, without the suffixes.
    std::remove(outPath_.substr(0, outPath_.size() - 4).c_str());
    std::remove(errPath_.substr(0, errPath_.size() - 4).c_str());
}

TCommandRun TRunningCommand::Wait() {
    TCommandRun run;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        run.signal = WTERMSIG(status);
    run.out = ReadFile(outPath_);
    run.err = ReadFile(errPath_);
    return run;
}

TCommandRun RunCommand(const std::vector<std::string>& arguments, const std::string& folder) {
    TRunningCommand command(arguments, folder);
    return command.Wait();
}

} // namespace nomilo::test
