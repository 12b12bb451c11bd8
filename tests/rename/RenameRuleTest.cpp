#include "rename/RenameBatch.h"
#include "rename/RenameRule.h"
#include "platform/text/Utf8Text.h"
#include "rename/RewriteName.h"
#include "tests/support/TempFolder.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <regex>
#include <sstream>

namespace nomilo {
namespace {

TRenameInputs Inputs(std::string find, std::string replace, bool regex, bool every = false,
                     bool numbering = false, bool caseSensitive = true, bool prefix = false) {
    TRenameInputs inputs{true, prefix, caseSensitive, std::move(find), std::move(replace)};
    inputs.regularExpression = regex;
    inputs.everyOccurrence = every;
    inputs.numbering = numbering;
    return inputs;
}

std::string Pick(std::mt19937& random, const std::vector<std::string>& pieces, int most) {
    std::string text;
    for (int n = 1 + static_cast<int>(random() % static_cast<unsigned>(most)); n > 0; --n)
        text += pieces[random() % pieces.size()];
    return text;
}

// Names of ASCII, of letters beyond it, and of bytes that are no UTF-8 (a Latin-2 "č" and 0xFF).
std::string RandomName(std::mt19937& random) {
    return Pick(random, {"a", "A", "b", "1", "23", ".", "_", " ", "č", "Č", "\xE8", "\xFF"}, 7);
}

// --- regular expressions against the engine's own test program -------------------------------

// A text as pcre2test prints it: printable ASCII as it is, every other character (and every
// byte that is not UTF-8) as \x{hex}. The names hold no character from U+0080 to U+00FF, so
// the two never meet.
std::string Printed(const std::string& bytes) {
    std::string out;
    char hex[16];
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        std::uint32_t cp = b;
        std::size_t length = 1;
        const std::size_t more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
        if (b >= 0x80 && more && i + more < bytes.size() + 0) {
            bool valid = true;
            cp = b & (0x3F >> more);
            for (std::size_t k = 1; k <= more; ++k) {
                const auto c = static_cast<unsigned char>(bytes[i + k]);
                valid = valid && (c & 0xC0) == 0x80;
                cp = cp << 6 | (c & 0x3F);
            }
            length = valid ? more + 1 : 1;
            if (!valid)
                cp = b;
        }
        if (cp >= 0x20 && cp <= 0x7E) {
            out += static_cast<char>(cp);
        } else {
            std::snprintf(hex, sizeof hex, "\\x{%02x}", cp);
            out += hex;
        }
        i += length;
    }
    return out;
}

TEST(RenameRule, RegularExpressionsRenameAsTheEnginesTestProgramSays) {
    std::mt19937 random(23);
    const std::vector<std::string> atoms = {
        "a",      "A",     "b",  "\\d", "\\w",   ".", "č",        "[a-c]", "[^a]",
        "(a|b)",  "(\\w)", "x*", "\\.", "^",     "$", "\\b",      "(",     ")",
        "(?<n>b)", "_",    " ",  "Č",   "a{2}", "(?:1|23)", "(?=b)", "\\s"};
    const std::vector<std::string> quantifiers = {"", "", "", "*", "+", "?", "{1,2}"};
    const std::vector<std::string> replacements = {"x",   "$1",  "${n}", "\\U", "\\L", "\\E",
                                                   "\\u", "$0",  "-",    "č",   "$$",  "\\\\",
                                                   "\\l", "${1}x", "\\Q$\\E", "\\"};
    struct Case {
        TRenameInputs inputs;
        std::vector<std::string> names;
    };
    std::vector<Case> cases;
    test::TempFolder tmp;
    std::ofstream in(tmp / "in");
    for (int c = 0; c < 400; ++c) {
        std::string pattern;
        for (int n = 1 + static_cast<int>(random() % 4); n > 0; --n)
            pattern += atoms[random() % atoms.size()] + quantifiers[random() % quantifiers.size()];
        // (pcre2test takes an empty replacement for none.)
        std::string replacement = Pick(random, replacements, 4);
        if (replacement.starts_with('['))
            replacement.insert(0, "x");
        const bool caseless = random() % 2 == 0, every = random() % 2 == 0;
        Case& k = cases.emplace_back(
            Case{Inputs(pattern, replacement, true, every, false, !caseless), {}});
        // Each match's replacement starts with no case change; the engine's own global
        // substitution carries a \U left open on to the next match, so it gets it closed.
        const auto backslashes = replacement.size() - replacement.find_last_not_of('\\') - 1;
        const bool close = every && backslashes % 2 == 0;
        in << '/' << pattern << "/utf,match_invalid_utf,ucp,substitute_extended,"
           << "substitute_unset_empty" << (caseless ? ",caseless" : "") << (every ? ",global" : "")
           << ",replace=" << replacement << (close ? "\\E" : "") << '\n';
        for (int n = 0; n < 6; ++n) {
            k.names.push_back(RandomName(random));
            char hex[8];
            for (const char byte : k.names.back()) {
                std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(byte));
                in << hex;
            }
            in << '\n';
        }
        in << '\n';
    }
    in.close();
    const std::string command = "pcre2test " + (tmp / "in") + " " + (tmp / "out");
    ASSERT_EQ(std::system(command.c_str()), 0) << "pcre2test (pcre2-utils) is needed";

    // Its answers in order: a compile failure per bad expression, one line per name otherwise.
    std::ifstream out(tmp / "out");
    std::vector<std::string> answers;
    const std::regex answer(R"(^ *\d+: .*|^Failed: .*)");
    for (std::string line; std::getline(out, line);)
        if (std::regex_match(line, answer))
            answers.push_back(line);
    std::size_t next = 0;
    int renamed = 0, unchanged = 0, badFind = 0, badReplace = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.inputs.findText + " -> " + k.inputs.replaceText);
        ASSERT_LT(next, answers.size());
        const TRenameRule rule(k.inputs);
        const auto& error = rule.Error();
        if (error && error->part == TRuleError::FindText) {
            ++badFind;
            const std::string& expected = answers[next++];
            EXPECT_TRUE(expected.starts_with("Failed: error ")) << expected;
            EXPECT_TRUE(expected.ends_with(" at offset " + std::to_string(*error->offset) + ": " +
                                           error->message))
                << expected;
            continue;
        }
        for (const std::string& name : k.names) {
            SCOPED_TRACE(Printed(name));
            ASSERT_LT(next, answers.size());
            const std::string& expected = answers[next++];
            if (error) {
                // The engine reads the replacement only on a match; the rule refuses at once.
                EXPECT_TRUE(expected.starts_with(" 0: ") ||
                            expected.ends_with("in replacement: " + error->message))
                    << expected;
                ++badReplace;
                continue;
            }
            // In a name that is not UTF-8 the engine's global substitution looks past a stray
            // byte as its JIT or its interpreter does (the other test below).
            if (!IsUtf8(name))
                continue;
            const std::optional<std::string> newName = rule.NewName(name, 0);
            if (!newName) {
                ++unchanged;
                EXPECT_EQ(expected, " 0: " + Printed(name));
            } else {
                ++renamed;
                EXPECT_EQ(expected.substr(expected.find(':')), ": " + Printed(*newName));
                EXPECT_NE(expected.substr(0, 4), " 0: ");
            }
        }
    }
    EXPECT_EQ(next, answers.size());
    // Every kind of answer came up often.
    EXPECT_GT(renamed, 150);
    EXPECT_GT(unchanged, 150);
    EXPECT_GT(badFind, 20);
    EXPECT_GT(badReplace, 20);
}

TEST(RenameRule, ReportsWhereTheExpressionOrItsReplacementIsWrong) {
    const struct {
        std::string find, replace;
        bool numbering;
        TRuleError::TPart part;
        std::size_t offset;
    } cases[] = {
        {"a(b", "x", false, TRuleError::FindText, 3},
        {"[a", "x", false, TRuleError::FindText, 2},
        {"a\xE8", "x", false, TRuleError::FindText, 1}, // no UTF-8
        {"(a)", "$2", false, TRuleError::ReplaceText, 2},
        {"(?<year>\\d+)", "${yaer}", false, TRuleError::ReplaceText, 7},
        {"(a)", "x\\", false, TRuleError::ReplaceText, 2},
        // The offset is in the replace text as typed, before the counters became numbers.
        {"(a)", "###_$2", true, TRuleError::ReplaceText, 6},
        {"(a)", "#{100,2}${x", true, TRuleError::ReplaceText, 11},
        // A counter right after `$` is the number, not a group.
        {"(a)", "$#", true, TRuleError::ReplaceText, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.find + " -> " + c.replace);
        const TRenameRule rule(Inputs(c.find, c.replace, true, false, c.numbering));
        ASSERT_TRUE(rule.Error());
        EXPECT_EQ(rule.Error()->part, c.part);
        EXPECT_FALSE(rule.Error()->message.empty());
        EXPECT_EQ(rule.Error()->offset, c.offset);
        EXPECT_THROW(rule.NewName("a", 0), ERenameRule);
    }
    // The same texts without the expression, or in prefix mode, are fine.
    EXPECT_FALSE(TRenameRule(Inputs("a(b", "$2", false)).Error());
    EXPECT_EQ(TRenameRule(Inputs("a(b", "x_", true, false, false, true, true)).NewName("a", 0),
              "x_a");
    // An expression that would take too long on a name stops the batch with the engine's word.
    const TRenameRule slow(Inputs("^(\\w+\\s?)*$", "x", true));
    EXPECT_THROW(slow.NewName(std::string(60, 'a') + "!", 0), ERenameRule);
}

// --- every occurrence and numbering against a model ------------------------------------------

// The counters of a replace text as the manual page tells them, found by std::regex: in literal
// syntax only \# and \\ are escapes; in an expression's replacement every backslash pair and
// every \Q...\E quote is the engine's, and a counter becomes \Q<digits>\E.
std::string ModelCounters(const std::string& replace, std::size_t before, bool regex) {
    static const std::regex literal(R"(\\[#\\]|(#+)(\{(-?\d{1,9})(,(-?\d{1,9}))?\})?)");
    static const std::regex substitution(
        R"(\\Q[\s\S]*?(?:\\E|$)|\\[\s\S]|(#+)(\{(-?\d{1,9})(,(-?\d{1,9}))?\})?)");
    std::string out;
    auto at = replace.cbegin();
    for (std::sregex_iterator m(replace.begin(), replace.end(), regex ? substitution : literal),
         end;
         m != end; ++m) {
        out.append(at, (*m)[0].first);
        at = (*m)[0].second;
        if (!(*m)[1].matched) { // an escape or a quote
            out += regex ? (*m)[0].str() : (*m)[0].str().substr(1);
            continue;
        }
        const long long start = (*m)[3].matched ? std::stoll((*m)[3]) : 1;
        const long long step = (*m)[5].matched ? std::stoll((*m)[5]) : 1;
        char digits[64];
        std::snprintf(digits, sizeof digits, "%0*lld", static_cast<int>((*m)[1].length()),
                      start + step * static_cast<long long>(before));
        out += regex ? "\\Q" + std::string(digits) + "\\E" : digits;
    }
    return out.append(at, replace.cend());
}

// Every occurrence, position by position.
std::optional<std::string> ModelEvery(const std::string& name, const std::string& find,
                                      const std::string& replace, bool caseSensitive) {
    const std::string n = FoldCase(name, caseSensitive), f = FoldCase(find, caseSensitive);
    if (f.empty() || n.find(f) == std::string::npos)
        return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        if (n.compare(i, f.size(), f) == 0) {
            out += replace;
            i += f.size();
        } else {
            out += name[i++];
        }
    }
    return out;
}

TEST(RenameRule, EveryOccurrenceAndCountersFollowTheModel) {
    std::mt19937 random(24);
    const std::vector<std::string> finds = {"a", "A", "aa", "1", ".", "č", "\xE8", "a.", ""};
    const std::vector<std::string> replaces = {"", "x", "#", "##", "#{0}", "###{10,-5}", "\\#",
                                               "\\\\", "\\", "#{", "#{1,}", "#{-3,2}x", "-",
                                               "\\x#", "#{1234567890}"};
    for (int round = 0; round < 3000; ++round) {
        const std::string name = RandomName(random);
        const std::string find = finds[random() % finds.size()];
        const std::string replace = Pick(random, replaces, 3);
        const bool every = random() % 2, numbering = random() % 2, caseSensitive = random() % 2,
                   prefix = random() % 5 == 0;
        const std::size_t before = random() % 1000;
        SCOPED_TRACE(name + " / " + find + " / " + replace);
        const TRenameRule rule(Inputs(find, replace, false, every, numbering, caseSensitive, prefix));
        const std::string rendered = numbering ? ModelCounters(replace, before, false) : replace;
        const std::optional<std::string> expected =
            prefix  ? RewriteName(name, find, rendered, true, caseSensitive)
            : every ? ModelEvery(name, find, rendered, caseSensitive)
                    : RewriteName(name, find, rendered, false, caseSensitive);
        EXPECT_EQ(rule.NewName(name, before), expected);
        // With every switch off the rule is the designed one.
        if (!every && !numbering) {
            EXPECT_EQ(rule.NewName(name, before),
                      RewriteName(name, find, replace, prefix, caseSensitive));
        }
    }
}

TEST(RenameRule, CountersInAnExpressionsReplacementAreNumbersWhateverComesBefore) {
    const struct {
        std::string find, replace, name;
        std::size_t before;
        std::string answer;
    } cases[] = {
        {"^(\\w+)\\.jpg$", "$1_###.jpg", "holiday.jpg", 6, "holiday_007.jpg"},
        {"(\\d+)", "\\U${1}#x", "a12b", 0, "a121Xb"}, // digits take no case; \U goes on
        {"a", "\\#\\Q#\\E#", "a", 1, "##2"},
        {"a", "##{-5,3}", "a", 1, "-2"},
        {"a", "###{-5}", "a", 0, "-05"},
        {"a", "#{x}", "a", 0, "1{x}"},
        {"(a)", "$1#", "aa", 9, "a10a"}, // the first occurrence only
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.find + " -> " + c.replace);
        const TRenameRule rule(Inputs(c.find, c.replace, true, false, true));
        ASSERT_FALSE(rule.Error()) << rule.Error()->message;
        EXPECT_EQ(rule.NewName(c.name, c.before), c.answer);
        EXPECT_EQ(ModelCounters(c.replace, c.before, true).find('#') == std::string::npos,
                  c.replace.find("\\#") == std::string::npos &&
                      c.replace.find("\\Q#") == std::string::npos);
    }
    // Every occurrence gets the same number; empty matches between characters and around bytes
    // that are no UTF-8 are the engine's.
    EXPECT_EQ(TRenameRule(Inputs("a", "#", true, true, true)).NewName("aXa", 4), "5X5");
    EXPECT_EQ(TRenameRule(Inputs("x*", "-", true, true)).NewName("ab", 0), "-a-b-");
    EXPECT_EQ(TRenameRule(Inputs("b", "č", true, true, false, false)).NewName("\xE8" "Bb", 0),
              "\xE8" "čč");
    // The empty find text matches nothing, as in the designed rule.
    EXPECT_EQ(TRenameRule(Inputs("", "x", true)).NewName("a", 0), std::nullopt);
}

TEST(RenameRule, EachOccurrencesReplacementStartsWithNoCaseChange) {
    const struct {
        std::string find, replace, name, answer;
    } cases[] = {
        {"[ab]", "$0\\U", "ab.txt", "ab.txt"}, // a \U left open ends with its occurrence
        {"[AB]", "$0\\L", "AB.txt", "AB.txt"},
        {"[ab]", "$0\\u", "ab.txt", "ab.txt"}, // and so does a \u with nothing after it
        {"[ab]", "\\U$0", "ab.txt", "AB.txt"}, // within one it goes on to its end
        {"(a)|(b)", "\\U$1\\E$2x", "ab", "Axbx"},
        {"a", "\\U#", "aa", "77"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.find + " -> " + c.replace);
        const bool numbering = c.replace.find('#') != std::string::npos;
        EXPECT_EQ(TRenameRule(Inputs(c.find, c.replace, true, true, numbering)).NewName(c.name, 6),
                  c.answer);
    }
}

TEST(RenameRule, TheBatchNumbersItsPlannedRenamesInTheListsOrder) {
    struct Entries : IFileEntries {
        std::vector<std::string> names{"b.txt", "a.jpg", "c.txt", "d.txt", "e.txt"};
        std::vector<bool> selected{true, true, false, true, true};
        int EntryCount() const override { return static_cast<int>(names.size()); }
        std::string EntryText(int i) const override { return names.at(std::size_t(i)); }
        bool IsEntrySelected(int i) const override { return selected.at(std::size_t(i)); }
        void SetEntrySelected(int, bool) override {}
        void ReplaceEntryText(int, const std::string&) override {}
    } entries;
    // a.jpg does not match and c.txt is not selected: neither takes a number.
    const TRenameRule rule(Inputs("^(.)\\.txt$", "##{0,10}_$1.txt", true, false, true));
    std::string plan;
    for (const TRenameStep& step : PlanBatch(entries, true, rule))
        plan += step.newName + " ";
    EXPECT_EQ(plan, "00_b.txt 10_d.txt 20_e.txt ");
}

} // namespace
} // namespace nomilo
