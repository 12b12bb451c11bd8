#include "platform/EInOutError.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace nomilo {
namespace {

TEST(IoError, ErrnoPicksTheCodeAndTheCodeTheMessage) {
    const struct {
        int error, code;
        const char* message;
    } cases[] = {
        {ENOENT, 2, "File not found"},
        {ENOTDIR, 3, "Invalid filename"},
        {ENAMETOOLONG, 3, "Invalid filename"},
        {ELOOP, 3, "Invalid filename"},
        {EMFILE, 4, "Too many open files"},
        {ENFILE, 4, "Too many open files"},
        {EACCES, 5, "File access denied"},
        {EPERM, 5, "File access denied"},
        // Other errnos never borrow a message: EIO (5) must not read "File access denied".
        {EIO, 1005, "I/O error 1005"},
        {ENOSPC, 1028, "I/O error 1028"},
    };
    for (const auto& c : cases) {
        const EInOutError error = EInOutError::FromErrno(c.error);
        EXPECT_EQ(error.Code(), c.code) << c.error;
        EXPECT_STREQ(error.what(), c.message) << c.error;
    }
}

} // namespace
} // namespace nomilo
