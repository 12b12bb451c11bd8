#include "rename/RegexPattern.h"

#include "rename/RuleError.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

namespace nomilo {

namespace {

// Names as UTF-8 where they are, any byte where they are not; letters and digits of every
// script for \w, \d and caseless matching.
constexpr std::uint32_t kCompileOptions = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_UCP;
constexpr std::uint32_t kSubstituteOptions =
    PCRE2_SUBSTITUTE_EXTENDED | PCRE2_SUBSTITUTE_UNSET_EMPTY | PCRE2_SUBSTITUTE_OVERFLOW_LENGTH;
// The backtracking steps one name may cost: a name is short, so only an expression that would
// take seconds on it comes near, and a batch over many names stops at the first instead.
constexpr std::uint32_t kMatchLimit = 1'000'000;

PCRE2_SPTR Units(std::string_view text) {
    return reinterpret_cast<PCRE2_SPTR>(text.data());
}

std::string EngineMessage(int code) {
    PCRE2_UCHAR buffer[256];
    const int length = pcre2_get_error_message(code, buffer, sizeof buffer);
    if (length < 0)
        return "error " + std::to_string(code);
    return std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

// Whether the engine refused the replacement text itself (it then says where).
bool IsReplacementFault(int code) {
    switch (code) {
    case PCRE2_ERROR_BADREPLACEMENT:
    case PCRE2_ERROR_BADREPESCAPE:
    case PCRE2_ERROR_REPMISSINGBRACE:
    case PCRE2_ERROR_BADSUBSTITUTION:
    case PCRE2_ERROR_NOSUBSTRING:
    case PCRE2_ERROR_UNSET:
        return true;
    default:
        return code <= PCRE2_ERROR_UTF8_ERR1 && code >= PCRE2_ERROR_UTF8_ERR21;
    }
}

[[noreturn]] void RaiseSubstituteFault(int code, PCRE2_SIZE offset) {
    if (IsReplacementFault(code))
        throw ERenameRule({TRuleError::ReplaceText, EngineMessage(code),
                           offset == PCRE2_UNSET ? std::nullopt : std::optional(offset)});
    if (code == PCRE2_ERROR_NOMEMORY)
        throw std::bad_alloc();
    throw ERenameRule({TRuleError::FindText, EngineMessage(code), std::nullopt});
}

// Runs pcre2_substitute into `buffer`, which grows to what it needs and is kept for the next
// call, and appends the new name to `out`.
void Substitute(const pcre2_code* code, std::string_view subject, std::uint32_t options,
                pcre2_match_data* match, pcre2_match_context* context, std::string_view replacement,
                std::vector<PCRE2_UCHAR>& buffer, std::string& out) {
    buffer.resize(std::max(buffer.size(), subject.size() + replacement.size() + 64));
    for (;;) {
        PCRE2_SIZE length = buffer.size();
        const int rc = pcre2_substitute(code, Units(subject), subject.size(), 0, options, match,
                                        context, Units(replacement), replacement.size(),
                                        buffer.data(), &length);
        if (rc >= 0) {
            out.append(reinterpret_cast<const char*>(buffer.data()), length);
            return;
        }
        if (rc == PCRE2_ERROR_NOMEMORY && length != PCRE2_UNSET && length + 1 > buffer.size()) {
            buffer.resize(length + 1);
            continue;
        }
        RaiseSubstituteFault(rc, length);
    }
}

// The number of the group a `$` at `replacement[at]` inserts, when it is `$N` (every digit that
// follows counts) or `${N}`; `at` is moved past it. std::nullopt for any other `$` form, or a
// number past `groups`.
std::optional<std::size_t> GroupReference(std::string_view replacement, std::size_t& at,
                                          std::size_t groups) {
    std::size_t i = at + 1;
    const bool braced = i < replacement.size() && replacement[i] == '{';
    i += braced;
    const std::size_t digits = i;
    std::size_t group = 0;
    for (; i < replacement.size() && replacement[i] >= '0' && replacement[i] <= '9'; ++i) {
        group = group * 10 + static_cast<std::size_t>(replacement[i] - '0');
        if (group >= groups)
            return std::nullopt;
    }
    if (i == digits || (braced && (i == replacement.size() || replacement[i++] != '}')))
        return std::nullopt;
    at = i;
    return group;
}

// Appends `replacement` with the groups of the match `ovector` (with `set` pairs set, of
// `groups`) in `name` filled in, when it is ASCII text whose only escapes are `$$`, `$N` and
// `${N}` of groups the expression has: the engine reads such a text alike in every mode, and
// an unset group inserts nothing. Answers false, with `out` as it was, for any other
// replacement.
bool AppendPlainExpansion(std::string_view name, std::string_view replacement,
                          const PCRE2_SIZE* ovector, std::size_t set, std::size_t groups,
                          std::string& out) {
    const std::size_t start = out.size();
    for (std::size_t at = 0; at < replacement.size();) {
        const auto c = static_cast<unsigned char>(replacement[at]);
        if (c == '\\' || c >= 0x80) {
            out.resize(start);
            return false;
        }
        if (c != '$') {
            out += static_cast<char>(c);
            ++at;
            continue;
        }
        if (at + 1 < replacement.size() && replacement[at + 1] == '$') {
            out += '$';
            at += 2;
            continue;
        }
        const std::optional<std::size_t> group = GroupReference(replacement, at, groups);
        if (!group) {
            out.resize(start);
            return false;
        }
        if (*group >= set || ovector[2 * *group] == PCRE2_UNSET)
            continue;
        if (ovector[2 * *group] > ovector[2 * *group + 1]) {
            out.resize(start);
            return false;
        }
        out.append(name.substr(ovector[2 * *group], ovector[2 * *group + 1] - ovector[2 * *group]));
    }
    return true;
}

} // namespace

struct TRegexPattern::TEngine {
    TEngine() = default;
    TEngine(const TEngine&) = delete;
    TEngine& operator=(const TEngine&) = delete;
    ~TEngine() {
        pcre2_match_context_free(context);
        pcre2_match_data_free(match);
        pcre2_code_free(code);
    }
    pcre2_code* code = nullptr;
    pcre2_match_data* match = nullptr;
    pcre2_match_context* context = nullptr;
    std::vector<PCRE2_UCHAR> output; // the substitution's output, reused
    std::size_t groups = 0;          // the pairs of the match data: group 0 and every group
    std::size_t set = 0;             // the pairs the last match set (the others are unset)
};

TRegexPattern::TRegexPattern(std::string_view pattern, bool caseSensitive)
    : engine_(std::make_unique<TEngine>()) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    engine_->code = pcre2_compile(Units(pattern), pattern.size(),
                                  kCompileOptions | (caseSensitive ? 0 : PCRE2_CASELESS), &error,
                                  &offset, nullptr);
    if (!engine_->code)
        throw ERenameRule({TRuleError::FindText, EngineMessage(error), offset});
    // Where the machine has no JIT the engine interprets the expression: slower, same result.
    pcre2_jit_compile(engine_->code, PCRE2_JIT_COMPLETE);
    engine_->match = pcre2_match_data_create_from_pattern(engine_->code, nullptr);
    engine_->context = pcre2_match_context_create(nullptr);
    if (!engine_->match || !engine_->context)
        throw std::bad_alloc();
    pcre2_set_match_limit(engine_->context, kMatchLimit);
    engine_->groups = pcre2_get_ovector_count(engine_->match);
}

TRegexPattern::~TRegexPattern() = default;

void TRegexPattern::CheckReplacement(std::string_view replacement) const {
    // The replacement meets an expression with the same groups, each of them set and empty,
    // matched against the empty name: the engine reads all of it once, as it would on a match.
    std::uint32_t captures = 0, names = 0, entrySize = 0;
    PCRE2_SPTR table = nullptr;
    pcre2_pattern_info(engine_->code, PCRE2_INFO_CAPTURECOUNT, &captures);
    pcre2_pattern_info(engine_->code, PCRE2_INFO_NAMECOUNT, &names);
    pcre2_pattern_info(engine_->code, PCRE2_INFO_NAMEENTRYSIZE, &entrySize);
    pcre2_pattern_info(engine_->code, PCRE2_INFO_NAMETABLE, &table);
    std::vector<std::string> groupNames(captures + 1);
    for (std::uint32_t n = 0; n < names; ++n) {
        const PCRE2_SPTR entry = table + std::size_t{n} * entrySize;
        groupNames.at(static_cast<std::size_t>(entry[0] << 8 | entry[1])) =
            reinterpret_cast<const char*>(entry + 2);
    }
    std::string probe = "(?J)"; // several groups may share a name
    for (std::uint32_t group = 1; group <= captures; ++group)
        probe += groupNames[group].empty() ? "()" : "(?<" + groupNames[group] + ">)";
    const TRegexPattern empty(probe, true);
    std::string out;
    Substitute(empty.engine_->code, {}, kSubstituteOptions, empty.engine_->match, nullptr,
               replacement, empty.engine_->output, out);
}

bool TRegexPattern::Match(std::string_view name) const {
    const int rc = pcre2_match(engine_->code, Units(name), name.size(), 0, 0, engine_->match,
                               engine_->context);
    if (rc >= 0) {
        engine_->set = rc == 0 ? engine_->groups : static_cast<std::size_t>(rc);
        return true;
    }
    if (rc == PCRE2_ERROR_NOMATCH)
        return false;
    RaiseSubstituteFault(rc, PCRE2_UNSET);
}

std::string TRegexPattern::SubstituteMatched(std::string_view name, std::string_view replacement,
                                             bool every) const {
    std::string result;
    AppendSubstituted(name, replacement, every, result);
    return result;
}

void TRegexPattern::AppendSubstituted(std::string_view name, std::string_view replacement,
                                      bool every, std::string& out) const {
    // A replacement of plain text and group references puts in one match as the engine would:
    // it is spliced in here (unless \K made the match end before it starts, which the engine
    // refuses), without the engine's reading of the replacement for each name.
    const PCRE2_SIZE* match = pcre2_get_ovector_pointer(engine_->match);
    if (!every && match[0] <= match[1]) {
        const std::size_t start = out.size();
        out.append(name.substr(0, match[0]));
        if (AppendPlainExpansion(name, replacement, match, engine_->set, engine_->groups, out)) {
            out.append(name.substr(match[1]));
            return;
        }
        out.resize(start);
    }
    const std::uint32_t options =
        kSubstituteOptions | PCRE2_SUBSTITUTE_MATCHED | (every ? PCRE2_SUBSTITUTE_GLOBAL : 0);
    Substitute(engine_->code, name, options, engine_->match, engine_->context, replacement,
               engine_->output, out);
}

} // namespace nomilo
