#include "rename/RegexPattern.h"

#include "platform/text/Utf8Text.h"
#include "rename/RuleError.h"

#include <gtest/gtest.h>
#include <random>

namespace nomilo {
namespace {

using TRunning = TRegexPattern::TRunning;

// The new name of `name`, or "=" when the expression does not match it, or "!" and the reason
// when it is no expression or fails on the name.
std::string Substituted(const std::string& find, bool caseSensitive, TRunning running,
                        const std::string& name, const std::string& replace, bool every) {
    try {
        const TRegexPattern pattern(find, caseSensitive, running);
        return pattern.Match(name) ? pattern.SubstituteMatched(name, replace, every) : "=";
    } catch (const ERenameRule& failed) {
        return "!" + failed.Error().message;
    }
}

// The bytes of `text` that are no part of a UTF-8 character, in order.
std::string StrayBytes(const std::string& text) {
    std::string stray;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0)
            stray += text[i];
        i += length ? length : 1;
    }
    return stray;
}

TEST(RegexPattern, NamesThatAreNotUtf8GetTheSameNewNameWithTheJitAndWithout) {
    std::mt19937 random(32);
    const std::vector<std::string> atoms = {
        "a", "b", ".", "x*", "^", "$", "\\b", "\\B", "(?=b)", "(?<=a)", "(?<!a)", "\\w",
        "[^a]", "(a|)", "\\z", "\\K", "č", "\\s", "\\X"};
    const std::vector<std::string> quantifiers = {"", "", "*", "+", "?"};
    // Stray continuation bytes, lead bytes with nothing after them, a byte never in UTF-8, an
    // overlong form and an encoded surrogate, beside ASCII and a letter beyond it.
    const std::vector<std::string> pieces = {"a", "b", " ", "č", "\x80", "\xBF", "\xC3",
                                             "\xE8", "\xFF", "\xE0\x80", "\xED\xA0\x80"};
    int renamed = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string find, name;
        for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n)
            find += atoms[random() % atoms.size()] + quantifiers[random() % quantifiers.size()];
        for (int n = 1 + static_cast<int>(random() % 6); n > 0; --n)
            name += pieces[random() % pieces.size()];
        const bool every = random() % 2, caseSensitive = random() % 2;
        SCOPED_TRACE(find + (every ? " every" : " first") + " on " + ::testing::PrintToString(name));
        const std::string jit = Substituted(find, caseSensitive, TRunning::Jit, name, "-", every);
        EXPECT_EQ(jit, Substituted(find, caseSensitive, TRunning::Interpreted, name, "-", every));
        if (jit == "=" || jit.starts_with('!'))
            continue;
        ++renamed;
        EXPECT_EQ(StrayBytes(jit), StrayBytes(name)); // they stay, in their order
    }
    EXPECT_GT(renamed, 1000);

    // Where the engines went each their own way: an empty match never begins at a stray
    // continuation byte, but may begin right before any other byte that is not UTF-8.
    for (const TRunning running : {TRunning::Jit, TRunning::Interpreted}) {
        EXPECT_EQ(Substituted("x*", true, running, "\x80" "ab", "-", true), "\x80-a-b-");
        EXPECT_EQ(Substituted("x*", true, running, "\xFF" "ab", "-", true), "-\xFF-a-b-");
        EXPECT_EQ(Substituted("^", true, running, "\xFF" "a", "-", false), "-\xFF" "a");
        EXPECT_EQ(Substituted("$", true, running, "a\xFF", "-", false), "a\xFF-");
        EXPECT_EQ(Substituted("(?<=a)", true, running, "a\xE8" "b", "-", false), "a-\xE8" "b");
        EXPECT_EQ(Substituted("a+b?", true, running, "\xFF" "_a\xE8" "ab", "-", true),
                  "\xFF" "_-\xE8-");
    }
}

// The replacements the fields write (values after an empty quote, `$` and `\` doubled, letters
// beyond ASCII) are spliced in without the engine: the new names are the engine's own. A `\E`
// at the end, which ends nothing, makes the engine read the same replacement.
TEST(RegexPattern, ReplacementsSplicedInAreWhatTheEngineWrites) {
    const std::vector<std::string> replacements = {
        "\\Q\\E2024-05-01", "$1\\Q\\E2", "a\\\\b", "\\Q\\E$$1\\\\", "Bj\xC3\xB6rk_${1}",
        "\\Q\\E\xC3\xB6$1", "bad\xFF", "\\Q\\E\\Qx", "\\\\Q\\E", "$"};
    for (const std::string& replacement : replacements)
        for (const std::string name : {"IMG_0012.jpg", "caf\xC3\xA9 1.mp3", "\xFFx1"}) {
            SCOPED_TRACE(::testing::PrintToString(replacement) + " on " +
                         ::testing::PrintToString(name));
            EXPECT_EQ(Substituted("(\\d)", true, TRunning::Jit, name, replacement, true),
                      Substituted("(\\d)", true, TRunning::Jit, name, replacement + "\\E", true));
        }
    EXPECT_EQ(Substituted("\\d+", true, TRunning::Jit, "a12", "\\Q\\E$$\\\\", false), "a$\\");
}

} // namespace
} // namespace nomilo
