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

std::string_view TRenameRule::Replacement(std::size_t renamesBefore) const {
    if (!numbering_)
        return replace_;
    rendered_.clear();
    template_.AppendRendered(rendered_, renamesBefore);
    return rendered_;
}

TRuleError TRenameRule::Typed(TRuleError error, std::size_t renamesBefore) const {
    if (error.part == TRuleError::ReplaceText && error.offset && numbering_)
        error.offset = template_.SourceOffset(*error.offset, renamesBefore);
    return error;
}

std::optional<std::string> TRenameRule::NewName(std::string_view name,
                                                std::size_t renamesBefore) const {
    std::string newName;
    if (!AppendNewName(name, renamesBefore, newName))
        return std::nullopt;
    return newName;
}

bool TRenameRule::AppendNewName(std::string_view name, std::size_t renamesBefore,
                                std::string& out) const {
    if (error_)
        throw ERenameRule(*error_);
    // The counters are rendered only for a name that the rule changes.
    if (prefixMode_) {
        out.append(Replacement(renamesBefore)).append(name);
        return true;
    }
    if (find_.empty())
        return false;
    if (regularExpression_) {
        if (!pattern_->Match(name))
            return false;
        try {
            pattern_->AppendSubstituted(name, Replacement(renamesBefore), everyOccurrence_, out);
        } catch (const ERenameRule& bad) {
            throw ERenameRule(Typed(bad.Error(), renamesBefore));
        }
        return true;
    }
    const std::size_t at = FindFolded(name, find_, caseSensitive_);
    if (at == std::string_view::npos)
        return false;
    AppendReplaced(name, at, find_, Replacement(renamesBefore), caseSensitive_, everyOccurrence_,
                   out);
    return true;
}

} // namespace nomilo
