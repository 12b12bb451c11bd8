#include "platform/files/EInOutError.h"

#include <cerrno>

namespace nomilo {

EInOutError::EInOutError(int code) : std::runtime_error(IoErrorMessage(code)), code_(code) {}

EInOutError EInOutError::FromErrno(int error) { return EInOutError(IoErrorCodeFromErrno(error)); }

std::string IoErrorMessage(int code) {
    switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
    }
}

int IoErrorCodeFromErrno(int error) {
    switch (error) {
    case ENOENT: return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM: return 5;
    default: return 1000 + error;
    }
}

} // namespace nomilo
