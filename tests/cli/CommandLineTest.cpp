#include "cli/CommandLine.h"
#include "cli/EUsage.h"

#include <gtest/gtest.h>

namespace nomilo {
namespace {

TCommandOptions Parse(std::vector<std::string> arguments) {
    return ParseCommandLine(arguments);
}

TEST(CommandLine, TextsFolderAndFilesTakeTheirPlacesWhereverTheOptionsStand) {
    TCommandOptions o = Parse({"-n", "a", "--mask=*.jpg", "b", "dir", "-i", "--", "x", "-y", "--"});
    EXPECT_EQ(o.action, TCommandOptions::DryRun);
    EXPECT_EQ(o.inputs.findText, "a");
    EXPECT_EQ(o.inputs.replaceText, "b");
    EXPECT_FALSE(o.inputs.caseSensitive);
    EXPECT_FALSE(o.inputs.prefixMode);
    EXPECT_TRUE(o.inputs.selectedOnly);
    EXPECT_EQ(o.mask, "*.jpg");
    EXPECT_EQ(o.folder, "dir");
    EXPECT_EQ(o.files, (std::vector<std::string>{"x", "-y", "--"}));

    o = Parse({"a", ""});
    EXPECT_EQ(o.action, TCommandOptions::Rename);
    EXPECT_TRUE(o.inputs.caseSensitive);
    EXPECT_FALSE(o.inputs.selectedOnly); // no "--": every listed file
    EXPECT_EQ(o.folder, ".");
    EXPECT_EQ(o.mask, "*.*");

    o = Parse({"--replace", "-new", "-", "--find=-old"}); // "-" alone is a text: the folder
    EXPECT_EQ(o.inputs.findText, "-old");
    EXPECT_EQ(o.inputs.replaceText, "-new");
    EXPECT_EQ(o.folder, "-");

    o = Parse({"-qin0m*.txt", "--prefix", "2026_", "photos"});
    EXPECT_TRUE(o.inputs.prefixMode);
    EXPECT_EQ(o.inputs.replaceText, "2026_");
    EXPECT_EQ(o.folder, "photos");
    EXPECT_EQ(o.mask, "*.txt");
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.output, TCommandOptions::NulEnded);

    o = Parse({"--all", "a", "b"});
    EXPECT_TRUE(o.inputs.everyOccurrence);
    EXPECT_FALSE(o.inputs.regularExpression || o.inputs.numbering); // each switch on its own
    o = Parse({"--regex", "--numbering", "a", "b"});
    EXPECT_TRUE(o.inputs.regularExpression && o.inputs.numbering);
    EXPECT_FALSE(o.inputs.everyOccurrence);

    EXPECT_EQ(Parse({"--undo", "--json", "-q"}).action, TCommandOptions::Undo);
    EXPECT_EQ(Parse({"a", "--help", "-n"}).action, TCommandOptions::Help);
}

TEST(CommandLine, WhatCannotRunIsAUsageError) {
    EXPECT_THROW(Parse({"--help", "--bogus"}), EUsage); // an unknown option is met first
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {}, {"a"}, {"", "b"}, {"a", "b", "c", "d"}, {"-m"}, {"a", "b", "-m", "x/y"},
             {"--json", "-0", "a", "b"}, {"--undo", "-n"}, {"--undo", "--", "f"},
             {"--prefix=p", "--replace=r"}, {"--dry-run=yes", "a", "b"}, {"-z", "a", "b"},
             {"--regex=1", "a", "b"}, {"--prefix=p", "--regex"}, {"--all", "--prefix", "p"},
             {"--undo", "--numbering"}, {"--undo", "-r"}})
        EXPECT_THROW(Parse(arguments), EUsage) << ::testing::PrintToString(arguments);
}

} // namespace
} // namespace nomilo
