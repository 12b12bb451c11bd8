#pragma once

#include "rename/FieldContext.h"
#include "rename/FieldTemplate.h"
#include "rename/NumberingTemplate.h"
#include "rename/Refusal.h"
#include "rename/RuleError.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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
// - Fields: the replace text holds fields (TFieldTemplate) whose values come from each entry's
//   file, through the field context the caller hands in (SetFieldContext). A value is always
//   text, never syntax of the expression or the counters. An entry whose file gives no value
//   for a field is refused, never renamed with a stand-in, and takes no number of the counters.
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
    // The same without a string of its own: appends the new name to `out` and answers true, or
    // answers false (no change) and leaves `out` as it is.
    bool AppendNewName(std::string_view name, std::size_t renamesBefore, std::string& out) const;
    // The same for entry `entry` of a batch, whose fields are read from the field context. When
    // the rule would rename the entry but a field has no value, answers true and sets `refusal`
    // to why; `out` then holds the new name with that field as typed, for the user to see.
    bool AppendNewName(int entry, std::string_view name, std::size_t renamesBefore,
                       std::string& out, TRefusal& refusal) const;

    // Whether the replace text holds fields, and what the files must be read for.
    bool HasFields() const { return fields_; }
    TFactNeeds Needs() const { return fields_ ? fieldTemplate_.Needs() : NeedsNothing; }
    // Whether {copy} asks the field context for the names on disk.
    bool KeepsCopiesApart() const { return fields_ && fieldTemplate_.HasCopy(); }
    // The facts, folder name and names on disk the fields take (none: nullptr, and every
    // field of a file's data is still being read). Kept, not owned.
    void SetFieldContext(const IFieldContext* context) { context_ = context; }
    // A batch's plan begins: the names {copy} kept apart so far are forgotten.
    void BeginPlan() const {
        given_.clear();
        nextCopy_.clear();
    }

private:
    // The replace text for the rename `renamesBefore` renames precede; valid until the next
    // call.
    std::string_view Replacement(std::size_t renamesBefore) const;
    // Makes the values of entry `entry`'s fields but {copy}, as the replace text writes them
    // (entry -1: every value empty); `refusal` tells a field without a value, which is then
    // written as typed.
    void QuoteValues(int entry, std::string_view name, TRefusal& refusal) const;
    // The replace text with the values QuoteValues made and {copy} numbered `copy`, for the
    // rename `renamesBefore` renames precede; valid until the next call.
    std::string_view FieldReplacement(std::size_t renamesBefore, std::size_t copy) const;
    TFieldTemplate::TSyntax Syntax() const {
        return regularExpression_ ? TFieldTemplate::TSyntax::Substitution
                                  : TFieldTemplate::TSyntax::Literal;
    }
    // The new name of `name`, which the rule changes, with `replacement`, appended to `out`;
    // `at` is where the find text is in literal mode.
    bool AppendRewritten(std::string_view name, std::size_t at, std::string_view replacement,
                         std::size_t renamesBefore, std::string& out) const;
    // Whether {copy} must try the next number for the new name `candidate` of `name`.
    bool CopyTaken(int entry, std::string_view candidate, std::string_view name) const;
    // A name as {copy} keeps it apart: folded on a case-blind volume, after the number of the
    // entry's folder.
    std::string CopyKey(int entry, std::string_view candidate) const;
    // `error` with an offset in the rendered replace text turned into one in the typed text.
    TRuleError Typed(TRuleError error, std::size_t renamesBefore) const;

    std::string find_;
    std::string replace_;
    bool prefixMode_ = false;
    bool caseSensitive_ = true;
    bool regularExpression_ = false; // and not in prefix mode
    bool everyOccurrence_ = false;
    bool numbering_ = false;
    bool fields_ = false;
    TNumberingTemplate template_;
    TFieldTemplate fieldTemplate_;
    std::vector<TNumberingTemplate> pieceCounters_; // per piece of the fields, when numbering
    const IFieldContext* context_ = nullptr;
    mutable std::unordered_set<std::string> given_; // the names {copy} gave in this plan
    // Per name without a number, the next number {copy} tries for it in this plan.
    mutable std::unordered_map<std::string, std::size_t> nextCopy_;
    std::shared_ptr<const TRegexPattern> pattern_; // in regular-expression mode, if it compiled
    std::optional<TRuleError> error_;
    mutable std::string rendered_; // the last replace text with its counters, reused
    mutable std::vector<std::string> values_; // per piece, the value QuoteValues made
    mutable std::string value_;               // a value being made, reused
};

} // namespace nomilo
