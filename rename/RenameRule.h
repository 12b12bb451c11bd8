#pragma once

#include "rename/NumberingTemplate.h"
#include "rename/RuleError.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace nomilo {

struct TRenameInputs;
class TRegexPattern;

// The rule a batch renames by, made once from its inputs (the find and replace texts and the
// switches) and then asked for the new name of each entry. With every switch beyond the design
// off it is the designed rule (RewriteName): the first occurrence of the find text, ASCII
// letters folded when case does not count, or the replace text as a prefix.
//
// - Regular expression: the find text is a regular expression (TRegexPattern) and the replace
//   text its substitution (`$1`, `${name}`, `\U` `\L` `\u` `\l` `\E`); caseless when case does
//   not count, Unicode letters included. In prefix mode the find text plays no part, so nothing
//   is compiled and the replace text is put in front as typed.
// - Every occurrence: every match is replaced, not only the first, in either mode.
// - Numbering: the replace text holds counters (TNumberingTemplate) that number the renames of
//   the batch, in its order.
//
// An empty find text never matches, in either mode. Whether the rule changes a name never
// depends on the counters; a name that matches is renamed even when its new name is the same.
// A rule and its copies (which share the compiled expression and its last match) serve one
// thread at a time.
class TRenameRule {
public:
    // Builds the rule; a find text that is no valid expression, or a replace text the
    // expression cannot substitute, makes a rule that renames nothing (see Error). A
    // `previous` rule's compiled expression is taken over when its find text and case mode are
    // the same, so typing in the replace field compiles nothing.
    explicit TRenameRule(const TRenameInputs& inputs, const TRenameRule* previous = nullptr);
    ~TRenameRule();
    TRenameRule(const TRenameRule&);
    TRenameRule(TRenameRule&&) noexcept;
    TRenameRule& operator=(const TRenameRule&);
    TRenameRule& operator=(TRenameRule&&) noexcept;

    // Why the rule cannot rename anything; std::nullopt when it can.
    const std::optional<TRuleError>& Error() const { return error_; }

    // The new name of `name`, or std::nullopt (no change). `renamesBefore` is the number of
    // renames the batch plans before this one, which its counters count (0 for the first).
    // Throws ERenameRule when Error() is set, or when the expression fails on this name.
    std::optional<std::string> NewName(std::string_view name, std::size_t renamesBefore) const;

private:
    // The replace text for the rename `renamesBefore` renames precede.
    std::string Replacement(std::size_t renamesBefore) const;
    // `error` with an offset in the rendered replace text turned into one in the typed text.
    TRuleError Typed(TRuleError error, std::size_t renamesBefore) const;

    std::string find_;
    std::string replace_;
    bool prefixMode_ = false;
    bool caseSensitive_ = true;
    bool regularExpression_ = false; // and not in prefix mode
    bool everyOccurrence_ = false;
    bool numbering_ = false;
    TNumberingTemplate template_;
    std::shared_ptr<const TRegexPattern> pattern_; // in regular-expression mode, if it compiled
    std::optional<TRuleError> error_;
};

} // namespace nomilo
