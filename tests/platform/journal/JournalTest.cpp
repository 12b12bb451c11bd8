#include "platform/files/FileIO.h"
#include "platform/journal/JournalFile.h"
#include "tests/support/TempFolder.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

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

TEST_F(Journal, KeepsTheStepsAsBytesAndItsMarksAcrossOpenings) {
    {
        // What a writing cut short left goes.
        tmp.AddFolder("state/nomilo");
        tmp.AddFile("state/nomilo/.last-rename.journal.Ab12Cd", "half");
        const auto journal = Create();
        ASSERT_TRUE(journal);
        EXPECT_FALSE(std::filesystem::exists(tmp / "state/nomilo/.last-rename.journal.Ab12Cd"));
        EXPECT_FALSE(journal->Ended());
        EXPECT_TRUE(journal->SameBoot());
        // One holder at a time, within one process too.
        EXPECT_FALSE(JournalFile::Open(path));
        journal->SetMark(1, jmStarted);
    }
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    auto journal = JournalFile::Open(path);
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->Folder(), "/photos/2024");
    ASSERT_EQ(journal->StepCount(), 2u);
    EXPECT_EQ(journal->Step(1).oldName, latin2);
    EXPECT_EQ(journal->Step(1).newName, "c");
    EXPECT_EQ(journal->Mark(0), jmPlanned);
    EXPECT_EQ(journal->Mark(1), jmStarted);
    journal->SetEnded();
    journal.reset();
    EXPECT_TRUE(JournalFile::Open(path)->Ended());
    JournalFile::Open(path)->Discard();
    EXPECT_FALSE(JournalFile::Open(path));
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

TEST(JournalPath, FollowsXdgStateHome) {
    const std::string saved = std::getenv("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME") : "";
    setenv("XDG_STATE_HOME", "/state", 1);
    EXPECT_EQ(JournalFile::DefaultPath(), "/state/nomilo/last-rename.journal");
    setenv("XDG_STATE_HOME", "relative", 1);
    setenv("HOME", "/home/ann", 1);
    EXPECT_EQ(JournalFile::DefaultPath(), "/home/ann/.local/state/nomilo/last-rename.journal");
    setenv("XDG_STATE_HOME", saved.c_str(), 1);
}

} // namespace
} // namespace nomilo
