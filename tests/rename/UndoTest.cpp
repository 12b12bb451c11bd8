#include "platform/files/CurrentDir.h"
#include "platform/files/MoveFile.h"
#include "rename/UndoJournal.h"
#include "tests/rename/FakeEntries.h"
#include "tests/support/MountNamespace.h"
#include "tests/support/TempFolder.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <linux/fs.h>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nomilo {
namespace {

using test::FakeEntries;
using Files_ = std::map<std::string, std::string>;

const std::string kLatin2 = "\xC8"
                            "a\xE8"
                            "ak";

TRenameInputs Prefix(std::string text) {
    return {false, true, true, "", std::move(text)};
}
TRenameInputs Replace(std::string find, std::string replace) {
    return {false, false, true, std::move(find), std::move(replace)};
}

std::error_code Errno() {
    return {errno, std::generic_category()};
}

// MoveFileRefusal, in a process that is killed right after the call answers for `victim` (the
// `nth` time it is asked for that name).
TMoveFileFn KilledAfterMoving(std::string victim, int nth = 1) {
    return [victim, nth, seen = 0](const std::string& from, const std::string& to,
                                   IMoveWitness* witness) mutable {
        const std::error_code refusal = MoveFileRefusal(from, to, witness);
        if (from == victim && ++seen == nth)
            raise(SIGKILL);
        return refusal;
    };
}

// Renames as MoveFile does where the file system has no RENAME_NOREPLACE: a hard link, then the
// removal of the old name; the process is killed after the link is tried for `victim`.
TMoveFileFn LinkThenUnlinkKilledAt(std::string victim) {
    return [victim](const std::string& from, const std::string& to, IMoveWitness* witness) {
        if (witness)
            witness->Taking(MoveWay::LinkUnlink);
        const bool linked = link(from.c_str(), to.c_str()) == 0;
        if (from == victim)
            raise(SIGKILL);
        if (!linked)
            return Errno();
        return unlink(from.c_str()) == 0 ? std::error_code() : Errno();
    };
}

nlink_t Links(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_nlink : 0;
}

class Undo : public ::testing::Test {
protected:
    // Makes the files, each holding its own name.
    void Add(const std::vector<std::string>& names) const {
        for (const std::string& name : names)
            files.AddFile(name, name);
    }
    // Name -> content of every file in the folder.
    Files_ Files() const {
        Files_ contents;
        for (const std::string& name : files.Names())
            contents[name] = files.Read(name);
        return contents;
    }
    // A batch in the folder, with its journal, as the window runs it; answers the refusals.
    std::vector<TRefusedRename> Batch(FakeEntries& entries, const TRenameInputs& inputs,
                                      const TMoveFileFn& moveFile = MoveFileRefusal,
                                      TBatchJournal* journal = nullptr) const {
        SetCurrentDir(folder);
        TBatchJournal own(path, folder);
        std::vector<TRefusedRename> refused;
        RenameBatch(
            entries, inputs, moveFile, [&](const auto& list) { refused = list; },
            journal ? journal : &own);
        return refused;
    }
    std::vector<TRefusedRename> Batch(FakeEntries&& entries, const TRenameInputs& inputs,
                                      const TMoveFileFn& moveFile = MoveFileRefusal,
                                      TBatchJournal* journal = nullptr) const {
        return Batch(entries, inputs, moveFile, journal);
    }
    // The batch in a child process, killed with SIGKILL after `delay` microseconds, or left to
    // kill itself.
    void KilledBatch(FakeEntries entries, const TRenameInputs& inputs,
                     std::optional<useconds_t> delay,
                     const TMoveFileFn& moveFile = MoveFileRefusal) const {
        const pid_t child = fork();
        if (child == 0) {
            Batch(entries, inputs, moveFile);
            _exit(0);
        }
        if (delay) {
            usleep(*delay);
            kill(child, SIGKILL);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) || delay) << "the child was to kill itself";
    }
    TUndoOutcome TakeBack() const { return UndoLastBatch(path, MoveFileRefusal); }
    bool CanUndo() const { return CanUndoLastBatch(path); }

    test::TempFolder files, state;
    std::string folder = files.Path();
    std::string path = state / "nomilo/last-rename.journal";
};

TEST_F(Undo, RestoresEveryNameLastRenamedFirstFromAnyFolder) {
    Add({"xa", "a", "b", "xb", kLatin2});
    const auto before = Files();
    FakeEntries entries("xa* a* b*");
    entries.entries.push_back({kLatin2, true});
    // xa -> xxa frees xa for a; b -> xb is refused.
    ASSERT_EQ(Batch(entries, Prefix("x")).size(), 1u);
    ASSERT_TRUE(CanUndo());

    SetCurrentDir(state.Path());
    const TUndoOutcome outcome = TakeBack();
    EXPECT_EQ(GetCurrentDir(), state.Path());
    EXPECT_EQ(outcome.folder, folder);
    EXPECT_TRUE(outcome.refused.empty());
    EXPECT_EQ(Files(), before);
    ASSERT_EQ(outcome.restored.size(), 3u);
    EXPECT_EQ(outcome.restored[0].oldName, "x" + kLatin2);
    // The entries get their names back in place, selected as the batch leaves them.
    RestoreEntries(entries, outcome.restored, true);
    EXPECT_EQ(entries.List(), "xa* a* b* " + kLatin2 + "*");
    EXPECT_FALSE(CanUndo());
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(Undo, TakesBackANumberedBatchOfARegularExpression) {
    Add({"a.txt", "b.jpg", "c.txt", kLatin2 + ".txt", "02_C.TXT"});
    const auto before = Files();
    FakeEntries entries("a.txt b.jpg c.txt");
    entries.entries.push_back({kLatin2 + ".txt", false});
    TRenameInputs inputs{false, false, true, "(\\w*)\\.txt$", "##_\\U$1.TXT"};
    inputs.regularExpression = inputs.numbering = true;
    // c.txt is number 2 and refused: 02_C.TXT is there. In the name that is no UTF-8 no match
    // reaches across a byte that is not, and those bytes stay.
    ASSERT_EQ(Batch(entries, inputs).size(), 1u);
    EXPECT_EQ(files.Names(), (std::set<std::string>{"01_A.TXT", "b.jpg", "c.txt",
                                                    "\xC8" "a\xE8" "03_AK.TXT", "02_C.TXT"}));

    const TUndoOutcome outcome = TakeBack();
    EXPECT_TRUE(outcome.refused.empty());
    EXPECT_EQ(outcome.restored.size(), 2u);
    EXPECT_EQ(Files(), before);
}

TEST_F(Undo, NeverReplacesAnOldNameTakenMeanwhileAndTriesAgainLater) {
    Add({"a", "c"});
    Batch(FakeEntries("a c"), Prefix("x"));
    files.AddFile("a", "made meanwhile");
    const TUndoOutcome first = TakeBack();
    ASSERT_EQ(first.refused.size(), 1u);
    EXPECT_EQ(first.refused[0].oldName, "xa");
    EXPECT_EQ(first.refused[0].newName, "a");
    EXPECT_EQ(RefusalOf(first.refused[0].error), TRefusal::Taken);
    EXPECT_EQ(Files(), (Files_{{"a", "made meanwhile"}, {"c", "c"}, {"xa", "a"}}));
    EXPECT_TRUE(CanUndo());

    ASSERT_EQ(unlink((files / "a").c_str()), 0);
    EXPECT_EQ(TakeBack().restored.size(), 1u);
    EXPECT_EQ(Files(), (Files_{{"a", "a"}, {"c", "c"}}));
    EXPECT_FALSE(CanUndo());
}

TEST_F(Undo, AStepWithANameNoFileCanHaveIsARefusalAndTheRestIsUndone) {
    Add({"copy", "copy of a.txt", "copy of b.txt"});
    const auto before = Files();
    FakeEntries entries; // names with spaces
    for (const char* name : {"copy", "copy of a.txt", "copy of b.txt"})
        entries.entries.push_back({name, false});
    EXPECT_EQ(Batch(entries, Replace("copy", "")).size(), 1u); // "copy" would be ""
    EXPECT_EQ(
        Files(),
        (Files_{{"copy", "copy"}, {" of a.txt", "copy of a.txt"}, {" of b.txt", "copy of b.txt"}}));
    ASSERT_TRUE(CanUndo());
    EXPECT_TRUE(TakeBack().refused.empty());
    EXPECT_EQ(Files(), before);
}

TEST_F(Undo, ABatchThatRenamesNothingLeavesTheUndoOfTheBatchBefore) {
    Add({"1.txt", "2.txt", "11.txt", "12.txt"});
    const auto before = Files();
    FakeEntries entries("1.txt 2.txt 11.txt 12.txt");
    Batch(entries, Replace("1", "2")); // 11 and 12 become 21 and 22
    EXPECT_EQ(entries.List(), "1.txt 2.txt 21.txt 22.txt");
    EXPECT_EQ(Batch(entries, Replace("1", "2")).size(), 2u); // every rename refused
    Batch(entries, Replace("nothing", "matches"));
    // Killed after its only, refused, rename: the journal of the batch before comes back.
    KilledBatch(entries, Replace("1", "2"), std::nullopt, KilledAfterMoving("21.txt"));
    ASSERT_TRUE(CanUndo());
    const TUndoOutcome outcome = TakeBack();
    EXPECT_EQ(outcome.restored.size(), 2u);
    EXPECT_EQ(Files(), before);
}

TEST_F(Undo, AStepKilledAfterARefusedCallIsNotTakenForARename) {
    // An entry whose file is gone, beside an unrelated file that has the name it would get.
    files.AddFile("xghost", "unrelated");
    KilledBatch(FakeEntries("ghost"), Prefix("x"), std::nullopt, KilledAfterMoving("ghost"));
    EXPECT_FALSE(CanUndo());
    const TUndoOutcome ghost = TakeBack();
    EXPECT_TRUE(ghost.restored.empty());
    EXPECT_TRUE(ghost.refused.empty());
    EXPECT_EQ(Files(), (Files_{{"xghost", "unrelated"}}));

    // One entry listed twice: the second rename is refused, the file being gone from that name.
    ASSERT_EQ(unlink((files / "xghost").c_str()), 0);
    Add({"a"});
    KilledBatch(FakeEntries("a a"), Prefix("x"), std::nullopt, KilledAfterMoving("a", 2));
    const TUndoOutcome twice = TakeBack();
    EXPECT_EQ(twice.restored.size(), 1u);
    EXPECT_TRUE(twice.refused.empty());
    EXPECT_EQ(Files(), (Files_{{"a", "a"}}));
    EXPECT_FALSE(CanUndo());
}

TEST_F(Undo, RenamesBackOnlyTheVeryFileAndGivesUpOnesThatAreGone) {
    Add({"a", "b", "c"});
    Batch(FakeEntries("a b c"), Prefix("x"));
    ASSERT_EQ(unlink((files / "xb").c_str()), 0); // deleted by the user
    ASSERT_EQ(unlink((files / "xc").c_str()), 0);
    files.AddFile("xc", "another file");
    const TUndoOutcome outcome = TakeBack();
    ASSERT_EQ(outcome.refused.size(), 2u);
    EXPECT_EQ(RefusalOf(outcome.refused[0].error), TRefusal::Replaced);
    EXPECT_EQ(RefusalOf(outcome.refused[1].error), TRefusal::Gone);
    EXPECT_EQ(Files(), (Files_{{"a", "a"}, {"xc", "another file"}}));
    // Neither can ever be renamed back: undo is no longer offered.
    EXPECT_FALSE(CanUndo());
}

// The journal records the file a step renames as it is right before the rename: a file another
// program deletes and makes again while the batch runs, before its step, is the one renamed,
// and undo takes that one back.
TEST_F(Undo, TakesBackAFileAnotherProgramMadeAgainBeforeItsStep) {
    FakeEntries entries;
    for (int i = 0; i < 600; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "f%04d", i);
        Add({name});
        entries.entries.push_back({name, false});
    }
    const TMoveFileFn remakesALaterFile = [&](const std::string& from, const std::string& to,
                                              IMoveWitness* witness) {
        if (from == "f0049") {
            EXPECT_EQ(unlink((files / "f0200").c_str()), 0);
            files.AddFile("f0200", "made again");
        }
        return MoveFileRefusal(from, to, witness);
    };
    ASSERT_TRUE(Batch(entries, Prefix("x"), remakesALaterFile).empty());
    EXPECT_EQ(files.Read("xf0200"), "made again");

    const TUndoOutcome outcome = TakeBack();
    EXPECT_TRUE(outcome.refused.empty());
    EXPECT_EQ(outcome.restored.size(), 600u);
    EXPECT_EQ(files.Read("f0200"), "made again");
    EXPECT_FALSE(CanUndo());
}

// Where the folder's file system is there without the folder, the folder will not come back:
// the undo is told once and then no longer offered.
TEST_F(Undo, RenamesNothingWhereTheBatchsFolderIsNoLongerAtItsPathAndGivesUpWhereItsDriveIsThere) {
    Add({"a", "b"});
    Batch(FakeEntries("a b"), Prefix("x"));
    const std::string moved = state / "moved";
    ASSERT_EQ(rename(folder.c_str(), moved.c_str()), 0);
    // Another folder with files of the same names now has the path.
    files.AddFolder("");
    Add({"xa", "xb"});
    const TUndoOutcome outcome = TakeBack();
    EXPECT_TRUE(outcome.folderReplaced);
    EXPECT_TRUE(outcome.givenUpWithFolder);
    EXPECT_EQ(outcome.folder, folder);
    EXPECT_TRUE(outcome.restored.empty());
    EXPECT_EQ(Files(), (Files_{{"xa", "xa"}, {"xb", "xb"}}));
    EXPECT_FALSE(CanUndo());
    EXPECT_FALSE(TakeBack().found);

    Batch(FakeEntries("xa"), Prefix("y"));
    std::filesystem::remove_all(folder); // no folder at all
    EXPECT_TRUE(TakeBack().givenUpWithFolder);
    EXPECT_FALSE(CanUndo());
}

// A folder on a drive that is not connected (its mount point is an empty folder of another file
// system) may come back: the undo stays, and takes the batch back once the drive is there.
TEST_F(Undo, KeepsTheUndoOfAFolderWhoseDriveIsAway) {
    const test::ChildOutcome child = test::RunWithOwnMounts([&](std::string& report) {
        const std::string drive = files / "drive", aside = files / "aside";
        std::filesystem::create_directories(drive);
        std::filesystem::create_directories(aside);
        if (mount("nomilo-test", drive.c_str(), "tmpfs", 0, nullptr) != 0)
            return std::string("no tmpfs can be mounted here");
        const std::string photos = drive + "/photos";
        std::filesystem::create_directories(photos);
        std::ofstream(photos + "/a") << "a";
        SetCurrentDir(photos);
        TBatchJournal journal(path, photos);
        FakeEntries entries("a");
        RenameBatch(entries, Prefix("x"), MoveFileRefusal, nullptr, &journal);
        SetCurrentDir("/");
        // The drive goes (kept mounted aside, so that it can come back as it was).
        mount(drive.c_str(), aside.c_str(), nullptr, MS_BIND, nullptr);
        umount2(drive.c_str(), MNT_DETACH);
        const TUndoOutcome away = TakeBack();
        report += away.folderReplaced ? "replaced" : "found";
        report += away.givenUpWithFolder ? " given up" : " kept";
        report += CanUndo() ? " offered" : " not offered";
        mount(aside.c_str(), drive.c_str(), nullptr, MS_BIND, nullptr);
        const TUndoOutcome back = TakeBack();
        report += " restored:" + std::to_string(back.restored.size());
        report += std::filesystem::exists(photos + "/a") ? " a" : " no a";
        return std::string();
    });
    if (!child.skipped.empty())
        GTEST_SKIP() << child.skipped;
    EXPECT_EQ(child.report, "replaced kept offered restored:1 a");
}

TEST_F(Undo, ABatchWhoseJournalCannotBeWrittenNeverLetsTheOneBeforeStandIn) {
    Add({"a", "b", "c"});
    Batch(FakeEntries("a"), Prefix("x"));
    // A disk that takes no more than 100 bytes more.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    auto batchOnAFullDisk = [&](const char* entries) {
        TBatchJournal journal(path, folder);
        const rlimit small{100, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
        FakeEntries list(entries);
        Batch(list, Prefix("y"), MoveFileRefusal, &journal);
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_FALSE(journal.Kept());
        EXPECT_EQ(journal.Trouble().problem, JournalProblem::NotWritten);
        EXPECT_TRUE(journal.StaleBatch().empty());
        return journal.RenamedUnrecorded();
    };
    EXPECT_FALSE(batchOnAFullDisk("yb")); // renames nothing: the batch before is still the last
    EXPECT_TRUE(CanUndo());
    EXPECT_TRUE(batchOnAFullDisk("b"));
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(CanUndo());
    EXPECT_FALSE(TakeBack().found);
    EXPECT_EQ(Files(), (Files_{{"xa", "a"}, {"yb", "b"}, {"c", "c"}}));

    // Where the journal is held by another process it cannot even be made void: the batch
    // names the one that must not be offered.
    Batch(FakeEntries("c"), Prefix("x"));
    const std::optional<std::string> held = JournalBatchId(path);
    // A batch run while another process holds the journal's lock.
    auto whileHeld = [&](const char* entries, const char* prefix) {
        int ready[2];
        EXPECT_EQ(pipe(ready), 0);
        const pid_t holder = fork();
        if (holder == 0) {
            const int lock = open((path + ".lock").c_str(), O_RDWR);
            flock(lock, LOCK_EX);
            [[maybe_unused]] const auto told = write(ready[1], "x", 1);
            pause();
            _exit(0);
        }
        char byte;
        EXPECT_EQ(read(ready[0], &byte, 1), 1);
        auto journal = std::make_unique<TBatchJournal>(path, folder);
        Batch(FakeEntries(entries), Prefix(prefix), MoveFileRefusal, journal.get());
        kill(holder, SIGKILL);
        waitpid(holder, nullptr, 0);
        close(ready[0]);
        close(ready[1]);
        return journal;
    };
    EXPECT_FALSE(whileHeld("missing", "y")->RenamedUnrecorded()); // renames nothing
    EXPECT_TRUE(CanUndo());
    const auto journal = whileHeld("xa", "y");
    EXPECT_EQ(journal->Trouble().problem, JournalProblem::Busy);
    EXPECT_TRUE(journal->RenamedUnrecorded());
    ASSERT_TRUE(held);
    EXPECT_EQ(journal->StaleBatch(), *held);
    // A process that did not run the batch knows it too: the batch before is not taken back.
    EXPECT_FALSE(CanUndo());
    EXPECT_FALSE(TakeBack().found);
    EXPECT_EQ(Files(), (Files_{{"yxa", "a"}, {"yb", "b"}, {"xc", "c"}}));
    EXPECT_TRUE(Batch(FakeEntries("xc"), Prefix("z")).empty()); // a new batch is undoable
    EXPECT_EQ(TakeBack().restored.size(), 1u);
}

// A state folder no one may add a file to, root included: an immutable one.
TEST_F(Undo, AJournalInAFolderThatTakesNoNewFileIsMadeVoid) {
    Add({"a", "b"});
    Batch(FakeEntries("a"), Prefix("x"));
    const std::string stateFolder = state / "nomilo";
    const int fd = open(stateFolder.c_str(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    if (fd < 0 || ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 ||
        ioctl(fd, FS_IOC_SETFLAGS, &(flags |= FS_IMMUTABLE_FL)) != 0) {
        close(fd);
        GTEST_SKIP() << "the test cannot make the state folder immutable here";
    }
    TBatchJournal journal(path, folder);
    Batch(FakeEntries("b"), Prefix("x"), MoveFileRefusal, &journal);
    const bool offered = CanUndo();
    flags &= ~FS_IMMUTABLE_FL;
    ioctl(fd, FS_IOC_SETFLAGS, &flags);
    close(fd);
    EXPECT_EQ(journal.Trouble().problem, JournalProblem::NotWritten);
    EXPECT_TRUE(journal.RenamedUnrecorded());
    EXPECT_FALSE(offered);
    EXPECT_FALSE(TakeBack().found);
    EXPECT_EQ(Files(), (Files_{{"xa", "a"}, {"xb", "b"}}));
}

TEST_F(Undo, AJournalThatCannotBeUsedIsToldAndNothingIsRenamed) {
    Add({"a"});
    Batch(FakeEntries("a"), Prefix("x"));
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    bytes[bytes.size() - 2] ^= 1; // a name changed
    std::ofstream(path, std::ios::binary) << bytes;
    EXPECT_EQ(LastBatch(path).trouble.problem, JournalProblem::Damaged);
    EXPECT_FALSE(CanUndo());
    EXPECT_EQ(TakeBack().trouble.problem, JournalProblem::Damaged);
    EXPECT_EQ(Files(), (Files_{{"xa", "a"}}));

    bytes[bytes.size() - 2] ^= 1;
    std::ofstream(path, std::ios::binary) << bytes;
    EXPECT_TRUE(CanUndo());
    if (geteuid() != 0)
        GTEST_SKIP() << "files of another user can only be made as root";
    ASSERT_EQ(chown((path + ".lock").c_str(), 65534, 65534), 0);
    const TLastBatch last = LastBatch(path);
    EXPECT_EQ(last.trouble.problem, JournalProblem::LockUnusable);
    EXPECT_FALSE(last.key.empty());
    EXPECT_EQ(TakeBack().trouble.problem, JournalProblem::LockUnusable);
    EXPECT_EQ(Files(), (Files_{{"xa", "a"}}));
}

TEST_F(Undo, TemporariesOfAKilledWritingGoAtTheFirstLook) {
    state.AddFolder("nomilo");
    state.AddFile("nomilo/.last-rename.journal.Ab12Cd", "half");
    EXPECT_FALSE(LastBatch(path).undoable);
    EXPECT_FALSE(std::filesystem::exists(state / "nomilo/.last-rename.journal.Ab12Cd"));
}

TEST_F(Undo, TakesBackABatchKilledAtARandomPoint) {
    std::mt19937 random(16);
    FakeEntries entries;
    for (int i = 0; i < 2000; ++i) {
        const std::string name = kLatin2 + std::to_string(i);
        Add({name});
        entries.entries.push_back({name, false});
    }
    const auto before = Files();
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        KilledBatch(entries, Prefix("x"), static_cast<useconds_t>(random() % 60000));
        TakeBack();
        EXPECT_EQ(Files(), before);
        EXPECT_FALSE(CanUndo());
    }
}

TEST_F(Undo, FinishesTheRenameThatWasCutShortBetweenLinkAndUnlinkOnly) {
    for (const bool byUndo : {true, false}) {
        SCOPED_TRACE(byUndo ? "undo" : "next batch");
        Add({"a", "u", "b", "c"});
        // Two names of one file that the user made: the batch refuses to rename onto them.
        ASSERT_EQ(link((files / "u").c_str(), (files / "xu").c_str()), 0);
        KilledBatch(FakeEntries("a u b c"), Prefix("x"), std::nullopt, LinkThenUnlinkKilledAt("b"));
        ASSERT_EQ(Links(files / "b"), 2u); // b and xb: one file under both names

        if (byUndo) {
            TakeBack();
            EXPECT_EQ(Files(),
                      (Files_{{"a", "a"}, {"b", "b"}, {"c", "c"}, {"u", "u"}, {"xu", "u"}}));
        } else {
            Batch(FakeEntries("c"), Prefix("y"));
            EXPECT_EQ(Files(),
                      (Files_{{"xa", "a"}, {"xb", "b"}, {"yc", "c"}, {"u", "u"}, {"xu", "u"}}));
        }
        EXPECT_EQ(Links(files / "u"), 2u);
        for (const std::string& name : files.Names())
            ASSERT_EQ(unlink((files / name).c_str()), 0);
    }
}

// The user's own second name of a file (ln p q) looks just like a link + unlink cut short;
// only the records tell them apart: the way the step took, and the file's links before it.
TEST_F(Undo, ARefusedRenameOntoTheUsersOwnSecondNameRemovesNoName) {
    const struct {
        const char* way;
        TMoveFileFn moveFile;
    } ways[] = {{"rename", KilledAfterMoving("p")}, {"link", LinkThenUnlinkKilledAt("p")}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        Add({"p", "other"});
        ASSERT_EQ(link((files / "p").c_str(), (files / "q").c_str()), 0);
        KilledBatch(FakeEntries("p"), Replace("p", "q"), std::nullopt, way.moveFile);
        Batch(FakeEntries("other"), Prefix("x"));
        EXPECT_EQ(Files(), (Files_{{"p", "p"}, {"q", "p"}, {"xother", "other"}}));
        EXPECT_EQ(TakeBack().restored.size(), 1u);
        EXPECT_EQ(Files(), (Files_{{"p", "p"}, {"q", "p"}, {"other", "other"}}));
        for (const std::string& name : files.Names())
            ASSERT_EQ(unlink((files / name).c_str()), 0);
    }
}

// The journal looks at a step's file before its rename. A second name the user gives the file
// after that look, before the step links it, must not be taken for the link of the step's
// rename: its link count is looked at again when the step takes the link way.
TEST_F(Undo, ASecondNameMadeAfterTheFileWasLookedAtRemovesNoName) {
    Add({"p", "other"});
    const TMoveFileFn linkThenUnlink = LinkThenUnlinkKilledAt("p");
    const TMoveFileFn userLinksMeanwhile = [&](const std::string& from, const std::string& to,
                                               IMoveWitness* witness) {
        if (link((files / "p").c_str(), (files / "q").c_str()) != 0)
            _exit(1); // not killed: the test fails
        return linkThenUnlink(from, to, witness);
    };
    KilledBatch(FakeEntries("p"), Replace("p", "q"), std::nullopt, userLinksMeanwhile);
    Batch(FakeEntries("other"), Prefix("x"));
    EXPECT_EQ(Files(), (Files_{{"p", "p"}, {"q", "p"}, {"xother", "other"}}));
}

} // namespace
} // namespace nomilo
