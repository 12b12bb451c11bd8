#include "rename/RewriteName.h"

#include <gtest/gtest.h>

namespace nomilo {
namespace {

struct Row {
    std::string name, find, replace;
    bool prefix, caseSensitive;
    std::optional<std::string> answer;
};

TEST(RewriteName, AnswersTheRuleTable) {
    const std::optional<std::string> none;
    const Row rows[] = {
        {"Holiday.JPG", "jpg", "jpeg", false, false, "Holiday.jpeg"},
        {"Holiday.JPG", "jpg", "jpeg", false, true, none},
        {"aXa.txt", "a", "b", false, true, "bXa.txt"}, // first occurrence only
        {"AXA.txt", "a", "b", false, false, "bXA.txt"}, // kept bytes keep their case
        {"file_old.txt", "_old", "", false, true, "file.txt"},
        {"a.b.txt", ".", "_", false, true, "a_b.txt"},
        {"any name", "", "x", false, true, none},
        {"any name", "", "x", false, false, none},
        {"ab", "abc", "x", false, true, none},
        {"ab", "ABC", "x", false, false, none},
        {"", "a", "x", false, true, none},
        {"abc", "abc", "", false, true, ""}, // the empty name is a new name
        {"a.txt", "zzz", "2024_", true, true, "2024_a.txt"},
        {"a.txt", "zzz", "2024_", true, false, "2024_a.txt"},
        {"a.txt", "a", "", true, true, "a.txt"}, // equal to the name, still a new name
        {"report.TXT", "txt", "md", false, false, "report.md"}, // a match in the extension
        {"mixed.Case", "CASE", "x", false, false, "mixed.x"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(RewriteName(r.name, r.find, r.replace, r.prefix, r.caseSensitive), r.answer)
            << r.name << " / " << r.find << " / " << r.replace;
}

TEST(RewriteName, OnlyAsciiLettersIgnoreCase) {
    // Capital and small C with caron (0xC8, 0xE8 in a single-byte code page) never match
    // each other; neither do the two-byte UTF-8 forms.
    EXPECT_EQ(RewriteName("\xE8" "a.txt", "\xC8", "c", false, false), std::nullopt);
    EXPECT_EQ(RewriteName("\xC8" "a.txt", "\xE8", "c", false, false), std::nullopt);
    EXPECT_EQ(RewriteName("čaša", "Č", "c", false, false), std::nullopt);
    EXPECT_EQ(RewriteName("Čaša", "Č", "C", false, false), "Caša");
    EXPECT_EQ(FoldCase("AZ@[\xC8", false), "az@[\xC8");
    EXPECT_EQ(FoldCase("AZ", true), "AZ");
}

TEST(MatchPosition, IsOneBasedAndZeroWithoutAMatch) {
    EXPECT_EQ(MatchPosition("abcabc", "c"), 3u);
    EXPECT_EQ(MatchPosition("abc", ""), 0u);
    EXPECT_EQ(MatchPosition("", "a"), 0u);
    EXPECT_EQ(MatchPosition("abc", "x"), 0u);
    EXPECT_EQ(MatchPosition(std::string("a\0b", 3), std::string("\0b", 2)), 2u);
}

} // namespace
} // namespace nomilo
