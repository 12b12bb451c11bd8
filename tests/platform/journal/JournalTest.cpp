#include "platform/files/FileIO.h"
#include "platform/journal/JournalFile.h"
#include "tests/support/TempFolder.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace nomilo {
namespace {

class Journal : public ::testing::Test {
protected:
    std::unique_ptr<JournalFile> Create() {
        return JournalFile::Create(path, "/photos/2024", {{"a.jpg", "b.jpg"}, {latin2, "c"}});
    }
    std::string Bytes() const { return tmp.Read("state/nomilo/last-rename.journal"); }
    void Write(const std::string& text) { tmp.AddFile("state/nomilo/last-rename.journal", text); }

    test::TempFolder tmp;
    std::string path = tmp / "state/nomilo/last-rename.journal";
    const std::string latin2 = "\xC8"
                               "a\xE8"
                               "ak.txt";
};

// The undo tests read journals back across processes; here what they cannot see.
TEST_F(Journal, HasOneHolderAtATimeAndSweepsWhatAKilledWritingLeft) {
    tmp.AddFolder("state/nomilo");
    tmp.AddFile("state/nomilo/.last-rename.journal.Ab12Cd", "half");
    const auto journal = Create();
    ASSERT_TRUE(journal);
    EXPECT_FALSE(std::filesystem::exists(tmp / "state/nomilo/.last-rename.journal.Ab12Cd"));
    EXPECT_FALSE(JournalFile::Open(path)); // within one process too
    EXPECT_FALSE(Create());
    EXPECT_EQ(journal->Step(1).oldName, latin2);
}

TEST_F(Journal, ADamagedJournalIsNoneAndIsLeftAlone) {
    ASSERT_TRUE(Create());
    const std::string good = Bytes();
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        return text.replace(text.find(from), from.size(), to);
    };
    const std::string damaged[] = {
        good.substr(0, good.size() - 1),             // cut short
        good + "x",                                  // more than it says
        replaced("\n2\n", "\n3\n"),                  // a step missing
        replaced("\n..\n", "\n.x\n"),                // no such mark
        replaced("b.jpg", "b/jp"),                   // not a bare name
        replaced("/photos", "photos/"),              // not an absolute folder
        replaced("Nomilo rename journal 1", "Nomilo rename journal 2"),
        "",
    };
    for (const std::string& text : damaged) {
        Write(text);
        EXPECT_FALSE(JournalFile::Open(path)) << text;
        EXPECT_EQ(Bytes(), text);
    }
}

TEST_F(Journal, AJournalThatCannotBeWrittenLeavesNoOlderOne) {
    ASSERT_TRUE(Create());
    // A disk that takes no more than 100 bytes: the old journal must not stand for this batch.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit small{100, saved.rlim_max};
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = static_cast<bool>(Create());
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_FALSE(JournalFile::Open(path));
    // Nor a temporary file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp / "state/nomilo"),
                            std::filesystem::directory_iterator()),
              1); // the lock

    // A state folder that is a file.
    tmp.AddFile("file");
    EXPECT_FALSE(JournalFile::Create(tmp / "file/nomilo/last-rename.journal", "/x", {{"a", "b"}}));
}

} // namespace
} // namespace nomilo
