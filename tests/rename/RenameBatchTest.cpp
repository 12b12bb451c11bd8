#include "rename/RenameBatch.h"

#include "platform/files/CurrentDir.h"
#include "platform/files/MoveFile.h"
#include "platform/text/AsciiText.h"
#include "rename/RenamePreview.h"
#include "tests/rename/FakeEntries.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace nomilo {
namespace {

using test::FakeEntries;

TRenameInputs Inputs(bool selectedOnly, bool prefix, std::string find, std::string replace,
                     bool caseSensitive = true) {
    return {selectedOnly, prefix, caseSensitive, std::move(find), std::move(replace)};
}

TEST(RenameBatch, RenamesSelectsAndReportsOverAFakeList) {
    const struct {
        const char* entries;
        TRenameInputs inputs;
        std::set<std::string> taken; // names on the disk besides the entries
        const char* after;
        int messages;
    } cases[] = {
        {"", Inputs(true, false, "a", "b"), {}, "", 0},
        // Failed and unmatched entries keep their flags.
        {"a1* a2 a3* x*", Inputs(false, false, "a", "b"), {"b3"}, "b1 b2 a3* x*", 1},
        // After a failing batch, one without failures shows no message.
        {"a.txt b.txt", Inputs(true, false, "a", "b"), {}, "a.txt b.txt", 0},
        {"a1* a2 a3* a4*", Inputs(true, false, "a", "b"), {"b4"}, "b1* a2 b3* a4*", 1},
        {"1.txt 2.txt", Inputs(false, false, "1", "2"), {}, "1.txt 2.txt", 1},
        {"a.txt xa.txt", Inputs(false, true, "ignored", "x"), {}, "a.txt xxa.txt", 1},
        // Each entry renamed to its own name counts as renamed.
        {"a* b*", Inputs(false, true, "", ""), {}, "a b", 0},
        // The empty new name is asked for, and refused.
        {"abc*", Inputs(false, false, "ABC", "", false), {}, "abc*", 1},
        {"a1 a2 a3", Inputs(false, false, "a", "b"), {"b1", "b2", "b3"}, "a1 a2 a3", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        FakeEntries entries(c.entries);
        // A folder of names in memory that refuses taken and empty names like the real one.
        std::set<std::string> disk = c.taken;
        for (const auto& entry : entries.entries)
            disk.insert(entry.first);
        const auto move = [&](const std::string& from, const std::string& to, IMoveWitness*) {
            if (to.empty())
                return std::make_error_code(std::errc::invalid_argument);
            if (from != to && disk.contains(to))
                return std::make_error_code(std::errc::file_exists);
            if (!disk.erase(from))
                return std::make_error_code(std::errc::no_such_file_or_directory);
            disk.insert(to);
            return std::error_code();
        };
        int messages = 0;
        RenameBatch(entries, c.inputs, move, [&](const auto&) { ++messages; });
        EXPECT_EQ(entries.List(), c.after);
        EXPECT_EQ(messages, c.messages);
        EXPECT_EQ(RenameFailed, c.messages > 0);
    }
}

TEST(RenameBatch, ARefusalForAnEarlierEntrysNewNameIsToldAsThePreviewTellsIt) {
    // a.txt becomes C.txt; b.txt asks for c.txt, which on a case-blind volume is C.txt, and
    // elsewhere the file c.txt that was there before.
    TRenameInputs inputs = Inputs(false, false, "(a)|b", "${1:+C:c}");
    inputs.regularExpression = true;
    for (const bool caseBlind : {true, false}) {
        SCOPED_TRACE(caseBlind ? "case-blind" : "case-sensitive");
        const std::vector<std::string> folder =
            caseBlind ? std::vector<std::string>{"a.txt", "b.txt"}
                      : std::vector<std::string>{"a.txt", "b.txt", "c.txt"};
        FakeEntries entries("a.txt b.txt");
        const auto key = [&](std::string name) {
            if (caseBlind)
                std::transform(name.begin(), name.end(), name.begin(), AsciiLower);
            return name;
        };
        std::set<std::string> disk;
        for (const std::string& name : folder)
            disk.insert(key(name));
        const auto move = [&](const std::string& from, const std::string& to, IMoveWitness*) {
            if (disk.contains(key(to)))
                return std::make_error_code(std::errc::file_exists);
            disk.erase(key(from));
            disk.insert(key(to));
            return std::error_code();
        };
        const std::vector<TPreviewEntry> predicted =
            TRenamePreview(TPreviewFolder{folder, 255, true, caseBlind}, entries)
                .Predict(entries, inputs);
        std::vector<TRefusedRename> refused;
        RenameBatch(entries, inputs, move, [&](const auto& list) { refused = list; }, nullptr,
                    caseBlind);
        EXPECT_EQ(entries.List(), "C.txt b.txt");
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_EQ(predicted[1].reason, caseBlind ? TRefusal::TakenInBatch : TRefusal::Taken);
        EXPECT_EQ(RefusalOf(refused[0].error), predicted[1].reason);
    }
}

TEST(RenameBatch, RunsOverARealFolderWithoutLosingAFile) {
    test::TempFolder tmp;
    const std::string latin2 = "\xC8"
                               "a\xE8"
                               "ak_"; // not UTF-8: renamed byte for byte
    const std::vector<std::string> names = {"IMG_001.JPG", "IMG_002.jpg", "img_003.jpg",
                                            "notes.txt", latin2 + "img_4.jpg"};
    const std::vector<std::string> renamed = {"Holiday_001.JPG", "IMG_002.jpg", "Holiday_003.jpg",
                                              "notes.txt", latin2 + "Holiday_4.jpg"};
    std::string list;
    for (const auto& name : names) {
        tmp.AddFile(name, "content of " + name);
        list += name + " ";
    }
    tmp.AddFile("Holiday_002.jpg", "must survive");
    SetCurrentDir(tmp.Path());
    FakeEntries entries(list);
    int messages = 0;
    std::vector<TRefusedRename> refused;
    auto failed = [&](const std::vector<TRefusedRename>& list) {
        ++messages;
        refused = list;
    };
    RenameBatch(entries, Inputs(false, false, "img_", "Holiday_", false), MoveFileRefusal, failed);

    std::set<std::string> onDisk(renamed.begin(), renamed.end());
    onDisk.insert("Holiday_002.jpg");
    EXPECT_EQ(tmp.Names(), onDisk);
    EXPECT_EQ(tmp.Read("Holiday_002.jpg"), "must survive");
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(entries.EntryText(static_cast<int>(i)), renamed[i]);
        EXPECT_EQ(tmp.Read(renamed[i]), "content of " + names[i]);
    }
    EXPECT_EQ(messages, 1);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].oldName, "IMG_002.jpg");
    EXPECT_EQ(refused[0].newName, "Holiday_002.jpg");
    EXPECT_EQ(RefusalOf(refused[0].error), TRefusal::Taken);

    // A separator in the new name is a failure, not a move into a subfolder; the details list
    // every refused entry in order.
    tmp.AddFolder("sub");
    RenameBatch(entries, Inputs(false, true, "", "sub/"), MoveFileRefusal, failed);
    onDisk.insert("sub");
    EXPECT_EQ(tmp.Names(), onDisk);
    EXPECT_EQ(entries.EntryText(0), renamed[0]);
    EXPECT_EQ(messages, 2);
    ASSERT_EQ(refused.size(), names.size());
    EXPECT_EQ(refused[4].oldName, renamed[4]);
    EXPECT_EQ(refused[4].newName, "sub/" + renamed[4]);
    EXPECT_EQ(RefusalOf(refused[4].error), TRefusal::NotAcceptable);
}

} // namespace
} // namespace nomilo
