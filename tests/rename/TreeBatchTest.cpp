// The batch, its preview, its journal and undo across the folders of a list with subfolders
// included: each file is renamed in its own folder, and only its name changes.
#include "platform/files/CurrentDir.h"
#include "platform/files/DirListing.h"
#include "platform/files/FolderMoves.h"
#include "rename/RenamePreview.h"
#include "rename/UndoJournal.h"
#include "tests/support/TempFolder.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace nomilo {
namespace {

// The list as the batch sees it with subfolders included: entries of numbered folders, folder by
// folder.
struct TreeEntries : IFileEntries {
    struct TEntry {
        std::uint32_t folder;
        std::string name;
        bool selected;
    };
    int EntryCount() const override { return static_cast<int>(entries.size()); }
    std::string EntryText(int i) const override { return At(i).name; }
    bool IsEntrySelected(int i) const override { return At(i).selected; }
    void SetEntrySelected(int i, bool selected) override { At(i).selected = selected; }
    void ReplaceEntryText(int i, const std::string& text) override {
        At(i) = {At(i).folder, text, false};
    }
    TEntryFolder EntryFolder(int i) const override {
        return {At(i).folder, folders.at(At(i).folder)};
    }
    TEntry& At(int i) const {
        return const_cast<TreeEntries*>(this)->entries.at(static_cast<std::size_t>(i));
    }
    // Every entry's path.
    std::string Paths() const {
        std::string paths;
        for (const TEntry& entry : entries)
            paths += " " + PathInFolder(folders[entry.folder], entry.name);
        return paths;
    }
    std::vector<std::string> folders;
    std::vector<TEntry> entries;
};

TMoveFileFn MovesIn(TFolderMoves& moves) {
    return [&moves](const std::string& from, const std::string& to, IMoveWitness* witness) {
        return moves.Move(from, to, witness);
    };
}

// The letter of a prediction or an outcome: "." untouched, "R" renamed, else the refusal's.
char Letter(TPreviewEntry::TMark mark, TRefusal reason) {
    if (mark == TPreviewEntry::Untouched)
        return '.';
    if (mark == TPreviewEntry::Renamed)
        return 'R';
    // The kernel says "taken" either way.
    return reason == TRefusal::TakenInBatch ? 'T' : "?TTNLGPR?"[static_cast<int>(reason)];
}

std::string RandomName(std::mt19937& random) {
    static const char* const pieces[] = {"a", "A", "b", ".", "ab", "\xE8"};
    std::string name;
    for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n)
        name += pieces[random() % std::size(pieces)];
    return name == "." || name == ".." ? RandomName(random) : name;
}

// Random trees whose folders hold the same names (and names that differ only in case), random
// rules: the preview across the folders says what the batch then does, file by file, and every
// file keeps its folder.
TEST(TreeBatch, ThePreviewEqualsTheBatchOnRandomTrees) {
    std::mt19937 random(33);
    const std::string finds[] = {"a", "A", "b", ".", "ab", "\xE8"};
    const std::string replaces[] = {"", "a", "b", "ab", "x/", "../", std::string(254, 'L')};
    std::string seen;
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        test::TempFolder tmp;
        TreeEntries entries;
        entries.folders = {"", "a", "a/b", "A", "c"};
        std::size_t files = 0;
        for (std::uint32_t folder = 1; folder < entries.folders.size(); ++folder)
            tmp.AddFolder(entries.folders[folder]);
        for (std::uint32_t folder = 0; folder < entries.folders.size(); ++folder) {
            for (int n = static_cast<int>(random() % 6); n > 0; --n) {
                const std::string name = RandomName(random);
                const std::string path = PathInFolder(entries.folders[folder], name);
                if (std::filesystem::exists(tmp / path))
                    continue;
                tmp.AddFile(path, path);
                ++files;
                if (random() % 5 != 0)
                    entries.entries.push_back({folder, name, random() % 2 == 0});
            }
            if (random() % 8 == 0) // a file gone since the list was read
                entries.entries.push_back({folder, "gone", true});
        }
        TRenameInputs inputs{random() % 2 == 0, random() % 4 == 0, random() % 2 == 0,
                             finds[random() % std::size(finds)],
                             replaces[random() % std::size(replaces)]};
        inputs.everyOccurrence = random() % 3 == 0;
        inputs.numbering = random() % 3 == 0;
        if (inputs.numbering)
            inputs.replaceText += "#";

        SetCurrentDir(tmp.Path());
        const TRenamePreview preview(ReadPreviewFolders(entries.folders, false), entries);
        const std::vector<TPreviewEntry> predicted = preview.Predict(entries, inputs);
        std::string letters, names;
        for (std::size_t i = 0; i < predicted.size(); ++i) {
            letters += Letter(predicted[i].mark, predicted[i].reason);
            const TreeEntries::TEntry& entry = entries.entries[i];
            names += " " + PathInFolder(entries.folders[entry.folder],
                                        predicted[i].mark == TPreviewEntry::Renamed
                                            ? predicted[i].newName
                                            : entry.name);
        }
        seen += letters;

        std::vector<TRefusedRename> refused;
        TFolderMoves moves;
        std::vector<TRenameStep> plan;
        const std::vector<TRenameStep> steps = PlanBatch(entries, inputs);
        RenameBatch(entries, inputs, MovesIn(moves), [&](const auto& list) { refused = list; });
        std::string done(predicted.size(), '.');
        for (const TRenameStep& step : steps)
            done[static_cast<std::size_t>(step.entry)] = 'R';
        for (const TRefusedRename& refusal : refused)
            for (const TRenameStep& step : steps)
                if (step.oldName == refusal.oldName && step.newName == refusal.newName)
                    done[static_cast<std::size_t>(step.entry)] =
                        Letter(TPreviewEntry::Refused, RefusalOf(refusal.error));
        EXPECT_EQ(letters, done);
        EXPECT_EQ(names, entries.Paths());
        // Each entry's file is where the list says; no file left its folder, none was lost.
        for (const TreeEntries::TEntry& entry : entries.entries) {
            const std::string path = PathInFolder(entries.folders[entry.folder], entry.name);
            EXPECT_TRUE(entry.name == "gone" || std::filesystem::is_regular_file(tmp / path))
                << path;
        }
        std::size_t after = 0;
        for (const auto& item : std::filesystem::recursive_directory_iterator(tmp.Path()))
            after += item.is_regular_file();
        EXPECT_EQ(after, files);
    }
    for (const char letter : std::string(".RTNLG"))
        EXPECT_NE(seen.find(letter), std::string::npos) << letter;
}

TEST(TreeBatch, NumbersAcrossTheFoldersInListOrderAndKeepsEachFolder) {
    test::TempFolder tmp({"x.jpg", "2024/x.jpg", "2024/y.jpg", "2025/x.jpg"});
    TreeEntries entries;
    entries.folders = {"", "2024", "2025"};
    entries.entries = {
        {0, "x.jpg", false}, {1, "x.jpg", false}, {1, "y.jpg", false}, {2, "x.jpg", false}};
    TRenameInputs inputs{false, false, true, "x", "IMG_##"};
    inputs.numbering = true;
    SetCurrentDir(tmp.Path());
    TFolderMoves moves;
    RenameBatch(entries, inputs, MovesIn(moves), nullptr);
    EXPECT_EQ(entries.Paths(), " IMG_01.jpg 2024/IMG_02.jpg 2024/y.jpg 2025/IMG_03.jpg");
    for (const char* path : {"IMG_01.jpg", "2024/IMG_02.jpg", "2025/IMG_03.jpg"})
        EXPECT_TRUE(std::filesystem::exists(tmp / path)) << path;
}

class TreeUndo : public ::testing::Test {
protected:
    void SetUp() override {
        files.AddFolder("one/deep");
        files.AddFolder("two");
        for (const char* path : {"a.txt", "one/a.txt", "one/deep/a.txt", "two/a.txt"})
            files.AddFile(path, path);
        entries.folders = {"", "one", "one/deep", "two"};
        for (std::uint32_t folder = 0; folder < 4; ++folder)
            entries.entries.push_back({folder, "a.txt", false});
        SetCurrentDir(files.Path());
    }
    std::string Content(const std::string& path) const { return files.Read(path); }

    test::TempFolder files, state;
    std::string path = state / "nomilo/last-rename.journal";
    TreeEntries entries;
    const TRenameInputs prefix{false, true, true, "", "x"};
};

TEST_F(TreeUndo, LeavesTheFilesOfASubfolderMovedOrReplacedSinceAndTakesBackTheRest) {
    {
        TBatchJournal journal(path, files.Path());
        TFolderMoves moves;
        RenameBatch(entries, prefix, MovesIn(moves), nullptr, &journal);
    }
    // "one" goes elsewhere with "deep" in it, and another folder takes its name.
    std::filesystem::rename(files / "one", files / "moved");
    files.AddFolder("one");
    files.AddFile("one/xa.txt", "another file");
    SetCurrentDir(state.Path()); // undo works from any folder
    TFolderMoves moves;
    const TUndoOutcome outcome = UndoLastBatch(path, MovesIn(moves));
    ASSERT_FALSE(outcome.folderReplaced);
    ASSERT_EQ(outcome.restored.size(), 2u);
    EXPECT_EQ(outcome.restored[0].newName, "two/a.txt");
    EXPECT_EQ(outcome.restored[1].newName, "a.txt");
    ASSERT_EQ(outcome.refused.size(), 2u);
    for (const TRefusedRename& refused : outcome.refused)
        EXPECT_EQ(RefusalOf(refused.error), TRefusal::FolderMoved) << refused.oldName;
    EXPECT_EQ(Content("a.txt"), "a.txt");
    EXPECT_EQ(Content("two/a.txt"), "two/a.txt");
    EXPECT_EQ(Content("one/xa.txt"), "another file");
    EXPECT_EQ(Content("moved/xa.txt"), "one/a.txt");
    EXPECT_FALSE(CanUndoLastBatch(path));
}

// A batch across the folders killed in its middle (kill -9), then taken back from another folder
// by a process that never saw it: every file has its name again, in its own folder.
TEST_F(TreeUndo, AKilledBatchIsTakenBackFromAnotherFolder) {
    for (int victim = 0; victim < 4; ++victim) {
        SCOPED_TRACE(victim);
        const std::string killedAt = PathInFolder(entries.folders[victim], "a.txt");
        const pid_t child = fork();
        if (child == 0) {
            TBatchJournal journal(path, files.Path());
            TFolderMoves moves;
            RenameBatch(
                entries, prefix,
                [&](const std::string& from, const std::string& to, IMoveWitness* witness) {
                    const std::error_code refusal = moves.Move(from, to, witness);
                    if (from == killedAt)
                        raise(SIGKILL);
                    return refusal;
                },
                nullptr, &journal);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        SetCurrentDir(state.Path());
        TFolderMoves moves;
        const TUndoOutcome outcome = UndoLastBatch(path, MovesIn(moves));
        EXPECT_TRUE(outcome.refused.empty());
        EXPECT_EQ(outcome.restored.size(), static_cast<std::size_t>(victim + 1));
        for (const std::string& folder : entries.folders)
            EXPECT_EQ(Content(PathInFolder(folder, "a.txt")), PathInFolder(folder, "a.txt"));
        SetCurrentDir(files.Path());
    }
}

} // namespace
} // namespace nomilo
