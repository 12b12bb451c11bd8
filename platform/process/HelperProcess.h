#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

namespace nomilo {

// A helper process of the program's own, which reads requests on its standard input and writes
// answers on its standard output, both one socket to the program (so that a helper that is gone
// is an error, never a signal). Its standard error goes nowhere. Ending it closes its input and
// gives it 20 ms to end, then kills it; a helper stuck in the kernel (on a dead network mount) is
// reaped later, never waited for.
class THelperProcess {
public:
    // Starts `arguments` (the program first). Throws std::system_error when it cannot.
    explicit THelperProcess(const std::vector<std::string>& arguments);
    ~THelperProcess();
    THelperProcess(const THelperProcess&) = delete;
    THelperProcess& operator=(const THelperProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // Writes all of `data`; false when the helper is gone.
    bool Write(const void* data, std::size_t size);
    // Reads what is there, waiting at most `timeout`: the number of bytes read, 0 when the helper
    // is gone, -1 when nothing came in time.
    long Read(void* data, std::size_t size, std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    int socket_ = -1;
};

// In the helper: reads what is there on standard input (0 at its end), and writes all of
// `data` to standard output (false when the program is gone).
long ReadRequests(void* data, std::size_t size);
bool WriteAnswer(const void* data, std::size_t size);

// Makes the helper's process a little safer against what it parses: no core files, and its
// address space limited to `bytes` (0: no limit).
void LimitHelper(std::size_t bytes);

} // namespace nomilo
