#include "rename/RenameRule.h"

#include "rename/RegexPattern.h"
#include "rename/RenameBatch.h"
#include "rename/RewriteName.h"

namespace nomilo {

TRenameRule::TRenameRule(const TRenameInputs& inputs, const TRenameRule* previous)
    : find_(inputs.findText), replace_(inputs.replaceText), prefixMode_(inputs.prefixMode),
      caseSensitive_(inputs.caseSensitive),
      regularExpression_(inputs.regularExpression && !inputs.prefixMode),
      everyOccurrence_(inputs.everyOccurrence), numbering_(inputs.numbering) {
    if (numbering_)
        template_ = TNumberingTemplate(replace_, regularExpression_
                                                     ? TNumberingTemplate::TSyntax::Substitution
                                                     : TNumberingTemplate::TSyntax::Literal);
    if (!regularExpression_ || find_.empty())
        return;
    try {
        if (previous && previous->pattern_ && previous->find_ == find_ &&
            previous->caseSensitive_ == caseSensitive_)
            pattern_ = previous->pattern_;
        else
            pattern_ = std::make_shared<const TRegexPattern>(find_, caseSensitive_);
        pattern_->CheckReplacement(Replacement(0));
    } catch (const ERenameRule& bad) {
        error_ = Typed(bad.Error(), 0);
    }
}

TRenameRule::~TRenameRule() = default;
TRenameRule::TRenameRule(const TRenameRule&) = default;
TRenameRule::TRenameRule(TRenameRule&&) noexcept = default;
TRenameRule& TRenameRule::operator=(const TRenameRule&) = default;
TRenameRule& TRenameRule::operator=(TRenameRule&&) noexcept = default;

std::string TRenameRule::Replacement(std::size_t renamesBefore) const {
    return numbering_ ? template_.Render(renamesBefore) : replace_;
}

TRuleError TRenameRule::Typed(TRuleError error, std::size_t renamesBefore) const {
    if (error.part == TRuleError::ReplaceText && error.offset && numbering_)
        error.offset = template_.SourceOffset(*error.offset, renamesBefore);
    return error;
}

std::optional<std::string> TRenameRule::NewName(std::string_view name,
                                                std::size_t renamesBefore) const {
    if (error_)
        throw ERenameRule(*error_);
    // The counters are rendered only for a name that the rule changes.
    std::string rendered;
    auto replacement = [&]() -> std::string_view {
        if (!numbering_)
            return replace_;
        return rendered = template_.Render(renamesBefore);
    };
    if (prefixMode_)
        return RewriteName(name, find_, replacement(), true, caseSensitive_);
    if (find_.empty())
        return std::nullopt;
    if (regularExpression_) {
        if (!pattern_->Match(name))
            return std::nullopt;
        try {
            return pattern_->SubstituteMatched(name, replacement(), everyOccurrence_);
        } catch (const ERenameRule& bad) {
            throw ERenameRule(Typed(bad.Error(), renamesBefore));
        }
    }
    if (numbering_ && MatchPosition(FoldCase(name, caseSensitive_),
                                    FoldCase(find_, caseSensitive_)) == 0)
        return std::nullopt;
    return everyOccurrence_ ? RewriteEveryOccurrence(name, find_, replacement(), caseSensitive_)
                            : RewriteName(name, find_, replacement(), false, caseSensitive_);
}

} // namespace nomilo
