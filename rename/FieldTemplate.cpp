#include "rename/FieldTemplate.h"

#include "rename/RuleError.h"

#include <array>
#include <charconv>
#include <ctime>

namespace nomilo {

namespace {

using TKind = TFieldTemplate::TKind;
using TPiece = TFieldTemplate::TPiece;

struct TFieldName {
    std::string_view name;
    TKind kind;
    TFactNeeds needs;
};

constexpr std::array<TFieldName, 16> kFieldNames = {{
    {"name", TKind::Name, NeedsNothing},
    {"ext", TKind::Ext, NeedsNothing},
    {"folder", TKind::Folder, NeedsNothing},
    {"modified", TKind::Modified, NeedsTimes},
    {"created", TKind::Created, NeedsTimes},
    {"taken", TKind::Taken, NeedsImage},
    {"camera", TKind::Camera, NeedsImage},
    {"width", TKind::Width, NeedsImage},
    {"height", TKind::Height, NeedsImage},
    {"artist", TKind::Artist, NeedsAudio},
    {"album", TKind::Album, NeedsAudio},
    {"title", TKind::Title, NeedsAudio},
    {"year", TKind::Year, NeedsAudio},
    {"genre", TKind::Genre, NeedsAudio},
    {"track", TKind::Track, NeedsAudio},
    {"copy", TKind::Copy, NeedsNothing},
}};

constexpr std::string_view kDefaultDateFormat = "%Y-%m-%d";

bool IsDate(TKind kind) {
    return kind == TKind::Modified || kind == TKind::Created || kind == TKind::Taken;
}
bool IsNumber(TKind kind) {
    return kind == TKind::Width || kind == TKind::Height || kind == TKind::Year ||
           kind == TKind::Track;
}

[[noreturn]] void Fail(std::string message, std::size_t offset) {
    throw ERenameRule(TRuleError{TRuleError::ReplaceText, std::move(message), offset, true});
}

bool IsWordLetter(char c) {
    return c >= 'a' && c <= 'z';
}

// The end of the engine's `${...}` that begins at `at`, past its closing brace.
std::size_t GroupEnd(std::string_view text, std::size_t at) {
    const std::size_t close = text.find('}', at);
    return close == std::string_view::npos ? text.size() : close + 1;
}

// The field whose brace is at `at` (which `{` and a lowercase word begin, ended by `}` or `:`),
// moving `at` past it.
TPiece ParseField(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    std::size_t i = at + 1;
    while (i < text.size() && IsWordLetter(text[i]))
        ++i;
    const std::string_view word = text.substr(start + 1, i - start - 1);
    const TFieldName* known = nullptr;
    for (const TFieldName& field : kFieldNames)
        if (field.name == word)
            known = &field;
    if (!known)
        Fail("unknown field {" + std::string(word) + "}", start);
    const std::size_t close = text.find('}', i);
    if (close == std::string_view::npos)
        Fail("the field {" + std::string(word) + " has no closing brace", start);
    TPiece piece;
    piece.type = TPiece::Field;
    piece.kind = known->kind;
    piece.source = start;
    piece.length = close + 1 - start;
    const bool hasArgument = text[i] == ':';
    const std::string_view argument =
        hasArgument ? text.substr(i + 1, close - i - 1) : std::string_view();
    if (IsDate(piece.kind)) {
        piece.text = hasArgument && !argument.empty() ? argument : kDefaultDateFormat;
    } else if (IsNumber(piece.kind)) {
        if (hasArgument) {
            std::size_t width = 0;
            const auto [end, error] =
                std::from_chars(argument.data(), argument.data() + argument.size(), width);
            if (error != std::errc() || end != argument.data() + argument.size() || width < 1 ||
                width > 9)
                Fail("the width of {" + std::string(word) + "} is a number from 1 to 9", i + 1);
            piece.width = width;
        }
    } else if (piece.kind == TKind::Copy) {
        piece.text = hasArgument ? argument : "-";
    } else if (hasArgument) {
        Fail("the field {" + std::string(word) + "} takes no argument", i);
    }
    at = close + 1;
    return piece;
}

void AppendRaw(std::vector<TPiece>& pieces, std::string_view text, std::size_t at,
               TPiece::TType type = TPiece::Raw) {
    if (pieces.empty() || pieces.back().type != type) {
        TPiece piece;
        piece.type = type;
        piece.source = at;
        pieces.push_back(std::move(piece));
    }
    pieces.back().text.append(text);
    pieces.back().length = at + text.size() - pieces.back().source;
}

// The name part of an entry's text (after its last slash).
std::string_view BareName(std::string_view entry) {
    const std::size_t slash = entry.rfind('/');
    return slash == std::string_view::npos ? entry : entry.substr(slash + 1);
}

void AppendNumber(std::string& out, std::uint64_t value, std::size_t width) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const auto length = static_cast<std::size_t>(end - digits);
    if (length < width)
        out.append(width - length, '0');
    out.append(digits, length);
}

void AppendDate(std::string& out, std::int64_t seconds, bool asRecorded, const std::string& format) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (!(asRecorded ? gmtime_r(&time, &parts) : localtime_r(&time, &parts)))
        return;
    char text[512];
    const std::size_t length = std::strftime(text, sizeof text, format.c_str(), &parts);
    AppendNameSafe(out, std::string_view(text, length));
}

TRefusal AppendText(std::string& out, const TFileFacts& facts, TFileFacts::TText which,
                    TFileFacts::TFact fact, TRefusal missing) {
    if (!facts.Has(fact))
        return missing;
    const std::size_t before = out.size();
    AppendNameSafe(out, facts.Text(which));
    if (out.size() == before)
        return missing; // a tag of nothing but spaces is no tag
    return TRefusal::None;
}

// Why a file whose facts lack `fact` has no value: its content may not have been readable.
TRefusal Missing(const TFileFacts& facts, TRefusal missing) {
    return facts.Has(TFileFacts::ContentUnreadable) ? TRefusal::Unreadable : missing;
}

} // namespace

TFieldTemplate::TFieldTemplate(std::string_view replace, TSyntax syntax) {
    std::size_t i = 0;
    while (i < replace.size()) {
        const char c = replace[i];
        if (c == '\\' && i + 1 < replace.size()) {
            if (replace[i + 1] == '{') {
                AppendRaw(pieces_, "{", i, TPiece::Text);
                pieces_.back().length = i + 2 - pieces_.back().source;
                i += 2;
                continue;
            }
            // In substitution syntax every pair is the engine's; in literal syntax `\\` is
            // kept whole, so that the brace after it is not read as escaped.
            if (syntax == TSyntax::Substitution || replace[i + 1] == '\\') {
                AppendRaw(pieces_, replace.substr(i, 2), i);
                i += 2;
                continue;
            }
        }
        if (syntax == TSyntax::Substitution && c == '$' && i + 1 < replace.size()) {
            const std::size_t end = replace[i + 1] == '{' ? GroupEnd(replace, i + 2) : i + 2;
            AppendRaw(pieces_, replace.substr(i, end - i), i);
            i = end;
            continue;
        }
        if (c == '{' && i + 1 < replace.size() && IsWordLetter(replace[i + 1])) {
            std::size_t end = i + 1;
            while (end < replace.size() && IsWordLetter(replace[end]))
                ++end;
            if (end < replace.size() && (replace[end] == '}' || replace[end] == ':')) {
                TPiece field = ParseField(replace, i);
                for (const TFieldName& known : kFieldNames)
                    if (known.kind == field.kind)
                        needs_ = static_cast<TFactNeeds>(needs_ | known.needs);
                hasCopy_ |= field.kind == TKind::Copy;
                pieces_.push_back(std::move(field));
                continue;
            }
        }
        AppendRaw(pieces_, replace.substr(i, 1), i);
        ++i;
    }
}

void AppendNameSafe(std::string& out, std::string_view text) {
    std::size_t first = 0, last = text.size();
    while (first < last && text[first] == ' ')
        ++first;
    while (last > first && text[last - 1] == ' ')
        --last;
    for (std::size_t i = first; i < last; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        out += c == '/' || c < 0x20 || c == 0x7F ? '_' : static_cast<char>(c);
    }
}

void AppendQuoted(std::string& out, std::string_view value, TFieldTemplate::TSyntax syntax) {
    if (syntax == TFieldTemplate::TSyntax::Literal) {
        out.append(value);
        return;
    }
    // An empty quote ends whatever group reference the text before may still be reading
    // (`$1` before a value "2" is not `$12`); `$` and `\` are written doubled.
    out.append("\\Q\\E");
    for (const char c : value) {
        if (c == '$' || c == '\\')
            out += c;
        out += c;
    }
}

TRefusal AppendFieldValue(const TFieldTemplate::TPiece& piece, const TFieldSubject& subject,
                          std::string& out) {
    const std::string_view name = BareName(subject.entryName);
    const std::size_t dot = name.rfind('.');
    switch (piece.kind) {
    case TKind::Name:
        AppendNameSafe(out, dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot));
        return TRefusal::None;
    case TKind::Ext:
        if (dot != std::string_view::npos && dot != 0)
            AppendNameSafe(out, name.substr(dot + 1));
        return TRefusal::None;
    case TKind::Folder: {
        const std::size_t slash = subject.entryName.rfind('/');
        AppendNameSafe(out, slash == std::string_view::npos
                                ? subject.folderName
                                : BareName(subject.entryName.substr(0, slash)));
        return TRefusal::None;
    }
    case TKind::Copy:
        if (subject.copy > 0) {
            AppendNameSafe(out, piece.text);
            AppendNumber(out, subject.copy, 0);
        }
        return TRefusal::None;
    default:
        break;
    }
    if (!subject.facts)
        return TRefusal::StillReading;
    const TFileFacts& facts = *subject.facts;
    switch (piece.kind) {
    case TKind::Modified:
        if (!facts.Has(TFileFacts::Modified))
            return TRefusal::Unreadable;
        AppendDate(out, facts.modified, false, piece.text);
        return TRefusal::None;
    case TKind::Created:
        if (!facts.Has(TFileFacts::Created))
            return TRefusal::NoCreationTime;
        AppendDate(out, facts.created, false, piece.text);
        return TRefusal::None;
    case TKind::Taken:
        if (!facts.Has(TFileFacts::Taken))
            return Missing(facts, TRefusal::NoDateTaken);
        AppendDate(out, facts.taken, true, piece.text);
        return TRefusal::None;
    case TKind::Camera:
        return facts.Has(TFileFacts::Camera)
                   ? AppendText(out, facts, TFileFacts::CameraText, TFileFacts::Camera,
                                TRefusal::NoCamera)
                   : Missing(facts, TRefusal::NoCamera);
    case TKind::Width:
    case TKind::Height: {
        const bool width = piece.kind == TKind::Width;
        if (!facts.Has(width ? TFileFacts::Width : TFileFacts::Height))
            return Missing(facts, TRefusal::NoImageSize);
        AppendNumber(out, width ? facts.width : facts.height, piece.width);
        return TRefusal::None;
    }
    case TKind::Year:
    case TKind::Track: {
        const bool year = piece.kind == TKind::Year;
        if (!facts.Has(year ? TFileFacts::Year : TFileFacts::Track))
            return Missing(facts, year ? TRefusal::NoYear : TRefusal::NoTrack);
        AppendNumber(out, year ? facts.year : facts.track, piece.width);
        return TRefusal::None;
    }
    default:
        break;
    }
    struct TTextField {
        TKind kind;
        TFileFacts::TText text;
        TFileFacts::TFact fact;
        TRefusal missing;
    };
    static constexpr TTextField kTexts[] = {
        {TKind::Artist, TFileFacts::ArtistText, TFileFacts::Artist, TRefusal::NoArtist},
        {TKind::Album, TFileFacts::AlbumText, TFileFacts::Album, TRefusal::NoAlbum},
        {TKind::Title, TFileFacts::TitleText, TFileFacts::Title, TRefusal::NoTitle},
        {TKind::Genre, TFileFacts::GenreText, TFileFacts::Genre, TRefusal::NoGenre},
    };
    for (const TTextField& field : kTexts)
        if (field.kind == piece.kind)
            return facts.Has(field.fact)
                       ? AppendText(out, facts, field.text, field.fact, field.missing)
                       : Missing(facts, field.missing);
    return TRefusal::Other;
}

} // namespace nomilo
