#include "platform/EInOutError.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace nomilo {
namespace {

TEST(IoError, MessageIsChosenByCode) {
    EXPECT_STREQ(EInOutError(2).what(), "File not found");
    EXPECT_STREQ(EInOutError(3).what(), "Invalid filename");
    EXPECT_STREQ(EInOutError(4).what(), "Too many open files");
    EXPECT_STREQ(EInOutError(5).what(), "File access denied");
    EXPECT_STREQ(EInOutError(100).what(), "Read beyond end of file");
    EXPECT_STREQ(EInOutError(101).what(), "Disk full");
    EXPECT_STREQ(EInOutError(106).what(), "Invalid numeric input");
    EXPECT_STREQ(EInOutError(1005).what(), "I/O error 1005");
    EXPECT_EQ(EInOutError(7).Code(), 7);
}

TEST(IoError, ErrnoMapsToTheCodeOfTheSameSituation) {
    EXPECT_EQ(IoErrorCodeFromErrno(ENOENT), 2);
    for (int e : {ENOTDIR, ENAMETOOLONG, ELOOP})
        EXPECT_EQ(IoErrorCodeFromErrno(e), 3) << e;
    for (int e : {EMFILE, ENFILE})
        EXPECT_EQ(IoErrorCodeFromErrno(e), 4) << e;
    for (int e : {EACCES, EPERM})
        EXPECT_EQ(IoErrorCodeFromErrno(e), 5) << e;
    // Other errnos never borrow a message: EIO (5) must not read "File access denied".
    EXPECT_STREQ(EInOutError::FromErrno(EIO).what(), "I/O error 1005");
    EXPECT_STREQ(EInOutError::FromErrno(ENOSPC).what(), "I/O error 1028");
}

} // namespace
} // namespace nomilo
