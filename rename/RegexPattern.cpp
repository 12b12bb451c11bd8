#include "rename/RegexPattern.h"

#include "platform/text/Utf8Text.h"
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
// A match may be asked for at one place (the offset limit).
constexpr std::uint32_t kCompileOptions =
    PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_UCP | PCRE2_USE_OFFSET_LIMIT;
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
// `groups`) in `name` filled in, when it is UTF-8 text whose only escapes are `$$`, `$N` and
// `${N}` of groups the expression has, `\\` and the empty quote `\Q\E` (as the fields' values
// are written): the engine reads such a text alike in every mode, and an unset group inserts
// nothing. Answers false, with `out` as it was, for any other replacement.
bool AppendPlainExpansion(std::string_view name, std::string_view replacement,
                          const PCRE2_SIZE* ovector, std::size_t set, std::size_t groups,
                          std::string& out) {
    const std::size_t start = out.size();
    bool ascii = true;
    for (std::size_t at = 0; at < replacement.size();) {
        const auto c = static_cast<unsigned char>(replacement[at]);
        if (c == '\\') {
            const std::string_view escape = replacement.substr(at, 4);
            if (escape.starts_with("\\\\")) {
                out += '\\';
                at += 2;
                continue;
            }
            if (escape == "\\Q\\E") {
                at += 4;
                continue;
            }
            out.resize(start);
            return false;
        }
        if (c >= 0x80 && ascii) {
            if (!IsUtf8(replacement)) {
                out.resize(start);
                return false;
            }
            ascii = false;
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

// The first place at or after `at` where a match of `name` may begin: any byte but one that
// can only continue a character (0x80 to 0xBF), or the end of the name.
std::size_t MatchStartAtOrAfter(std::string_view name, std::size_t at) {
    while (at < name.size() && (static_cast<unsigned char>(name[at]) & 0xC0) == 0x80)
        ++at;
    return at;
}

} // namespace

struct TRegexPattern::TEngine {
    TEngine() = default;
    TEngine(const TEngine&) = delete;
    TEngine& operator=(const TEngine&) = delete;
    ~TEngine() {
        pcre2_match_context_free(placeContext);
        pcre2_match_context_free(context);
        pcre2_match_data_free(match);
        pcre2_code_free(code);
    }

    // Looks for a match in `name` that begins at `at` or after it (with PCRE2_ANCHORED: at
    // `at`), as the class says; answers whether there is one. Throws ERenameRule when the
    // engine gives up.
    bool Search(std::string_view name, std::size_t at, std::uint32_t options) {
        from = at;
        if (utf8Name)
            return Run(name, at, options, context);
        // Asked to look from a byte that is not UTF-8, the JIT and the interpreter go on each
        // in its own way; asked for a match at one place, they agree. (PCRE2_ANCHORED alone
        // would let them go on to where the next stretch of UTF-8 begins.)
        for (at = MatchStartAtOrAfter(name, at);; at = MatchStartAtOrAfter(name, at + 1)) {
            pcre2_set_offset_limit(placeContext, at);
            if (Run(name, at, options | PCRE2_ANCHORED, placeContext))
                return true;
            if ((options & PCRE2_ANCHORED) || at == name.size())
                return false;
        }
    }

    // Looks for the match after the last one, as a global substitution does: after an empty
    // match first one with something in it at the same place, then from the next character.
    bool SearchNext(std::string_view name) {
        const PCRE2_SIZE* last = pcre2_get_ovector_pointer(match);
        std::size_t at = last[1];
        if (last[0] == last[1]) {
            if (Search(name, at, PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED))
                return true;
            if (at == name.size())
                return false;
            const std::size_t length = Utf8SequenceLength(name, at);
            at += length ? length : 1;
            // Where a line may end in CR LF, the engine takes that pair as one.
            if (crlfEndsLines && at < name.size() && name[at - 1] == '\r' && name[at] == '\n')
                ++at;
        }
        return Search(name, at, 0);
    }

    // Appends the replacement of the last match alone, with no case change carried in.
    void AppendReplacement(std::string_view name, std::string_view replacement,
                           std::string& out) {
        // A replacement of plain text and group references is spliced in here, as the engine
        // would, without the engine's reading of the replacement for each match.
        if (AppendPlainExpansion(name, replacement, pcre2_get_ovector_pointer(match), set, groups,
                                 out))
            return;
        Substitute(code, name,
                   kSubstituteOptions | PCRE2_SUBSTITUTE_MATCHED |
                       PCRE2_SUBSTITUTE_REPLACEMENT_ONLY,
                   match, context, replacement, output, out);
    }

    pcre2_code* code = nullptr;
    pcre2_match_data* match = nullptr;
    pcre2_match_context* context = nullptr;
    pcre2_match_context* placeContext = nullptr; // the same, for a match at one place
    std::vector<PCRE2_UCHAR> output; // the substitution's output, reused
    std::size_t groups = 0;          // the pairs of the match data: group 0 and every group
    std::size_t set = 0;             // the pairs the last match set (the others are unset)
    bool crlfEndsLines = false;      // the expression takes CR LF for a line end
    bool utf8Name = true;            // the name of the last Match is UTF-8 throughout
    std::size_t from = 0;            // where the last search began

private:
    // One run of the engine from `at`.
    bool Run(std::string_view name, std::size_t at, std::uint32_t options,
             pcre2_match_context* runContext) {
        const int rc =
            pcre2_match(code, Units(name), name.size(), at, options, match, runContext);
        if (rc >= 0) {
            set = rc == 0 ? groups : static_cast<std::size_t>(rc);
            return true;
        }
        if (rc == PCRE2_ERROR_NOMATCH)
            return false;
        RaiseSubstituteFault(rc, PCRE2_UNSET);
    }
};

TRegexPattern::TRegexPattern(std::string_view pattern, bool caseSensitive, TRunning running)
    : engine_(std::make_unique<TEngine>()) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    engine_->code = pcre2_compile(Units(pattern), pattern.size(),
                                  kCompileOptions | (caseSensitive ? 0 : PCRE2_CASELESS), &error,
                                  &offset, nullptr);
    if (!engine_->code)
        throw ERenameRule({TRuleError::FindText, EngineMessage(error), offset});
    // Where the machine has no JIT the engine interprets the expression: slower, same result.
    if (running == TRunning::Jit)
        pcre2_jit_compile(engine_->code, PCRE2_JIT_COMPLETE);
    engine_->match = pcre2_match_data_create_from_pattern(engine_->code, nullptr);
    engine_->context = pcre2_match_context_create(nullptr);
    if (!engine_->match || !engine_->context)
        throw std::bad_alloc();
    pcre2_set_match_limit(engine_->context, kMatchLimit);
    engine_->placeContext = pcre2_match_context_copy(engine_->context);
    if (!engine_->placeContext)
        throw std::bad_alloc();
    engine_->groups = pcre2_get_ovector_count(engine_->match);
    std::uint32_t newline = 0;
    pcre2_pattern_info(engine_->code, PCRE2_INFO_NEWLINE, &newline);
    engine_->crlfEndsLines = newline == PCRE2_NEWLINE_CRLF || newline == PCRE2_NEWLINE_ANY ||
                             newline == PCRE2_NEWLINE_ANYCRLF;
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
    engine_->utf8Name = IsUtf8(name);
    return engine_->Search(name, 0, 0);
}

std::string TRegexPattern::SubstituteMatched(std::string_view name, std::string_view replacement,
                                             bool every) const {
    std::string result;
    AppendSubstituted(name, replacement, every, result);
    return result;
}

void TRegexPattern::AppendSubstituted(std::string_view name, std::string_view replacement,
                                      bool every, std::string& out) const {
    TEngine& engine = *engine_;
    std::size_t copied = 0; // the name is in `out` up to here
    do {
        const PCRE2_SIZE* match = pcre2_get_ovector_pointer(engine.match);
        // \K can make a match end before it begins, or begin before the place it was looked
        // for from: it has no place in the name.
        if (match[1] < match[0] || match[0] < engine.from)
            RaiseSubstituteFault(PCRE2_ERROR_BADSUBSPATTERN, PCRE2_UNSET);
        out.append(name.substr(copied, match[0] - copied));
        engine.AppendReplacement(name, replacement, out);
        copied = match[1];
    } while (every && engine.SearchNext(name));
    out.append(name.substr(copied));
}

} // namespace nomilo
