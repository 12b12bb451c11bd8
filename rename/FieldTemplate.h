#pragma once

#include "rename/FileFacts.h"
#include "rename/Refusal.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// A replace text that holds fields in braces (the Fields switch): `{name}` the name without its
// last extension, `{ext}` the extension without its dot, `{folder}` the name of the file's
// folder; `{modified}`, `{created}` and `{taken}` with an optional strftime format after a colon
// (default `%Y-%m-%d`); `{camera}`, `{width}`, `{height}`; `{artist}`, `{album}`, `{title}`,
// `{year}`, `{genre}`, `{track}` (numbers with an optional width: `{track:2}` is "07"); and
// `{copy}`, which keeps apart names that would otherwise be the same (`{copy:_}` puts `_` before
// its number instead of `-`). `\{` writes a brace.
//
// A brace that does not begin a word followed by `}` or `:` is text (so `#{10,5}` stays a
// counter), and so is a brace the expression engine reads as its own (`${name}`, `\{`, in
// substitution syntax). An unknown field, an argument a field does not take and a field
// without its closing brace are errors.
//
// The template is cut into pieces: raw text (which the counters and the expression engine read
// as typed), text that stands for itself (an escaped brace) and fields, whose values are always
// text, never syntax.
class TFieldTemplate {
public:
    enum class TSyntax { Literal, Substitution };
    enum class TKind : std::uint8_t {
        Name, Ext, Folder, Modified, Created, Taken, Camera, Width, Height,
        Artist, Album, Title, Year, Genre, Track, Copy,
    };
    struct TPiece {
        enum TType : std::uint8_t { Raw, Text, Field };
        TType type = Raw;
        TKind kind = TKind::Name;
        std::string text;       // Raw and Text: the text; Field: its date format or separator
        std::size_t width = 0;  // a number field's least number of digits
        std::size_t source = 0; // where the piece begins in the replace text
        std::size_t length = 0; // and how long it is there
    };

    TFieldTemplate() = default;
    // Throws ERenameRule (for the replace text, with its offset) on a bad field.
    TFieldTemplate(std::string_view replace, TSyntax syntax);

    const std::vector<TPiece>& Pieces() const { return pieces_; }
    // What the files must be read for.
    TFactNeeds Needs() const { return needs_; }
    bool HasCopy() const { return hasCopy_; }

private:
    std::vector<TPiece> pieces_;
    TFactNeeds needs_ = NeedsNothing;
    bool hasCopy_ = false;
};

// What a field's value is made of for one entry.
struct TFieldSubject {
    std::string_view entryName;      // the entry's text: a bare name, or a path in the folder
    std::string_view folderName;     // the name of the folder the entries are in
    const TFileFacts* facts = nullptr; // nullptr: not read yet
    std::size_t copy = 0;            // the number {copy} gives (0: none)
};

// Appends the value of field `piece` for `subject` to `out`, made fit for a name: `/`, NUL and
// control characters become `_`, outer spaces go. Answers why there is no value (then nothing
// is appended), or TRefusal::None.
TRefusal AppendFieldValue(const TFieldTemplate::TPiece& piece, const TFieldSubject& subject,
                          std::string& out);

// `value` appended to a replace text in `syntax`, so that it stands for itself.
void AppendQuoted(std::string& out, std::string_view value, TFieldTemplate::TSyntax syntax);

// `text` made fit for a name as AppendFieldValue makes values, appended to `out`.
void AppendNameSafe(std::string& out, std::string_view text);

} // namespace nomilo
