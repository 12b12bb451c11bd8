#include "rename/RewriteName.h"

#include "platform/text/AsciiText.h"

namespace nomilo {

std::string FoldCase(std::string_view text, bool caseSensitive) {
    std::string folded(text);
    if (!caseSensitive)
        for (char& c : folded)
            c = AsciiLower(c);
    return folded;
}

std::size_t FindFolded(std::string_view name, std::string_view find, bool caseSensitive,
                       std::size_t from) {
    if (find.empty())
        return std::string_view::npos;
    if (caseSensitive)
        return name.find(find, from);
    // Only a byte that folds to the find text's first one can begin an occurrence.
    const char first = AsciiLower(find[0]);
    const char upper = first >= 'a' && first <= 'z' ? static_cast<char>(first - 0x20) : first;
    for (std::size_t at = from; at + find.size() <= name.size(); ++at)
        if ((name[at] == first || name[at] == upper) &&
            EqualIgnoringAsciiCase(name.substr(at, find.size()), find))
            return at;
    return std::string_view::npos;
}

std::optional<std::string> RewriteName(std::string_view name, std::string_view find,
                                       std::string_view replace, bool prefixMode,
                                       bool caseSensitive) {
    std::string result;
    if (prefixMode) {
        result.reserve(replace.size() + name.size());
        return result.append(replace).append(name);
    }
    const std::size_t at = FindFolded(name, find, caseSensitive);
    if (at == std::string_view::npos)
        return std::nullopt;
    result.reserve(name.size() + replace.size());
    AppendReplaced(name, at, find, replace, caseSensitive, false, result);
    return result;
}

std::optional<std::string> RewriteEveryOccurrence(std::string_view name, std::string_view find,
                                                  std::string_view replace, bool caseSensitive) {
    const std::size_t at = FindFolded(name, find, caseSensitive);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string result;
    AppendReplaced(name, at, find, replace, caseSensitive, true, result);
    return result;
}

void AppendReplaced(std::string_view name, std::size_t at, std::string_view find,
                    std::string_view replace, bool caseSensitive, bool every, std::string& out) {
    // Folding keeps lengths and positions, so each stretch cut from the name as listed is
    // exactly the one that matched.
    std::size_t kept = 0; // the bytes of the name before `kept` are in the result
    do {
        out.append(name.substr(kept, at - kept)).append(replace);
        kept = at + find.size();
    } while (every && (at = FindFolded(name, find, caseSensitive, kept)) != std::string_view::npos);
    out.append(name.substr(kept));
}

} // namespace nomilo
