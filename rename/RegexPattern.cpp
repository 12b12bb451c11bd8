#include "rename/RegexPattern.h"

#include "rename/RuleError.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <new>
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
// call: the new name is copied out at its own size (a short one allocates nothing).
std::string Substitute(const pcre2_code* code, std::string_view subject, std::uint32_t options,
                       pcre2_match_data* match, pcre2_match_context* context,
                       std::string_view replacement, std::vector<PCRE2_UCHAR>& buffer) {
    buffer.resize(std::max(buffer.size(), subject.size() + replacement.size() + 64));
    for (;;) {
        PCRE2_SIZE length = buffer.size();
        const int rc = pcre2_substitute(code, Units(subject), subject.size(), 0, options, match,
                                        context, Units(replacement), replacement.size(),
                                        buffer.data(), &length);
        if (rc >= 0)
            return std::string(reinterpret_cast<const char*>(buffer.data()), length);
        if (rc == PCRE2_ERROR_NOMEMORY && length != PCRE2_UNSET && length + 1 > buffer.size()) {
            buffer.resize(length + 1);
            continue;
        }
        RaiseSubstituteFault(rc, length);
    }
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
    Substitute(empty.engine_->code, {}, kSubstituteOptions, empty.engine_->match, nullptr,
               replacement, empty.engine_->output);
}

bool TRegexPattern::Match(std::string_view name) const {
    const int rc = pcre2_match(engine_->code, Units(name), name.size(), 0, 0, engine_->match,
                               engine_->context);
    if (rc >= 0)
        return true;
    if (rc == PCRE2_ERROR_NOMATCH)
        return false;
    RaiseSubstituteFault(rc, PCRE2_UNSET);
}

std::string TRegexPattern::SubstituteMatched(std::string_view name, std::string_view replacement,
                                             bool every) const {
    // A replacement without `$` and `\` is plain text to the engine: the one match is spliced
    // out here (unless \K made it end before it starts, which the engine refuses).
    const PCRE2_SIZE* match = pcre2_get_ovector_pointer(engine_->match);
    if (!every && replacement.find_first_of("$\\") == std::string_view::npos &&
        match[0] <= match[1]) {
        std::string result;
        result.reserve(name.size() - (match[1] - match[0]) + replacement.size());
        return result.append(name.substr(0, match[0]))
            .append(replacement)
            .append(name.substr(match[1]));
    }
    const std::uint32_t options =
        kSubstituteOptions | PCRE2_SUBSTITUTE_MATCHED | (every ? PCRE2_SUBSTITUTE_GLOBAL : 0);
    return Substitute(engine_->code, name, options, engine_->match, engine_->context, replacement,
                      engine_->output);
}

} // namespace nomilo
