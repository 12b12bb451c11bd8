#include "platform/CurrentDir.h"
#include "platform/MoveFile.h"
#include "rename/RenameBatch.h"
#include "tests/support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <stdexcept>
#include <vector>

namespace nomilo {
namespace {

using ::testing::ElementsAre;

// The file list as the batch sees it, over a vector.
class FakeEntries : public IFileEntries {
public:
    struct Entry {
        std::string text;
        bool selected = false;
        int glyph = 0;
    };
    explicit FakeEntries(std::vector<Entry> entries) : entries_(std::move(entries)) {}

    int EntryCount() const override { return static_cast<int>(entries_.size()); }
    std::string EntryText(int i) const override { return At(i).text; }
    bool IsEntrySelected(int i) const override { return At(i).selected; }
    void SetEntrySelected(int i, bool selected) override { At(i).selected = selected; }
    void ReplaceEntryText(int i, const std::string& text) override {
        At(i).text = text;
        At(i).selected = false;
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& e : entries_)
            texts.push_back(e.text);
        return texts;
    }
    std::vector<bool> Selection() const {
        std::vector<bool> flags;
        for (const auto& e : entries_)
            flags.push_back(e.selected);
        return flags;
    }

private:
    Entry& At(int i) const {
        if (i < 0 || i >= EntryCount())
            throw std::out_of_range("List index out of bounds (" + std::to_string(i) + ")");
        return const_cast<Entry&>(entries_[static_cast<std::size_t>(i)]);
    }
    std::vector<Entry> entries_;
};

// A folder of names kept in memory, refusing taken names like the real rename.
struct FakeDisk {
    std::set<std::string> names;
    std::vector<std::pair<std::string, std::string>> requests;
    bool Move(const std::string& from, const std::string& to) {
        requests.emplace_back(from, to);
        if (from == to)
            return names.contains(from);
        if (to.empty() || names.contains(to) || !names.erase(from))
            return false;
        names.insert(to);
        return true;
    }
};

struct BatchRun {
    int failureMessages = 0;
    FakeDisk disk;

    void Run(FakeEntries& entries, const TRenameInputs& inputs) {
        for (int i = 0; i < entries.EntryCount(); ++i)
            disk.names.insert(entries.EntryText(i));
        RenameBatch(
            entries, inputs, [&](const auto& a, const auto& b) { return disk.Move(a, b); },
            [&] { ++failureMessages; });
    }
};

TRenameInputs Inputs(std::string find, std::string replace, bool selectedOnly = false,
                     bool prefix = false) {
    TRenameInputs inputs;
    inputs.findText = std::move(find);
    inputs.replaceText = std::move(replace);
    inputs.selectedOnly = selectedOnly;
    inputs.prefixMode = prefix;
    return inputs;
}

TEST(RenameBatch, NothingToDoShowsNoMessage) {
    BatchRun run;
    FakeEntries empty({});
    run.Run(empty, Inputs("a", "b"));
    FakeEntries unselected({{"a.txt"}, {"b.txt"}});
    run.Run(unselected, Inputs("a", "b", /*selectedOnly=*/true));
    FakeEntries noFind({{"a.txt"}});
    run.Run(noFind, Inputs("", "b"));
    EXPECT_TRUE(run.disk.requests.empty());
    EXPECT_EQ(run.failureMessages, 0);
    EXPECT_FALSE(RenameFailed);
}

TEST(RenameBatch, AllEntriesModeDeselectsRenamedEntriesOnly) {
    BatchRun run;
    FakeEntries entries({{"a1", true}, {"a2", false}, {"a3", true}, {"x", true}});
    run.disk.names.insert("b3"); // taken: the rename of a3 -> b3 fails
    run.Run(entries, Inputs("a", "b"));
    EXPECT_THAT(entries.Texts(), ElementsAre("b1", "b2", "a3", "x"));
    // Entries that failed or had no match keep their flags.
    EXPECT_THAT(entries.Selection(), ElementsAre(false, false, true, true));
    EXPECT_EQ(run.failureMessages, 1);
}

TEST(RenameBatch, SelectedOnlyModeReselectsRenamedEntries) {
    BatchRun run;
    FakeEntries entries({{"a1", true}, {"a2", false}, {"a3", true}, {"a4", true}});
    run.disk.names.insert("b4");
    run.Run(entries, Inputs("a", "b", /*selectedOnly=*/true));
    EXPECT_THAT(entries.Texts(), ElementsAre("b1", "a2", "b3", "a4"));
    EXPECT_THAT(entries.Selection(), ElementsAre(true, false, true, true));
    EXPECT_EQ(run.failureMessages, 1);
}

TEST(RenameBatch, ALaterEntryCannotTakeANameStillHeld) {
    BatchRun run;
    FakeEntries entries({{"1.txt"}, {"2.txt"}});
    run.Run(entries, Inputs("1", "2"));
    EXPECT_THAT(entries.Texts(), ElementsAre("1.txt", "2.txt"));
    EXPECT_EQ(run.disk.requests.size(), 1u); // 2.txt has no "1": skipped
    EXPECT_EQ(run.failureMessages, 1);
}

TEST(RenameBatch, PrefixModeRenamesInOrder) {
    BatchRun run;
    FakeEntries entries({{"a.txt"}, {"xa.txt"}});
    run.Run(entries, Inputs("ignored", "x", false, /*prefix=*/true));
    EXPECT_THAT(entries.Texts(), ElementsAre("a.txt", "xxa.txt"));
    EXPECT_EQ(run.failureMessages, 1);
    EXPECT_TRUE(RenameFailed);
}

TEST(RenameBatch, EmptyPrefixRequestsEveryRenameToItsOwnName) {
    BatchRun run;
    FakeEntries entries({{"a", true}, {"b", true}});
    run.Run(entries, Inputs("", "", false, /*prefix=*/true));
    EXPECT_EQ(run.disk.requests.size(), 2u);
    EXPECT_THAT(entries.Selection(), ElementsAre(false, false)); // handled as renamed
    EXPECT_EQ(run.failureMessages, 0);
}

TEST(RenameBatch, EmptyNewNameIsRequestedAndItsRefusalCounts) {
    BatchRun run;
    FakeEntries entries({{"abc", true}});
    run.Run(entries, Inputs("ABC", "", false));
    EXPECT_TRUE(run.disk.requests.empty()); // case-sensitive: no match

    TRenameInputs inputs = Inputs("ABC", "");
    inputs.caseSensitive = false;
    run.Run(entries, inputs);
    ASSERT_EQ(run.disk.requests.size(), 1u);
    EXPECT_EQ(run.disk.requests[0].second, "");
    EXPECT_THAT(entries.Texts(), ElementsAre("abc"));
    EXPECT_THAT(entries.Selection(), ElementsAre(true));
    EXPECT_EQ(run.failureMessages, 1);
}

TEST(RenameBatch, OneMessageHoweverManyFailures) {
    BatchRun run;
    FakeEntries entries({{"a1"}, {"a2"}, {"a3"}});
    run.disk.names.insert({"b1", "b2", "b3"});
    run.Run(entries, Inputs("a", "b"));
    EXPECT_EQ(run.disk.requests.size(), 3u);
    EXPECT_EQ(run.failureMessages, 1);
}

TEST(RenameBatch, RunsOverARealFolderWithoutLosingAFile) {
    test::TempFolder tmp;
    const std::vector<std::string> names = {"IMG_001.JPG", "IMG_002.jpg", "img_003.jpg",
                                            "notes.txt", "\xC8" "a\xE8" "ak img_4.jpg"};
    for (const auto& name : names)
        tmp.AddFile(name, "content of " + name);
    tmp.AddFile("Holiday_002.jpg", "must survive");
    SetCurrentDir(tmp.Path());

    std::vector<FakeEntries::Entry> list;
    for (const auto& name : names)
        list.push_back({name});
    FakeEntries entries(list);
    TRenameInputs inputs = Inputs("img_", "Holiday_");
    inputs.caseSensitive = false;
    int messages = 0;
    RenameBatch(entries, inputs, MoveFile, [&] { ++messages; });

    EXPECT_EQ(tmp.Names(), (std::set<std::string>{"Holiday_001.JPG", "IMG_002.jpg",
                                                  "Holiday_003.jpg", "notes.txt",
                                                  "\xC8" "a\xE8" "ak Holiday_4.jpg",
                                                  "Holiday_002.jpg"}));
    EXPECT_EQ(tmp.Read("Holiday_002.jpg"), "must survive");
    EXPECT_EQ(tmp.Read("Holiday_001.JPG"), "content of IMG_001.JPG");
    EXPECT_EQ(tmp.Read("\xC8" "a\xE8" "ak Holiday_4.jpg"), "content of \xC8" "a\xE8" "ak img_4.jpg");
    EXPECT_THAT(entries.Texts(), ElementsAre("Holiday_001.JPG", "IMG_002.jpg", "Holiday_003.jpg",
                                             "notes.txt", "\xC8" "a\xE8" "ak Holiday_4.jpg"));
    EXPECT_EQ(messages, 1);
}

TEST(RenameBatch, ASeparatorInTheNewNameIsAFailureNotAMove) {
    test::TempFolder tmp;
    tmp.AddFolder("sub");
    tmp.AddFile("a.txt");
    tmp.AddFile("b.txt");
    SetCurrentDir(tmp.Path());
    FakeEntries entries({{"a.txt"}, {"b.txt"}});
    int messages = 0;
    RenameBatch(entries, Inputs("", "sub/", false, /*prefix=*/true), MoveFile,
                [&] { ++messages; });
    EXPECT_EQ(tmp.Names(), (std::set<std::string>{"sub", "a.txt", "b.txt"}));
    EXPECT_EQ(messages, 1);
    EXPECT_THAT(entries.Texts(), ElementsAre("a.txt", "b.txt"));
}

} // namespace
} // namespace nomilo
