#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace nomilo::test {

// How a run of the built nomilo-rename ended and what it wrote.
struct TCommandRun {
    int status = -1; // the exit status, -1 when a signal ended it
    int signal = 0;  // the signal that ended it, 0 for none
    std::string out;
    std::string err;
};

// nomilo-rename started in `folder` with `arguments`, its output going to files of its own, and
// the test's environment (the sandbox's journal).
class TRunningCommand {
public:
    TRunningCommand(const std::vector<std::string>& arguments, const std::string& folder);
    ~TRunningCommand();
    TRunningCommand(const TRunningCommand&) = delete;
    TRunningCommand& operator=(const TRunningCommand&) = delete;

    pid_t Pid() const { return pid_; }
    TCommandRun Wait();

private:
    std::string outPath_, errPath_;
    pid_t pid_ = -1;
};

// Runs nomilo-rename to its end.
TCommandRun RunCommand(const std::vector<std::string>& arguments, const std::string& folder);

} // namespace nomilo::test
