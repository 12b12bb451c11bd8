// nomilo-rename as a user runs it: the built program, started in a folder of files.
#include "platform/journal/JournalFile.h"
#include "tests/cli/CommandRunner.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <thread>

namespace nomilo {
namespace {

using test::RunCommand;
using test::TempFolder;
using Names = std::set<std::string>;

// Each test with a journal of its own: the tests run at the same time.
class Command : public ::testing::Test {
protected:
    Command() { setenv("XDG_STATE_HOME", state.Path().c_str(), 1); }
    TempFolder state;
};

std::string JournalBytes() {
    std::ifstream in(JournalFile::DefaultPath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(Command, RenamesTheListedFilesInTheListsOrderAndUndoTakesTheBatchBackFromAnywhere) {
    TempFolder tmp({"b.txt", "A.txt", "c.md", ".hidden.txt", "dir.txt/"});
    const test::TCommandRun batch = RunCommand({"txt", "TXT"}, tmp.Path());
    EXPECT_EQ(batch.status, 0) << batch.err;
    EXPECT_EQ(batch.out, "A.txt -> A.TXT\nb.txt -> b.TXT\n"); // case ignored in the order
    EXPECT_EQ(tmp.Names(), (Names{"A.TXT", "b.TXT", "c.md", ".hidden.txt", "dir.txt"}));

    const test::TCommandRun undo = RunCommand({"--undo"}, "/");
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "b.TXT -> b.txt\nA.TXT -> A.txt\n"); // the last renamed first
    EXPECT_EQ(tmp.Names(), (Names{"A.txt", "b.txt", "c.md", ".hidden.txt", "dir.txt"}));
    const test::TCommandRun again = RunCommand({"--undo"}, "/");
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.err, "nomilo-rename: nothing to undo\n");
}

TEST_F(Command, TheDryRunPredictsTheBatchLineForLineAndChangesNothing) {
    // a.txt cannot take xa.txt, which is still there; xa.txt then becomes xxa.txt. The mask
    // lists b.txt twice, so its second rename finds it gone.
    TempFolder tmp({"a.txt", "xa.txt", "b.txt", "c.md"});
    const std::vector<std::string> batch{"--prefix=x", "-m", "*.txt;b*"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), batch.begin(), batch.end());
        return more;
    };
    const test::TCommandRun dry = RunCommand(with({"-n"}), tmp.Path());
    const test::TCommandRun dryJson = RunCommand(with({"-n", "--json"}), tmp.Path());
    EXPECT_EQ(tmp.Names(), (Names{"a.txt", "xa.txt", "b.txt", "c.md"}));
    EXPECT_EQ(dry.status, 1);
    EXPECT_EQ(dry.out, "a.txt -> xa.txt: the name is taken\n"
                       "b.txt -> xb.txt\n"
                       "b.txt -> xb.txt: the file is gone\n"
                       "xa.txt -> xxa.txt\n");

    const test::TCommandRun done = RunCommand(batch, tmp.Path());
    EXPECT_EQ(done.status, 1);
    EXPECT_EQ(done.out, dry.out);
    EXPECT_EQ(done.err, "nomilo-rename: some files could not be renamed (2 of 4)\n");
    EXPECT_EQ(tmp.Names(), (Names{"a.txt", "xxa.txt", "xb.txt", "c.md"}));

    ASSERT_TRUE(RunCommand({"--undo"}, tmp.Path()).status == 0);
    std::string json = RunCommand(with({"--json"}), tmp.Path()).out;
    for (std::size_t at; (at = json.find("\"renamed\"")) != std::string::npos;)
        json.replace(at, 9, "\"planned\"");
    EXPECT_EQ(json, dryJson.out);
    EXPECT_NE(json.find("{\"old\":\"a.txt\",\"new\":\"xa.txt\",\"status\":\"refused\","
                        "\"reason\":\"taken\",\"message\":\"the name is taken\"}\n"),
              std::string::npos);
}

TEST_F(Command, ANameAnEarlierFileGotIsRefusedForTheSameReasonInTheDryRunAndTheBatch) {
    TempFolder tmp({"a.txt", "b.txt"});
    const std::vector<std::string> batch{"--json", "--regex", "^[ab]", "c"};
    std::vector<std::string> dryRun = batch;
    dryRun.insert(dryRun.begin(), "-n");
    const test::TCommandRun dry = RunCommand(dryRun, tmp.Path());
    const test::TCommandRun done = RunCommand(batch, tmp.Path());
    EXPECT_EQ(done.status, 1);
    EXPECT_EQ(done.out, "{\"old\":\"a.txt\",\"new\":\"c.txt\",\"status\":\"renamed\"}\n"
                        "{\"old\":\"b.txt\",\"new\":\"c.txt\",\"status\":\"refused\","
                        "\"reason\":\"taken-in-batch\","
                        "\"message\":\"an earlier entry gets the same name\"}\n");
    std::string planned = done.out;
    planned.replace(planned.find("renamed"), 7, "planned");
    EXPECT_EQ(dry.out, planned);
}

TEST_F(Command, NamedFilesAreTheSelectionAndAFileTheListDoesNotShowTouchesNothing) {
    TempFolder tmp({"a.JPG", "b.jpg", "c.png", "d.gif", ".e.jpg"});
    const std::string journal = JournalBytes();
    for (const char* unlisted : {"d.gif", ".e.jpg", "nowhere.jpg", "/etc/passwd"}) {
        const auto run = RunCommand({"-m*.jpg;*.png", "-i", "JPG", "jpeg", "--", "b.jpg", unlisted},
                                    tmp.Path());
        EXPECT_EQ(run.status, 2) << unlisted;
        EXPECT_EQ(tmp.Names(), (Names{"a.JPG", "b.jpg", "c.png", "d.gif", ".e.jpg"}));
    }
    EXPECT_EQ(JournalBytes(), journal);

    const auto run = RunCommand({"-im", "*.jpg;*.png", "jpg", "jpeg", tmp.Path(), "--", "b.jpg",
                                 tmp / "a.JPG", "c.png"},
                                "/");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(tmp.Names(), (Names{"a.jpeg", "b.jpeg", "c.png", "d.gif", ".e.jpg"}));
}

TEST_F(Command, UsageAndPatternErrorsTouchNothingAndAFolderThatCannotBeEnteredIsStatusThree) {
    TempFolder tmp({"a.txt", "-a.txt"});
    const std::string journal = JournalBytes();
    const std::vector<std::vector<std::string>> usageErrors{
        {"-x", "a", "b"},          {"a"},
        {"", "b"},                 {"a", "b", "-m", "sub/*.txt"},
        {"--json", "-0", "a", "b"}, {"--undo", "a"},
        {"a", "b", ".", "extra"},  {"--prefix=p", "--find=a"},
        {"-a", "b"},               {"a", "b", "--mask"},
    };
    for (const auto& arguments : usageErrors) {
        const auto run = RunCommand(arguments, tmp.Path());
        EXPECT_EQ(run.status, 2) << arguments[0];
        EXPECT_TRUE(run.err.starts_with("nomilo-rename: ")) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
    EXPECT_EQ(tmp.Names(), (Names{"a.txt", "-a.txt"}));
    EXPECT_EQ(JournalBytes(), journal);

    EXPECT_EQ(RunCommand({"a", "b", "missing"}, tmp.Path()).status, 3);
    EXPECT_EQ(RunCommand({"a", "b", "a.txt"}, tmp.Path()).status, 3);
    EXPECT_EQ(RunCommand({"--find=-a", "--replace", "-b", "-q"}, tmp.Path()).out, "");
    EXPECT_EQ(tmp.Names(), (Names{"a.txt", "-b.txt"}));
    EXPECT_EQ(RunCommand({"--help"}, tmp.Path()).status, 0);
    EXPECT_TRUE(RunCommand({"x", "--version"}, tmp.Path()).out.starts_with("nomilo-rename "));
}

TEST_F(Command, RegexEveryOccurrenceAndNumberingRenameByTheWindowsRule) {
    TempFolder tmp({"IMG_4711.JPG", "IMG_4712.jpeg", "a-b-c.txt", "notes.txt"});
    const auto regex = RunCommand({"--regex", "-i", "--numbering", R"(^IMG_(\d+)\.jpe?g$)",
                                   "Holiday_###_$1.jpg"},
                                  tmp.Path());
    EXPECT_EQ(regex.status, 0) << regex.err;
    EXPECT_EQ(regex.out, "IMG_4711.JPG -> Holiday_001_4711.jpg\n"
                         "IMG_4712.jpeg -> Holiday_002_4712.jpg\n");

    EXPECT_EQ(RunCommand({"--all", "-", "_"}, tmp.Path()).out, "a-b-c.txt -> a_b_c.txt\n");
    const auto cases = RunCommand({"--regex", "--all", "([a-c])_", R"(\u$1+)", "--", "a_b_c.txt"},
                                  tmp.Path());
    EXPECT_EQ(cases.out, "a_b_c.txt -> A+B+c.txt\n");
    // Counters in a prefix number only the files the batch renames, from where they are told.
    const auto prefix = RunCommand({"--numbering", "--prefix", R"(#{10,5}\#)", "-m", "*.txt"},
                                   tmp.Path());
    EXPECT_EQ(prefix.out, "A+B+c.txt -> 10#A+B+c.txt\nnotes.txt -> 15#notes.txt\n");
    EXPECT_EQ(tmp.Names(), (Names{"Holiday_001_4711.jpg", "Holiday_002_4712.jpg",
                                  "10#A+B+c.txt", "15#notes.txt"}));
}

TEST_F(Command, ANumberedRegexDryRunIsTheBatchAndUndoTakesTheBatchBack) {
    // b.txt's number is taken: it is refused, and c.txt keeps its own number all the same.
    TempFolder tmp({"a.txt", "b.txt", "c.txt", "f_002_b.txt"});
    const std::vector<std::string> batch{"--regex", "--numbering", R"(^(\w)\.txt$)",
                                         "f_###_$1.txt"};
    std::vector<std::string> dryRun = batch;
    dryRun.push_back("-n");
    const auto dry = RunCommand(dryRun, tmp.Path());
    EXPECT_EQ(dry.status, 1);
    EXPECT_EQ(dry.out, "a.txt -> f_001_a.txt\n"
                       "b.txt -> f_002_b.txt: the name is taken\n"
                       "c.txt -> f_003_c.txt\n");
    const Names before = tmp.Names();

    const auto done = RunCommand(batch, tmp.Path());
    EXPECT_EQ(done.status, 1);
    EXPECT_EQ(done.out, dry.out);
    EXPECT_EQ(tmp.Names(),
              (Names{"f_001_a.txt", "b.txt", "f_003_c.txt", "f_002_b.txt"}));

    const auto undo = RunCommand({"--undo"}, "/");
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "f_003_c.txt -> c.txt\nf_001_a.txt -> a.txt\n");
    EXPECT_EQ(tmp.Names(), before);
}

TEST_F(Command, ABadPatternIsStatusTwoWithTheEnginesWordsAndTouchesNothing) {
    TempFolder tmp({"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "z.txt"});
    ASSERT_EQ(RunCommand({"z", "y"}, tmp.Path()).status, 0); // a batch that stays undoable
    const Names names = tmp.Names();
    const std::string journal = JournalBytes();
    struct TBad {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<TBad> bad{
        {{"--regex", "é(x", "y"},
         "FIND is not a valid regular expression: missing closing parenthesis (offset 3)"},
        {{"--regex", "-n", "(x)", "$2"},
         "REPLACE does not suit the regular expression: unknown substring (offset 2)"},
        // The offset is the typed text's, counters and all.
        {{"--regex", "--numbering", "(x)", "é##{7}${9}", "missing-folder"},
         "REPLACE does not suit the regular expression: unknown substring (offset 10)"},
        {{"--regex", "^(a+)+$", "y"},
         "the regular expression failed on a name: match limit exceeded; nothing was renamed"},
    };
    for (const TBad& run : bad) {
        const auto result = RunCommand(run.arguments, tmp.Path());
        EXPECT_EQ(result.status, 2) << run.message;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "nomilo-rename: " + run.message + "\n");
    }
    EXPECT_EQ(tmp.Names(), names);
    EXPECT_EQ(JournalBytes(), journal);
    EXPECT_EQ(RunCommand({"--undo"}, tmp.Path()).out, "y.txt -> z.txt\n");
}

TEST_F(Command, AnUndoThatCannotBeDoneSaysWhyAndRenamesNothing) {
    TempFolder tmp({"files/a.txt"});
    ASSERT_EQ(RunCommand({"-q", "txt", "md"}, tmp / "files").status, 0);
    // Another folder with the batch's names now has the batch's path.
    ASSERT_EQ(rename((tmp / "files").c_str(), (tmp / "moved").c_str()), 0);
    std::filesystem::create_directory(tmp / "files");
    std::ofstream(tmp / "files/a.md") << "another";
    const test::TCommandRun replaced = RunCommand({"--undo"}, "/");
    EXPECT_EQ(replaced.status, 3);
    EXPECT_NE(replaced.err.find("is not the one the last batch renamed in"), std::string::npos)
        << replaced.err;
    EXPECT_EQ(tmp.Read("files/a.md"), "another");

    std::ofstream(JournalFile::DefaultPath(), std::ios::app) << "x";
    const test::TCommandRun damaged = RunCommand({"--undo"}, "/");
    EXPECT_EQ(damaged.status, 3);
    EXPECT_NE(damaged.err.find("cannot be used (it is damaged)"), std::string::npos)
        << damaged.err;
}

// Each rename back the undo gives up, or keeps for the next --undo, is named with its reason and
// its fate, the exit status says not everything was taken back, and the note tells what the
// journal keeps.
TEST_F(Command, AnUndoNamesEveryFileItDidNotTakeBackAndWhetherTheJournalKeepsIt) {
    TempFolder tmp({"a", "b", "c", "d"});
    ASSERT_EQ(RunCommand({"-q", "--prefix", "x", tmp.Path()}, "/").status, 0);
    std::filesystem::remove(tmp / "xa");           // gone
    std::filesystem::remove(tmp / "xb");
    std::ofstream(tmp / "xb") << "o";               // another file has the batch's name
    std::ofstream(tmp / "c") << "taken";            // the old name is taken again
    const test::TCommandRun first = RunCommand({"--undo"}, "/");
    EXPECT_EQ(first.status, 1);
    EXPECT_EQ(first.out, "xd -> d\n"
                         "xc -> c: the name is taken; kept for the next --undo\n"
                         "xb -> b: another file now has this name; given up\n"
                         "xa -> a: the file is gone; given up\n");
    EXPECT_EQ(first.err, "nomilo-rename: 3 of 4 files were not renamed back: 1 stays in the "
                         "journal for the next --undo, 2 are given up\n");
    EXPECT_EQ(tmp.Read("xb"), "o");

    const test::TCommandRun json = RunCommand({"--undo", "--json"}, "/");
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.out, "{\"old\":\"xc\",\"new\":\"c\",\"status\":\"refused\",\"reason\":"
                        "\"taken\",\"message\":\"the name is taken\",\"kept\":true}\n");
    std::filesystem::remove(tmp / "c");
    const test::TCommandRun last = RunCommand({"--undo"}, "/");
    EXPECT_EQ(last.status, 0) << last.err;
    EXPECT_EQ(last.out, "xc -> c\n");
    EXPECT_EQ(RunCommand({"--undo"}, "/").err, "nomilo-rename: nothing to undo\n");
}

TEST_F(Command, NamesWithNewlinesControlsAndInvalidUtf8InEachOutputForm) {
    const std::vector<std::string> names{"new\nline.txt", "ctl\x01.txt", "bad\xff.txt",
                                         "back\\slash.txt", "rtl\u202e.txt"};
    TempFolder tmp;
    for (const std::string& name : names)
        tmp.AddFile(name, name);

    const auto lines = RunCommand({"-n", "txt", "dat"}, tmp.Path());
    for (const char* line : {"new\\nline.txt -> new\\nline.dat\n", "ctl\\x01.txt -> ctl\\x01.dat\n",
                             "bad\\xff.txt -> bad\\xff.dat\n",
                             "back\\\\slash.txt -> back\\\\slash.dat\n",
                             "rtl\\u202e.txt -> rtl\\u202e.dat\n"})
        EXPECT_NE(lines.out.find(line), std::string::npos) << line;
    EXPECT_EQ(std::count(lines.out.begin(), lines.out.end(), '\n'), 5);

    const auto json = RunCommand({"-n", "--json", "txt", "dat"}, tmp.Path()).out;
    for (const char* part : {"\"old\":\"new\\nline.txt\"", "\"old\":\"ctl\\u0001.txt\"",
                             "\"old\":[98,97,100,255,46,116,120,116]",
                             "\"new\":[98,97,100,255,46,100,97,116]",
                             "\"old\":\"back\\\\slash.txt\"", "\"old\":\"rtl\\u202e.txt\""})
        EXPECT_NE(json.find(part), std::string::npos) << part;
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 5);
    for (const std::string& output : {lines.out, json})
        for (char c : output)
            EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);

    const auto nulEnded = RunCommand({"-0", "txt", "dat"}, tmp.Path());
    EXPECT_EQ(nulEnded.status, 0);
    for (const std::string& name : names) {
        const std::string renamed = name.substr(0, name.size() - 3) + "dat";
        EXPECT_NE(nulEnded.out.find(name + '\0' + renamed + '\0'), std::string::npos);
        EXPECT_EQ(tmp.Read(renamed), name); // byte for byte
    }
}

TEST_F(Command, SigintInMidBatchStopsAfterTheRenameUnderWayAndLeavesAnUndoableJournal) {
    constexpr int kFiles = 40000;
    TempFolder tmp;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f_%05d", i);
        std::ofstream(tmp / name).close();
    }
    test::TRunningCommand command({"-q", "f_", "g_"}, tmp.Path());
    const std::string first = tmp / "g_00000";
    struct stat st;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (stat(first.c_str(), &st) != 0 && std::chrono::steady_clock::now() < deadline)
        ;
    kill(command.Pid(), SIGINT);
    const test::TCommandRun run = command.Wait();
    EXPECT_EQ(run.signal, SIGINT);
    EXPECT_NE(run.err.find("interrupted after "), std::string::npos) << run.err;

    std::size_t renamed = 0;
    for (const std::string& name : tmp.Names())
        renamed += name.starts_with("g_");
    EXPECT_GT(renamed, 0u);
    EXPECT_LT(renamed, static_cast<std::size_t>(kFiles));

    const test::TCommandRun undo = RunCommand({"--undo", "--json"}, "/");
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(static_cast<std::size_t>(std::count(undo.out.begin(), undo.out.end(), '\n')),
              renamed);
    EXPECT_EQ(tmp.Names().size(), static_cast<std::size_t>(kFiles));
    EXPECT_TRUE(tmp.Names().begin()->starts_with("f_"));
    EXPECT_TRUE(tmp.Names().rbegin()->starts_with("f_"));
}

} // namespace
} // namespace nomilo
