#include "platform/files/FileIO.h"
#include "platform/journal/JournalFile.h"
#include "tests/support/TempFolder.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nomilo {
namespace {

class Journal : public ::testing::Test {
protected:
    std::unique_ptr<JournalPlace> Take() {
        JournalTrouble trouble;
        auto place = JournalPlace::Take(path, true, trouble);
        EXPECT_TRUE(place) << static_cast<int>(trouble.problem);
        return place;
    }
    std::unique_ptr<JournalFile> Create(JournalPlace& place) {
        JournalTrouble trouble;
        return place.Create("/photos/2024", {7, 8, 9, true}, steps, trouble);
    }
    JournalTrouble OpenTrouble() {
        JournalTrouble trouble;
        const auto place = Take();
        if (place)
            place->Open(trouble);
        return trouble;
    }
    std::string Bytes() const { return tmp.Read("state/nomilo/last-rename.journal"); }
    void Write(const std::string& text) { tmp.AddFile("state/nomilo/last-rename.journal", text); }

    test::TempFolder tmp;
    std::string path = tmp / "state/nomilo/last-rename.journal";
    const std::string latin2 = "\xC8"
                               "a\xE8"
                               "ak.txt";
    // Every step of a plan is kept, those with names no file can have too.
    const std::vector<JournalStep> steps = {{"a.jpg", "b.jpg"},
                                            {latin2, ""},
                                            {"copy", ".."},
                                            {"x", std::string_view("y\0/z", 4)},
                                            {"c", "d"}};
};

// The undo tests read journals back across processes; here what they cannot see.
TEST_F(Journal, HasOneHolderAtATimeKeepsEveryStepAndSweepsWhatAKilledWritingLeft) {
    tmp.AddFolder("state/nomilo");
    tmp.AddFile("state/nomilo/.last-rename.journal.Ab12Cd", "half");
    auto place = Take();
    ASSERT_TRUE(place);
    EXPECT_FALSE(std::filesystem::exists(tmp / "state/nomilo/.last-rename.journal.Ab12Cd"));
    JournalTrouble trouble;
    EXPECT_FALSE(JournalPlace::Take(path, true, trouble)); // within one process too
    EXPECT_EQ(trouble.problem, JournalProblem::Busy);

    const std::vector<JournalFolder> subfolders = {{"sub", {1, 2, 3, true}},
                                                   {"sub/deeper 2", {4, 5, 0, false}}};
    const auto journal = place->Create("/photos/2024", {7, 8, 9, true}, steps, trouble, subfolders);
    ASSERT_TRUE(journal);
    for (std::size_t i = 0; i < steps.size(); ++i) { // as written, without reading them back
        EXPECT_EQ(journal->Step(i).oldName, steps[i].oldName);
        EXPECT_EQ(journal->Step(i).newName, steps[i].newName);
    }
    ASSERT_EQ(journal->Subfolders().size(), 2u);
    EXPECT_EQ(journal->Subfolders()[1].path, "sub/deeper 2");
    EXPECT_EQ(journal->SubfolderIdentity("sub")->born, 3);
    place.reset();
    place = Take();
    const auto again = place->Open(trouble);
    ASSERT_TRUE(again) << static_cast<int>(trouble.problem);
    ASSERT_EQ(again->StepCount(), steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(again->Step(i).oldName, steps[i].oldName);
        EXPECT_EQ(again->Step(i).newName, steps[i].newName);
    }
    EXPECT_EQ(again->Folder(), "/photos/2024");
    EXPECT_EQ(again->FolderId().inode, 8u);
    EXPECT_EQ(JournalBatchId(path), again->BatchId());
}

TEST_F(Journal, ANewJournalKeepsTheOneBeforeAsideUntilToldWhichStays) {
    auto place = Take();
    const auto first = Create(*place);
    ASSERT_TRUE(first);
    EXPECT_FALSE(place->HasPrevious());
    const auto second = Create(*place);
    ASSERT_TRUE(second);
    ASSERT_TRUE(place->HasPrevious());
    place->RestorePrevious();
    EXPECT_EQ(JournalBatchId(path), first->BatchId());
    EXPECT_FALSE(place->HasPrevious());

    ASSERT_TRUE(Create(*place));
    place->DropPrevious();
    EXPECT_FALSE(place->HasPrevious());
    EXPECT_NE(JournalBatchId(path), first->BatchId());
}

// Random bytes changed anywhere (header, checksum, padding, records, names): every such journal
// is refused whole, and left as it is.
TEST_F(Journal, EveryDamagedJournalIsRefusedAndLeftAlone) {
    {
        auto place = Take();
        const auto journal = Create(*place);
        ASSERT_TRUE(journal);
        // Records in many states: identities, ways, link counts, an undo.
        journal->Start(0, FileIdentity{2, 3, 4, 5, 1});
        journal->SetWay(0, MoveWay::LinkUnlink);
        journal->SetMark(0, jmDone);
        journal->StartUndo(0, 2);
        journal->SetMark(0, jmUndoRefused);
        journal->Start(1, std::nullopt);
        journal->SetMark(1, jmRefused);
        journal->Start(4, FileIdentity{9, 0, 0, 0, 3});
        journal->SetPhase(JournalPhase::Ended);
    }
    const std::string good = Bytes();
    ASSERT_EQ(OpenTrouble().problem, JournalProblem::None);

    auto place = Take();
    const FileDescriptor file(open(path.c_str(), O_RDWR | O_CLOEXEC));
    std::mt19937 random(6);
    for (int round = 0; round < 5000; ++round) {
        std::string text = good;
        for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n) {
            char& byte = text[random() % text.size()];
            byte = static_cast<char>(byte + 1 + random() % 255);
        }
        ASSERT_EQ(pwrite(file.Get(), text.data(), text.size(), 0),
                  static_cast<ssize_t>(text.size()));
        JournalTrouble trouble;
        ASSERT_FALSE(place->Open(trouble)) << round;
        ASSERT_EQ(trouble.problem, JournalProblem::Damaged) << round;
        ASSERT_TRUE(HoldsExactly(file.Get(), text)) << round;
    }
    place.reset();
    for (const std::string& text : {good.substr(0, good.size() - 1), good + "x", std::string()}) {
        Write(text);
        EXPECT_EQ(OpenTrouble().problem, JournalProblem::Damaged) << text.size();
    }
}

// A process killed while it changes a record leaves it as it was or as it was to be.
TEST_F(Journal, ARecordChangedWhenTheProcessIsKilledIsNeverDamaged) {
    {
        auto place = Take();
        ASSERT_TRUE(Create(*place));
    }
    std::mt19937 random(11);
    for (int round = 0; round < 20; ++round) {
        const pid_t child = fork();
        if (child == 0) {
            JournalTrouble trouble;
            const auto place = JournalPlace::Take(path, false, trouble);
            const auto journal = place ? place->Open(trouble) : nullptr;
            if (!journal)
                _exit(1);
            for (std::uint32_t n = 0;; ++n) {
                const std::size_t i = n % journal->StepCount();
                journal->Start(i, FileIdentity{n, n, n, n, n});
                journal->SetWay(i, MoveWay::LinkUnlink);
                journal->SetMark(i, jmDone);
                journal->StartUndo(i, n);
                journal->SetMark(i, jmRestored);
                journal->SetPhase(n % 2 ? JournalPhase::Running : JournalPhase::Ended);
            }
        }
        usleep(static_cast<useconds_t>(2000 + random() % 20000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child could not open the journal";
        ASSERT_EQ(OpenTrouble().problem, JournalProblem::None) << round;
    }
}

TEST_F(Journal, OnlyARegularFileOfTheUsersOwnThatNoOneElseMayWriteIsOpened) {
    {
        auto place = Take();
        ASSERT_TRUE(Create(*place));
    }
    const std::string elsewhere = tmp / "elsewhere.journal";
    ASSERT_EQ(rename(path.c_str(), elsewhere.c_str()), 0);
    ASSERT_EQ(symlink(elsewhere.c_str(), path.c_str()), 0);
    EXPECT_EQ(OpenTrouble().problem, JournalProblem::NotRegular); // a link is not followed
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(rename(elsewhere.c_str(), path.c_str()), 0);

    ASSERT_EQ(chmod(path.c_str(), 0620), 0);
    EXPECT_EQ(OpenTrouble().problem, JournalProblem::WritableByOthers);
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(OpenTrouble().problem, JournalProblem::None);

    if (geteuid() != 0)
        GTEST_SKIP() << "files of another user can only be made as root";
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    EXPECT_EQ(OpenTrouble().problem, JournalProblem::NotOwned);
    ASSERT_EQ(chown(path.c_str(), 0, 0), 0);
    // Another user's lock could keep the journal from us for good: it is a trouble, not a
    // journal that is merely busy.
    ASSERT_EQ(chown((path + ".lock").c_str(), 65534, 65534), 0);
    JournalTrouble trouble;
    EXPECT_FALSE(JournalPlace::Take(path, true, trouble));
    EXPECT_EQ(trouble.problem, JournalProblem::LockUnusable);
}

TEST_F(Journal, AJournalThatCannotBeWrittenLeavesTheOneBeforeAndNoTemporary) {
    auto place = Take();
    const auto before = Create(*place);
    ASSERT_TRUE(before);
    // A disk that takes no more than 100 bytes.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit small{100, saved.rlim_max};
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    JournalTrouble trouble;
    const bool written = static_cast<bool>(place->Create("/x", {}, steps, trouble));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(trouble.problem, JournalProblem::NotWritten);
    EXPECT_EQ(trouble.error, std::errc::file_too_large);
    EXPECT_EQ(JournalBatchId(path), before->BatchId());
    EXPECT_FALSE(place->HasPrevious());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp / "state/nomilo"),
                            std::filesystem::directory_iterator()),
              2); // the journal and the lock

    // A state folder that is a file.
    tmp.AddFile("file");
    EXPECT_FALSE(JournalPlace::Take(tmp / "file/nomilo/last-rename.journal", true, trouble));
    EXPECT_EQ(trouble.problem, JournalProblem::NotWritten);
}

} // namespace
} // namespace nomilo
