#include "rename/UndoJournal.h"

#include "platform/files/CurrentDir.h"
#include "platform/files/MoveFile.h"
#include "platform/journal/JournalFile.h"
#include "tests/rename/FakeEntries.h"
#include "tests/support/TempFolder.h"

#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nomilo {
namespace {

using test::FakeEntries;

const std::string kLatin2 = "\xC8"
                            "a\xE8"
                            "ak";

TRenameInputs Prefix(std::string text) {
    return {false, true, true, "", std::move(text)};
}

std::error_code Errno() {
    return {errno, std::generic_category()};
}

class Undo : public ::testing::Test {
protected:
    // Makes the files, each holding its own name.
    void Add(const std::vector<std::string>& names) const {
        for (const std::string& name : names)
            files.AddFile(name, name);
    }
    // Name -> content of every file in the folder.
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> contents;
        for (const std::string& name : files.Names())
            contents[name] = files.Read(name);
        return contents;
    }
    // A batch in the folder, with its journal, as the window runs it; answers the refusals.
    std::vector<TRefusedRename> Batch(FakeEntries& entries, const TRenameInputs& inputs,
                                      const TMoveFileFn& moveFile = MoveFileRefusal) const {
        SetCurrentDir(folder);
        TBatchJournal journal(path, folder);
        std::vector<TRefusedRename> refused;
        RenameBatch(entries, inputs, moveFile, [&](const auto& list) { refused = list; },
                    &journal);
        return refused;
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
    ASSERT_TRUE(CanUndoLastBatch(path));

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
    EXPECT_FALSE(CanUndoLastBatch(path));
    EXPECT_FALSE(JournalFile::Open(path));
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
    FakeEntries entries("a c");
    Batch(entries, Prefix("x"));
    files.AddFile("a", "made meanwhile");
    const TUndoOutcome first = TakeBack();
    ASSERT_EQ(first.refused.size(), 1u);
    EXPECT_EQ(first.refused[0].oldName, "xa");
    EXPECT_EQ(first.refused[0].newName, "a");
    EXPECT_EQ(RefusalOf(first.refused[0].error), TRefusal::Taken);
    EXPECT_EQ(Files(), (std::map<std::string, std::string>{
                           {"a", "made meanwhile"}, {"c", "c"}, {"xa", "a"}}));
    EXPECT_TRUE(CanUndoLastBatch(path));

    ASSERT_EQ(unlink((files / "a").c_str()), 0);
    EXPECT_EQ(TakeBack().restored.size(), 1u);
    EXPECT_EQ(Files(), (std::map<std::string, std::string>{{"a", "a"}, {"c", "c"}}));
    EXPECT_FALSE(CanUndoLastBatch(path));
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
    int cutShort = 0;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        KilledBatch(entries, Prefix("x"), static_cast<useconds_t>(random() % 60000));
        if (const auto journal = JournalFile::Open(path))
            cutShort += !journal->Ended();
        TakeBack();
        EXPECT_EQ(Files(), before);
        EXPECT_FALSE(CanUndoLastBatch(path));
    }
    EXPECT_GT(cutShort, 0);
}

// Renames as MoveFile does where the file system has no RENAME_NOREPLACE: a hard link, then the
// removal of the old name; the process is killed between the two when renaming `victim`.
TMoveFileFn LinkThenUnlinkKilledAt(std::string victim) {
    return [victim](const std::string& from, const std::string& to) {
        if (link(from.c_str(), to.c_str()) != 0)
            return Errno();
        if (from == victim)
            raise(SIGKILL);
        return unlink(from.c_str()) == 0 ? std::error_code() : Errno();
    };
}

nlink_t Links(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_nlink : 0;
}

TEST_F(Undo, FinishesTheRenameThatWasCutShortBetweenLinkAndUnlinkOnly) {
    using Files_ = std::map<std::string, std::string>;
    for (const bool byUndo : {true, false}) {
        SCOPED_TRACE(byUndo ? "undo" : "next batch");
        Add({"a", "u", "b", "c"});
        // Two names of one file that the user made: the batch refuses to rename onto them.
        ASSERT_EQ(link((files / "u").c_str(), (files / "xu").c_str()), 0);
        KilledBatch(FakeEntries("a u b c"), Prefix("x"), std::nullopt,
                    LinkThenUnlinkKilledAt("b"));
        ASSERT_EQ(Links(files / "b"), 2u); // b and xb: one file under both names

        if (byUndo) {
            TakeBack();
            EXPECT_EQ(Files(), (Files_{{"a", "a"}, {"b", "b"}, {"c", "c"}, {"u", "u"},
                                       {"xu", "u"}}));
        } else {
            FakeEntries next("c");
            Batch(next, Prefix("y"));
            EXPECT_EQ(Files(), (Files_{{"xa", "a"}, {"xb", "b"}, {"yc", "c"}, {"u", "u"},
                                       {"xu", "u"}}));
        }
        EXPECT_EQ(Links(files / "u"), 2u);
        for (const std::string& name : files.Names())
            ASSERT_EQ(unlink((files / name).c_str()), 0);
    }
}

} // namespace
} // namespace nomilo
