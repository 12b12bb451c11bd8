#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace nomilo {

// A regular expression compiled for file names (PCRE2, 8-bit), with the JIT where the machine
// has it. Names are bytes: the expression matches them as UTF-8 where they are UTF-8, and a
// byte that is not is never matched and stays as it is (no match reaches across it), so a name
// in another encoding is rewritten byte-exactly around its matches. `\w`, `\d` and caseless
// matching know the letters and digits of every script.
//
// A match never begins at a byte from 0x80 to 0xBF that continues no character (nor inside a
// character). In a name that is not UTF-8 the matches are looked for one place at a time, since
// the JIT and the interpreter look past its stray bytes differently: so a name gets the same
// new name on every machine, with the JIT or without it.
//
// One object serves one thread at a time: it keeps the data of the last match.
class TRegexPattern {
public:
    // How the expression is run: compiled to machine code where the machine lets it (else
    // interpreted), or always interpreted. Both give the same results.
    enum class TRunning { Jit, Interpreted };

    // Compiles `pattern` (UTF-8), caseless unless `caseSensitive`. Throws ERenameRule (the find
    // text's) with the engine's message and offset when it is no valid expression.
    TRegexPattern(std::string_view pattern, bool caseSensitive,
                  TRunning running = TRunning::Jit);
    ~TRegexPattern();
    TRegexPattern(const TRegexPattern&) = delete;
    TRegexPattern& operator=(const TRegexPattern&) = delete;

    // Throws ERenameRule (the replace text's) when `replacement` cannot serve as this
    // expression's substitution: a group it does not have, a bad escape, a missing brace,
    // bytes that are not UTF-8.
    void CheckReplacement(std::string_view replacement) const;

    // Whether the expression matches in `name`; the match is kept for SubstituteMatched.
    // Throws ERenameRule when the engine gives up on the name (it would take too long).
    bool Match(std::string_view name) const;

    // `name` with the match Match just found in it replaced by `replacement`, and with `every`
    // each later match too, in the engine's extended substitution: `$1`, `${name}` insert
    // groups (unset ones as nothing), `\U` `\L` `\u` `\l` `\E` change the case of what follows,
    // a backslash quotes the next character, `\Q...\E` a stretch. Each match's replacement
    // starts with no case change: a `\U` left open at the end of one ends there. A later match
    // is looked for after the one before, and after an empty one first at the same place with
    // something in it, then a character on. Throws ERenameRule for a replacement the engine
    // refuses (its offset is in `replacement`) or a failed match.
    std::string SubstituteMatched(std::string_view name, std::string_view replacement,
                                  bool every) const;
    // The same, appended to `out`.
    void AppendSubstituted(std::string_view name, std::string_view replacement, bool every,
                           std::string& out) const;

private:
    struct TEngine;
    std::unique_ptr<TEngine> engine_;
};

} // namespace nomilo
