#include "rename/RewriteName.h"

#include <gtest/gtest.h>

namespace nomilo {
namespace {

TEST(RewriteName, AnswersTheRuleTable) {
    const std::optional<std::string> none;
    const struct {
        std::string name, find, replace;
        bool prefix, caseSensitive;
        std::optional<std::string> answer;
    } rows[] = {
        {"Holiday.JPG", "jpg", "jpeg", false, false, "Holiday.jpeg"},
        {"Holiday.JPG", "jpg", "jpeg", false, true, none},
        {"aXa.txt", "a", "b", false, true, "bXa.txt"},  // first occurrence only
        {"AXA.txt", "a", "b", false, false, "bXA.txt"}, // kept bytes keep their case
        {"file_old.txt", "_old", "", false, true, "file.txt"},
        {"any name", "", "x", false, false, none},
        {"ab", "ABC", "x", false, false, none},
        {"", "a", "x", false, true, none},
        {"abc", "abc", "", false, true, ""}, // the empty name is a new name
        {"a.txt", "zzz", "2024_", true, false, "2024_a.txt"},
        {"a.txt", "a", "", true, true, "a.txt"}, // equal to the name, still a new name
        {"report.TXT", "txt", "md", false, false, "report.md"}, // a match in the extension
        {"`{.txt", "@[", "x", false, false, none},              // the bytes around A-Z do not fold
        // Only ASCII letters fold: capital and small C with caron never match each other,
        // neither in a single-byte code page (0xC8, 0xE8) nor in UTF-8.
        {"\xE8"
         "a.txt",
         "\xC8", "c", false, false, none},
        {"\xC8"
         "a.txt",
         "\xE8", "c", false, false, none},
        {"čaša", "Č", "c", false, false, none},
        {"Čaša", "Č", "C", false, false, "Caša"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(RewriteName(r.name, r.find, r.replace, r.prefix, r.caseSensitive), r.answer)
            << r.name << " / " << r.find << " / " << r.replace;
}

} // namespace
} // namespace nomilo
