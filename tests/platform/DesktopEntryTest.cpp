#include "platform/DesktopEntry.h"

#include "tests/support/DesktopFile.h"

#include <gtest/gtest.h>
#include <random>

namespace nomilo {
namespace {

using namespace std::literals;
using Args = std::vector<std::string>;
using test::ExecArgument;
using Launch = std::vector<ExecArgument>;

TEST(SplitCommandLineTest, FollowsTheStoredCommandLineRules) {
    const std::pair<std::string, Args> cases[] = {
        // Empty quoted pairs and bytes 1 to 32 before an argument are skipped.
        {"  \"\" \"\"\t\x01prog \"\"", {"prog"}},
        // The backslash means nothing: a root keeps its backslash before the closing quote.
        {R"(prog "C:\" x\"y)", {"prog", "C:\\", "x\\y"}},
        // Quoted stretches and plain bytes join; a quote left open runs to the end.
        {R"(a"b c"d "e f)", {"ab cd", "e f"}},
        {"a\nb\x7f"
         "c",
         {"a", "b\x7f"
               "c"}},
        {"one\0two"s, {"one"}},
    };
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(SplitCommandLine(line), expected) << line;
}

// The arguments a launcher reads from the Exec value of a stored command.
std::optional<Launch> LaunchedArguments(const std::string& command) {
    const std::optional<std::string> value = DesktopExecValue(command);
    if (!value)
        return std::nullopt;
    return test::ExecArguments(*value).value_or(Launch{{"(bad Exec: " + *value + ")"}});
}

TEST(DesktopExecValueTest, QuotesTheProgramAndPassesTheFolderAsAFieldCode) {
    EXPECT_EQ(DesktopExecValue(R"("/usr/bin/nomilo" "%L")"), R"("/usr/bin/nomilo" %f)");
    const ExecArgument folder{"%f", true};
    EXPECT_EQ(LaunchedArguments(R"("/x/nomilo" "%1")"), (Launch{{"/x/nomilo"}, folder}));
    // Shell syntax in an argument stays text; only the first placeholder becomes the folder.
    EXPECT_EQ(LaunchedArguments(R"(/bin/tool "; rm -rf ~" %l "%L" 100%)"),
              (Launch{{"/bin/tool"}, {"; rm -rf ~"}, folder, {"%L"}, {"100%"}}));
    // Nothing to run, or text a desktop entry cannot carry.
    for (const std::string& command :
         {""s, "  \"\" "s, "%L"s, "\"/x/\xff/nomilo\" %L"s, "\"/x/a\x01/nomilo\" %L"s})
        EXPECT_EQ(DesktopExecValue(command), std::nullopt) << command;
}

TEST(DesktopExecValueTest, AnyProgramPathComesBackWhole) {
    // Paths made of the characters that matter to quoting, escaping and field codes.
    const std::vector<std::string> pieces = {
        "a", "Z", " ", "\"", "'", "$", "`", "\\", "%",  "%L", "%f", "&",  ";", "|",    "*",    "?",
        "#", "(", ")", "<",  ">", "~", "=", "\t", "\n", "\r", "é",  "文", "/", "\\\\", "$(id)"};
    std::mt19937 random(20240611u); // a fixed random start, so a failure repeats
    for (int round = 0; round < 500; ++round) {
        std::string path = "/";
        const int length = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i)
            path += pieces[random() % pieces.size()];
        EXPECT_EQ(LaunchedArguments("\"" + path + "\" \"%L\""), (Launch{{path}, {"%f", true}}))
            << path;
    }
}

TEST(DesktopTextTest, LabelsAndFileNames) {
    EXPECT_EQ(StripAccelerator("No&milo"), "Nomilo");
    EXPECT_EQ(StripAccelerator("A&&B&"), "A&B");
    // Bytes that are not UTF-8, and control characters, never reach a Name.
    EXPECT_EQ(DesktopDisplayText("\xC3\xA9\xff\x01\xE0\x80"),
              "\xC3\xA9\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD");
    // The escape character is itself escaped, so no two verbs share a file.
    EXPECT_EQ(FileNamePart("Nomilo-2"), "Nomilo-2");
    EXPECT_EQ(FileNamePart("a b/c_.d"), "a_20b_2Fc_5F_2Ed");
}

} // namespace
} // namespace nomilo
