#include "rename/RenameRule.h"

#include "rename/RegexPattern.h"
#include "rename/RenameBatch.h"
#include "rename/RewriteName.h"

namespace nomilo {

TRenameRule::TRenameRule(const TRenameInputs& inputs, const TRenameRule* previous)
    : find_(inputs.findText), replace_(inputs.replaceText), prefixMode_(inputs.prefixMode),
      caseSensitive_(inputs.caseSensitive),
      regularExpression_(inputs.regularExpression && !inputs.prefixMode),
      everyOccurrence_(inputs.everyOccurrence), numbering_(inputs.numbering),
      fields_(inputs.fields) {
    const auto counterSyntax = regularExpression_ ? TNumberingTemplate::TSyntax::Substitution
                                                  : TNumberingTemplate::TSyntax::Literal;
    if (fields_) {
        try {
            fieldTemplate_ = TFieldTemplate(replace_, regularExpression_
                                                          ? TFieldTemplate::TSyntax::Substitution
                                                          : TFieldTemplate::TSyntax::Literal);
        } catch (const ERenameRule& bad) {
            error_ = bad.Error();
            return;
        }
        // Each raw piece has counters of its own: a value between two pieces is never read as
        // part of a counter.
        if (numbering_)
            for (const TFieldTemplate::TPiece& piece : fieldTemplate_.Pieces())
                pieceCounters_.push_back(piece.type == TFieldTemplate::TPiece::Raw
                                             ? TNumberingTemplate(piece.text, counterSyntax)
                                             : TNumberingTemplate());
    } else if (numbering_) {
        template_ = TNumberingTemplate(replace_, counterSyntax);
    }
    if (!regularExpression_ || find_.empty())
        return;
    try {
        if (previous && previous->pattern_ && previous->find_ == find_ &&
            previous->caseSensitive_ == caseSensitive_)
            pattern_ = previous->pattern_;
        else
            pattern_ = std::make_shared<const TRegexPattern>(find_, caseSensitive_);
        TRefusal unused = TRefusal::None;
        if (fields_)
            QuoteValues(-1, {}, unused);
        pattern_->CheckReplacement(fields_ ? FieldReplacement(0, 0) : Replacement(0));
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

void TRenameRule::QuoteValues(int entry, std::string_view name, TRefusal& refusal) const {
    using TPiece = TFieldTemplate::TPiece;
    // entry -1: a rendering for checking the replace text, with every value empty.
    const TFieldSubject subject{name, context_ ? context_->FolderName(entry) : std::string_view(),
                                context_ && entry >= 0 ? context_->FactsOf(entry) : nullptr, 0};
    const std::vector<TPiece>& pieces = fieldTemplate_.Pieces();
    values_.resize(pieces.size());
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        const TPiece& piece = pieces[p];
        if (piece.type == TPiece::Raw || piece.kind == TFieldTemplate::TKind::Copy)
            continue;
        value_.clear();
        if (piece.type == TPiece::Text) {
            value_ = piece.text;
        } else if (entry >= 0) {
            const TRefusal missing = AppendFieldValue(piece, subject, value_);
            if (missing != TRefusal::None) {
                if (refusal == TRefusal::None)
                    refusal = missing;
                value_.assign(replace_, piece.source, piece.length);
            }
        }
        values_[p].clear();
        AppendQuoted(values_[p], value_, Syntax());
    }
}

std::string_view TRenameRule::FieldReplacement(std::size_t renamesBefore,
                                               std::size_t copy) const {
    using TPiece = TFieldTemplate::TPiece;
    rendered_.clear();
    const std::vector<TPiece>& pieces = fieldTemplate_.Pieces();
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        const TPiece& piece = pieces[p];
        if (piece.type == TPiece::Raw) {
            if (numbering_)
                pieceCounters_[p].AppendRendered(rendered_, renamesBefore);
            else
                rendered_.append(piece.text);
        } else if (piece.kind == TFieldTemplate::TKind::Copy) {
            value_.clear();
            AppendFieldValue(piece, TFieldSubject{{}, {}, nullptr, copy}, value_);
            AppendQuoted(rendered_, value_, Syntax());
        } else {
            rendered_.append(values_[p]);
        }
    }
    return rendered_;
}

TRuleError TRenameRule::Typed(TRuleError error, std::size_t renamesBefore) const {
    if (error.part != TRuleError::ReplaceText || !error.offset)
        return error;
    if (!fields_) {
        if (numbering_)
            error.offset = template_.SourceOffset(*error.offset, renamesBefore);
        return error;
    }
    // The piece the offset falls in, rendered as for the check (every value empty).
    using TPiece = TFieldTemplate::TPiece;
    std::string text;
    const std::vector<TPiece>& pieces = fieldTemplate_.Pieces();
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        const TPiece& piece = pieces[p];
        const std::size_t begin = text.size();
        if (piece.type == TPiece::Raw && numbering_)
            pieceCounters_[p].AppendRendered(text, renamesBefore);
        else if (piece.type == TPiece::Raw)
            text.append(piece.text);
        else
            AppendQuoted(text, piece.type == TPiece::Text ? piece.text : std::string(), Syntax());
        if (*error.offset >= text.size())
            continue;
        const std::size_t within = *error.offset - begin;
        error.offset = piece.source + (piece.type != TPiece::Raw ? 0
                                       : numbering_
                                           ? pieceCounters_[p].SourceOffset(within, renamesBefore)
                                           : within);
        return error;
    }
    error.offset = replace_.size();
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
    TRefusal refusal = TRefusal::None;
    return AppendNewName(-1, name, renamesBefore, out, refusal);
}

bool TRenameRule::AppendNewName(int entry, std::string_view name, std::size_t renamesBefore,
                                std::string& out, TRefusal& refusal) const {
    if (error_)
        throw ERenameRule(*error_);
    refusal = TRefusal::None;
    // Whether the rule changes the name is known before any replace text is rendered: the
    // counters and fields are rendered only for a name that it changes.
    std::size_t at = 0; // where the find text is, in literal mode
    if (!prefixMode_) {
        if (find_.empty())
            return false;
        if (regularExpression_ ? !pattern_->Match(name)
                               : (at = FindFolded(name, find_, caseSensitive_)) ==
                                     std::string_view::npos)
            return false;
    }
    if (!fields_)
        return AppendRewritten(name, at, Replacement(renamesBefore), renamesBefore, out);
    const std::size_t start = out.size();
    // The values are the same for every number {copy} tries: they are made once.
    QuoteValues(entry, name, refusal);
    AppendRewritten(name, at, FieldReplacement(renamesBefore, 0), renamesBefore, out);
    if (refusal != TRefusal::None || !fieldTemplate_.HasCopy())
        return true;
    // {copy} numbers a name another file has, or an earlier rename of the batch gives. The
    // numbers tried for a name stay taken, so the next file of that name starts after them.
    if (!CopyTaken(entry, std::string_view(out).substr(start), name)) {
        given_.insert(CopyKey(entry, std::string_view(out).substr(start)));
        return true;
    }
    std::size_t& next = nextCopy_.try_emplace(CopyKey(entry, std::string_view(out).substr(start)), 1)
                            .first->second;
    // A file that has this name with a number already keeps it (a batch run again): the number
    // is one of the digit runs of its own name.
    for (std::size_t i = 0; i < name.size();) {
        if (name[i] < '0' || name[i] > '9') {
            ++i;
            continue;
        }
        std::size_t copy = 0, digits = 0;
        for (; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i, ++digits)
            copy = copy * 10 + static_cast<std::size_t>(name[i] - '0');
        if (copy == 0 || digits > 9 || given_.count(CopyKey(entry, name)))
            continue;
        out.resize(start);
        AppendRewritten(name, at, FieldReplacement(renamesBefore, copy), renamesBefore, out);
        if (std::string_view(out).substr(start) == name) {
            given_.insert(CopyKey(entry, name));
            return true;
        }
    }
    do {
        out.resize(start);
        AppendRewritten(name, at, FieldReplacement(renamesBefore, next++), renamesBefore, out);
    } while (CopyTaken(entry, std::string_view(out).substr(start), name));
    given_.insert(CopyKey(entry, std::string_view(out).substr(start)));
    return true;
}

bool TRenameRule::AppendRewritten(std::string_view name, std::size_t at,
                                  std::string_view replacement, std::size_t renamesBefore,
                                  std::string& out) const {
    if (prefixMode_) {
        out.append(replacement).append(name);
        return true;
    }
    if (regularExpression_) {
        try {
            pattern_->AppendSubstituted(name, replacement, everyOccurrence_, out);
        } catch (const ERenameRule& bad) {
            throw ERenameRule(Typed(bad.Error(), renamesBefore));
        }
        return true;
    }
    AppendReplaced(name, at, find_, replacement, caseSensitive_, everyOccurrence_, out);
    return true;
}

std::string TRenameRule::CopyKey(int entry, std::string_view candidate) const {
    const std::uint32_t folder = context_ ? context_->FolderOf(entry) : 0;
    std::string key(reinterpret_cast<const char*>(&folder), sizeof folder);
    key.append(candidate);
    if (context_ && context_->CaseBlind())
        for (char& c : key)
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return key;
}

bool TRenameRule::CopyTaken(int entry, std::string_view candidate, std::string_view name) const {
    const std::string key = CopyKey(entry, candidate);
    if (given_.count(key))
        return true;
    // The file's own name is not taken by another.
    return context_ && key != CopyKey(entry, name) && context_->NameOnDisk(entry, candidate);
}

} // namespace nomilo
