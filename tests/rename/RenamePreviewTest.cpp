#include "rename/RenamePreview.h"

#include "platform/files/CurrentDir.h"
#include "platform/files/DirListing.h"
#include "platform/files/MoveFile.h"
#include "tests/rename/FakeEntries.h"
#include "tests/support/TempFolder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace nomilo {
namespace {

using test::FakeEntries;

// What a batch did with each entry, as its journal hears it.
struct BatchSpy : IBatchJournal {
    void Begin(const std::vector<TRenameStep>& steps) override { plan = steps; }
    void Started(std::size_t) override {}
    void Finished(std::size_t, bool done) override { renamed.push_back(done); }
    void End() override {}
    std::vector<TRenameStep> plan;
    std::vector<bool> renamed;
};

// Each entry's prediction as a letter: "." untouched, "R" renamed, or the refusal: "T" taken,
// "B" taken by an earlier entry, "G" gone, "N" not acceptable, "L" too long, "P" no permission.
std::string Letters(const std::vector<TPreviewEntry>& preview) {
    std::string letters;
    for (const TPreviewEntry& entry : preview)
        letters += entry.mark == TPreviewEntry::Untouched ? '.'
                   : entry.mark == TPreviewEntry::Renamed ? 'R'
                                                          : "?TBNLGP?"[static_cast<int>(entry.reason)];
    return letters;
}

// Names from a few pieces, so that new names collide with old ones and chain.
std::string RandomName(std::mt19937& random) {
    static const char* const pieces[] = {"a", "A", "b", ".", "ab", "\xE8"};
    std::string name;
    for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n)
        name += pieces[random() % std::size(pieces)];
    return name == "." || name == ".." ? RandomName(random) : name;
}

TEST(RenamePreview, PredictsWhatTheBatchDoesOnRandomFoldersAndInputs) {
    std::mt19937 random(15);
    const std::string finds[] = {"", "a", "A", "b", ".", "ab", "\xE8"};
    const std::string replaces[] = {"", "a", "b", "ab", "x/", std::string(254, 'L')};
    // In every mode: expressions (some that match the empty text, one no expression at all),
    // groups and counters.
    const std::string expressions[] = {"a", "^a", "(a)(b)?", "\\.", "[ab]+$", "A|b", "x*", "("};
    const std::string substitutions[] = {"$1", "\\U$0", "${2}x", "#", "a##{0,2}", "\\#"};
    std::string seen;
    int bad = 0;
    for (int round = 0; round < 500; ++round) {
        SCOPED_TRACE(round);
        test::TempFolder tmp;
        // The list: most files in random order, one twice (a mask with a pattern twice), one
        // that is no longer there.
        FakeEntries entries;
        for (int n = 3 + static_cast<int>(random() % 10); n > 0; --n) {
            const std::string name = RandomName(random);
            tmp.AddFile(name, name);
            if (random() % 5 != 0)
                entries.entries.push_back({name, random() % 2 == 0});
        }
        std::shuffle(entries.entries.begin(), entries.entries.end(), random);
        if (!entries.entries.empty() && random() % 3 == 0)
            entries.entries.push_back(entries.entries.front());
        if (random() % 4 == 0)
            entries.entries.push_back({"gone", true});
        TRenameInputs inputs{random() % 2 == 0, random() % 4 == 0, random() % 2 == 0,
                             finds[random() % std::size(finds)],
                             replaces[random() % std::size(replaces)]};
        inputs.regularExpression = random() % 3 == 0;
        inputs.everyOccurrence = random() % 3 == 0;
        inputs.numbering = random() % 3 == 0;
        if (inputs.regularExpression)
            inputs.findText = expressions[random() % std::size(expressions)];
        if (inputs.regularExpression || inputs.numbering)
            inputs.replaceText += substitutions[random() % std::size(substitutions)];

        SetCurrentDir(tmp.Path());
        DirListing listing = ListCurrentDir();
        const TRenamePreview preview(
            TPreviewFolder{listing.names, listing.nameMax, listing.writable, false}, entries);
        // A preview for one prediction, which looks each entry up as it goes, predicts alike.
        TRenamePreview once(
            TPreviewFolder{std::move(listing.names), listing.nameMax, listing.writable, false});
        std::vector<TPreviewEntry> predicted;
        try {
            predicted = preview.Predict(entries, inputs);
            const std::vector<TPreviewEntry> oneShot =
                std::move(once).Predict(entries, inputs.selectedOnly, TRenameRule(inputs));
            EXPECT_EQ(Letters(oneShot), Letters(predicted));
            for (std::size_t i = 0; i < predicted.size(); ++i)
                EXPECT_EQ(oneShot[i].newName, predicted[i].newName);
        } catch (const ERenameRule&) {
            // No valid expression: the batch renames nothing either, and keeps no journal.
            ++bad;
            const auto before = tmp.Names();
            BatchSpy spy;
            EXPECT_THROW(RenameBatch(entries, inputs, MoveFileRefusal, nullptr, &spy), ERenameRule);
            EXPECT_TRUE(spy.plan.empty());
            EXPECT_EQ(tmp.Names(), before);
            continue;
        }
        std::string expected = Letters(predicted);
        seen += expected;
        std::replace(expected.begin(), expected.end(), 'B', 'T'); // the kernel says "taken"
        std::vector<std::pair<std::string, bool>> after = entries.entries;
        for (std::size_t i = 0; i < after.size(); ++i)
            if (predicted[i].mark == TPreviewEntry::Renamed)
                after[i].first = predicted[i].newName;

        BatchSpy spy;
        std::vector<TRefusedRename> refused;
        RenameBatch(entries, inputs, MoveFileRefusal, [&](const auto& list) { refused = list; },
                    &spy);
        std::vector<TPreviewEntry> done(predicted.size());
        for (std::size_t s = 0, r = 0; s < spy.plan.size(); ++s) {
            TPreviewEntry& entry = done[static_cast<std::size_t>(spy.plan[s].entry)];
            entry.mark = spy.renamed[s] ? TPreviewEntry::Renamed : TPreviewEntry::Refused;
            if (!spy.renamed[s])
                entry.reason = RefusalOf(refused.at(r++).error);
        }
        EXPECT_EQ(expected, Letters(done));
        for (std::size_t i = 0; i < after.size(); ++i)
            EXPECT_EQ(entries.entries[i].first, after[i].first);
    }
    // Every kind of refusal a folder of our own can show came up.
    for (const char letter : std::string(".RTBNLG"))
        EXPECT_NE(seen.find(letter), std::string::npos) << letter;
    EXPECT_GT(bad, 5);
}

TEST(RenamePreview, NamesEachRefusalAndKnowsCaseBlindAndReadOnlyFolders) {
    const struct {
        std::vector<std::string> folder;
        const char* entries;
        TRenameInputs inputs;
        bool caseBlind, writable;
        const char* predicted;
    } cases[] = {
        {{"ab", "ba"}, "ab ba", {false, false, true, "a", ""}, false, true, "RB"},
        {{"xa", "a"}, "xa a", {false, true, true, "", "x"}, false, true, "RR"}, // a chain
        {{"a"}, "a a gone", {false, true, true, "", "x"}, false, true, "RGG"},
        {{"a", "a2"}, "a a2*", {true, true, true, "", "x"}, false, true, ".R"},
        {{"a"}, "a", {false, true, true, "", "x/"}, false, true, "N"},
        {{"a"}, "a", {false, true, true, "", std::string(255, 'L')}, false, true, "L"},
        {{"a"}, "a", {false, true, true, "", "x"}, false, false, "P"},
        // On a case-blind volume a new spelling of a file's own name is free, another file's
        // in any spelling is taken.
        {{"a.txt", "B.TXT"}, "a.txt", {false, false, true, "txt", "TXT"}, true, true, "R"},
        {{"a.txt", "B.TXT"}, "a.txt", {false, false, true, "a", "b"}, true, true, "T"},
        {{"a.txt", "B.TXT"}, "a.txt", {false, false, true, "a", "b"}, false, true, "R"},
        // Two spellings listed (a share of a case-sensitive server) are one name there.
        {{"a.txt", "A.TXT", "b.txt"}, "b.txt", {false, false, true, "b", "a"}, true, true, "T"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        const FakeEntries entries(c.entries);
        const TRenamePreview preview(TPreviewFolder{c.folder, 255, c.writable, c.caseBlind},
                                     entries);
        EXPECT_EQ(Letters(preview.Predict(entries, c.inputs)), c.predicted);
        TRenamePreview once(TPreviewFolder{c.folder, 255, c.writable, c.caseBlind});
        EXPECT_EQ(Letters(std::move(once).Predict(entries, c.inputs.selectedOnly,
                                                  TRenameRule(c.inputs))),
                  c.predicted);
    }
}

} // namespace
} // namespace nomilo
