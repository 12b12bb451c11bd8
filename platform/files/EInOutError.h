#pragma once

#include <stdexcept>
#include <string>

namespace nomilo {

// The error raised when a folder cannot be made the process's current directory. It carries
// the program's error code (2 "File not found", 3 "Invalid filename", ...) and the message
// that code selects.
class EInOutError : public std::runtime_error {
public:
    explicit EInOutError(int code);

    // Code for a refusal reported by the kernel as errno `error`.
    static EInOutError FromErrno(int error);

    int Code() const { return code_; }

private:
    int code_;
};

// "File not found" for 2, ..., "I/O error 1005" for a code without a message of its own.
std::string IoErrorMessage(int code);

// Maps errno to the program's error code: ENOENT 2; ENOTDIR, ENAMETOOLONG, ELOOP 3;
// EMFILE, ENFILE 4; EACCES, EPERM 5; anything else 1000 + errno, so that no errno borrows
// the message of another situation.
int IoErrorCodeFromErrno(int error);

} // namespace nomilo
