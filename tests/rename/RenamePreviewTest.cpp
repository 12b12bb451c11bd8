#include "rename/RenamePreview.h"

#include "platform/files/CurrentDir.h"
#include "platform/files/DirListing.h"
#include "platform/files/MoveFile.h"
#include "tests/rename/FakeEntries.h"
#include "tests/support/TempFolder.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <random>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nomilo {
namespace {

using test::FakeEntries;

// What a batch did with each entry, as its journal hears it.
struct BatchSpy : IBatchJournal {
    void Begin(const std::vector<TRenameStep>& steps) override { plan = steps; }
    IMoveWitness* Started(std::size_t) override { return nullptr; }
    void Finished(std::size_t, std::error_code refusal) override { renamed.push_back(!refusal); }
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
                                                          : "?TBNLGPR?"[static_cast<int>(entry.reason)];
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

// The prediction for the entries in the current directory, and what the batch then did: each
// entry's letter, then the entries' names; letters "!" for a rule that is no valid expression.
struct TRound {
    std::string letters; // as predicted
    std::string predicted, done;
};

TRound PredictThenRename(FakeEntries entries, const TRenameInputs& inputs) {
    DirListing listing = ListCurrentDir();
    TPreviewFolder folder{std::move(listing.names), listing.nameMax, listing.writable, false,
                          std::move(listing.pinned)};
    const TRenamePreview preview(folder, entries);
    // A preview for one prediction, which looks each entry up as it goes, predicts alike.
    TRenamePreview once(std::move(folder));
    std::vector<TPreviewEntry> predicted, oneShot;
    try {
        predicted = preview.Predict(entries, inputs);
        TPreview shown;
        std::move(once).Predict(entries, inputs.selectedOnly, TRenameRule(inputs), shown);
        oneShot = shown.Entries();
    } catch (const ERenameRule&) {
        // No valid expression: the batch renames nothing either, and keeps no journal.
        const auto before = ReadFolderNames(".");
        BatchSpy spy;
        bool refused = false;
        try {
            RenameBatch(entries, inputs, MoveFileRefusal, nullptr, &spy);
        } catch (const ERenameRule&) {
            refused = true;
        }
        const bool untouched = refused && spy.plan.empty() && ReadFolderNames(".") == before;
        return {"!", "no rule", untouched ? "no rule" : "the batch went on"};
    }
    TRound round{Letters(predicted), Letters(predicted), {}};
    for (std::size_t i = 0; i < predicted.size(); ++i)
        round.predicted +=
            ' ' + (predicted[i].mark == TPreviewEntry::Renamed ? predicted[i].newName
                                                               : entries.entries[i].first);
    for (std::size_t i = 0; i < predicted.size(); ++i)
        if (oneShot.at(i).mark != predicted[i].mark || oneShot[i].reason != predicted[i].reason ||
            oneShot[i].newName != predicted[i].newName)
            round.predicted += " (one prediction: " + Letters(oneShot) + ")";

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
    round.done = Letters(done);
    for (const auto& [name, selected] : entries.entries)
        round.done += ' ' + name;
    return round;
}

// The same in a child process that runs as `user`.
TRound PredictThenRenameAs(uid_t user, const FakeEntries& entries, const TRenameInputs& inputs) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(user) != 0 || setuid(user) != 0)
            _exit(1);
        const TRound round = PredictThenRename(entries, inputs);
        const std::string text = round.letters + '\0' + round.predicted + '\0' + round.done;
        _exit(write(pipeEnds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size())
                  ? 0
                  : 1);
    }
    close(pipeEnds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    waitpid(child, nullptr, 0);
    TRound round;
    std::size_t first = text.find('\0'), second = text.find('\0', first + 1);
    if (second == std::string::npos)
        return {"", "the child failed", ""};
    return {text.substr(0, first), text.substr(first + 1, second - first - 1),
            text.substr(second + 1)};
}

// Sets or clears the immutable flag of `path`; false where the file system or the process
// cannot.
bool SetImmutable(const std::string& path, bool on) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    int flags = 0;
    bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0)
        close(fd);
    return done;
}

constexpr uid_t kNobody = 65534;

TEST(RenamePreview, PredictsWhatTheBatchDoesOnRandomFoldersAndInputs) {
    std::mt19937 random(15);
    const std::string finds[] = {"", "a", "A", "b", ".", "ab", "\xE8"};
    const std::string replaces[] = {"", "a", "b", "ab", "x/", std::string(254, 'L')};
    // In every mode: expressions (some that match the empty text, one no expression at all),
    // groups and counters.
    const std::string expressions[] = {"a", "^a", "(a)(b)?", "\\.", "[ab]+$", "A|b", "x*", "("};
    const std::string substitutions[] = {"$1", "\\U$0", "${2}x", "#", "a##{0,2}", "\\#"};
    // As root the test also makes sticky folders (as /tmp) with files of two owners and an
    // immutable file, and lets a child that is not root predict and rename there.
    const bool asRoot = geteuid() == 0;
    if (!asRoot)
        std::printf("sticky folders and immutable files left out: the test is not root\n");
    bool immutableMade = false;
    std::string seen;
    int bad = 0;
    for (int round = 0; round < 500; ++round) {
        SCOPED_TRACE(round);
        test::TempFolder tmp;
        const bool sticky = asRoot && round % 3 == 0;
        // The list: most files in random order, one twice (a mask with a pattern twice), one
        // that is no longer there.
        FakeEntries entries;
        std::vector<std::string> made;
        for (int n = 3 + static_cast<int>(random() % 10); n > 0; --n) {
            const std::string name = RandomName(random);
            tmp.AddFile(name, name);
            made.push_back(name);
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
        std::string immutable;
        if (sticky) {
            ASSERT_EQ(chmod(tmp.Path().c_str(), 01777), 0);
            for (const std::string& name : made) {
                if (random() % 2 == 0) {
                    ASSERT_EQ(lchown(name.c_str(), kNobody, kNobody), 0);
                }
            }
            immutable = made[random() % made.size()];
            if (!SetImmutable(immutable, true))
                immutable.clear();
            immutableMade = immutableMade || !immutable.empty();
        }
        const TRound result = sticky ? PredictThenRenameAs(kNobody, entries, inputs)
                                     : PredictThenRename(entries, inputs);
        if (!immutable.empty())
            SetImmutable(immutable, false);
        bad += result.letters == "!";
        seen += result.letters;
        EXPECT_EQ(result.predicted, result.done);
    }
    // Every kind of refusal a folder of our own can show came up.
    for (const char letter : std::string(asRoot ? ".RTBNLGP" : ".RTBNLG"))
        EXPECT_NE(seen.find(letter), std::string::npos) << letter;
    EXPECT_GT(bad, 5);
    if (asRoot && !immutableMade)
        std::printf("immutable files left out: the file system or the process cannot make them\n");
}

TEST(RenamePreview, NamesEachRefusalAndKnowsCaseBlindAndReadOnlyFolders) {
    const struct {
        std::vector<std::string> folder;
        const char* entries;
        TRenameInputs inputs;
        bool caseBlind, writable;
        const char* predicted;
        std::vector<char> pinned = {};
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
        // A file the kernel will not let go keeps its name: the name is not free for another.
        {{"xa", "a"}, "xa a", {false, true, true, "", "x"}, false, true, "PT", {1, 0}},
        // Two spellings listed (a share of a case-sensitive server) are one name there, which
        // the kernel will not let go when it will not let go either.
        {{"a.txt", "A.TXT", "b.txt"}, "b.txt", {false, false, true, "b", "a"}, true, true, "T"},
        {{"a.txt", "A.TXT", "b.txt"}, "b.txt A.TXT", {false, true, true, "", "x"}, true, true,
         "RP", {1, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        const FakeEntries entries(c.entries);
        const TRenamePreview preview(
            TPreviewFolder{c.folder, 255, c.writable, c.caseBlind, c.pinned}, entries);
        EXPECT_EQ(Letters(preview.Predict(entries, c.inputs)), c.predicted);
        TRenamePreview once(TPreviewFolder{c.folder, 255, c.writable, c.caseBlind, c.pinned});
        EXPECT_EQ(Letters(std::move(once).Predict(entries, c.inputs.selectedOnly,
                                                  TRenameRule(c.inputs))),
                  c.predicted);
    }
}

// A preview is built once for a read of the folder and then asked at every keystroke, while the
// list's texts may change (a batch renames entries, a file goes): each answer must be the one a
// preview built for the list as it is now would give.
TEST(RenamePreview, AnswersAsANewOneWhileTheListChangesAndTheRuleWith) {
    std::mt19937 random(26);
    const std::string pieces[] = {"a", "A", "b", "B", ".", "ab"};
    const auto name = [&] {
        std::string text;
        for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n)
            text += pieces[random() % std::size(pieces)];
        return text == "." ? std::string("b") : text;
    };
    const std::vector<TRenameInputs> rules = {
        {false, true, true, "", "a"},   {false, false, false, "a", "b"},
        {false, false, true, "b", "A"}, {false, false, true, "ab", ""},
        {false, false, false, "A", "x/"}};
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const bool caseBlind = round % 2 == 0;
        std::vector<std::string> folder;
        FakeEntries entries;
        for (int n = 2 + static_cast<int>(random() % 8); n > 0; --n) {
            folder.push_back(name());
            entries.entries.push_back({folder.back(), random() % 2 == 0});
        }
        const TRenamePreview kept(TPreviewFolder{folder, 255, true, caseBlind, {}}, entries);
        TPreview answer; // used again, as the window does
        for (int change = 0; change < 4; ++change) {
            const std::size_t at = random() % entries.entries.size();
            entries.entries[at].first = random() % 3 == 0 ? folder[random() % folder.size()]
                                                          : name();
            const TRenamePreview fresh(TPreviewFolder{folder, 255, true, caseBlind, {}},
                                       entries);
            const TRenameInputs& inputs = rules[random() % rules.size()];
            const bool selectedOnly = random() % 2 == 0;
            const TRenameRule rule(inputs);
            kept.Predict(entries, selectedOnly, rule, answer);
            const std::vector<TPreviewEntry> expected = fresh.Predict(entries, selectedOnly, rule);
            const std::vector<TPreviewEntry> got = answer.Entries();
            EXPECT_EQ(Letters(got), Letters(expected));
            for (std::size_t i = 0; i < got.size() && i < expected.size(); ++i)
                EXPECT_EQ(got[i].newName, expected[i].newName) << i;
        }
    }
}

} // namespace
} // namespace nomilo
