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

std::size_t MatchPosition(std::string_view foldedName, std::string_view foldedFind) {
    if (foldedFind.empty() || foldedName.empty())
        return 0;
    const std::size_t index = foldedName.find(foldedFind);
    return index == std::string_view::npos ? 0 : index + 1;
}

std::optional<std::string> RewriteName(std::string_view name, std::string_view find,
                                       std::string_view replace, bool prefixMode,
                                       bool caseSensitive) {
    if (prefixMode) {
        std::string result;
        result.reserve(replace.size() + name.size());
        return result.append(replace).append(name);
    }
    const std::size_t p = caseSensitive
                              ? MatchPosition(name, find)
                              : MatchPosition(FoldCase(name, false), FoldCase(find, false));
    if (p == 0)
        return std::nullopt;
    // Folding keeps lengths and positions, so the stretch cut from the name as listed is
    // exactly the one that matched.
    std::string result;
    result.reserve(name.size() - find.size() + replace.size());
    return result.append(name.substr(0, p - 1))
        .append(replace)
        .append(name.substr(p - 1 + find.size()));
}

std::optional<std::string> RewriteEveryOccurrence(std::string_view name, std::string_view find,
                                                  std::string_view replace, bool caseSensitive) {
    if (find.empty())
        return std::nullopt;
    const std::string foldedName = FoldCase(name, caseSensitive);
    const std::string foldedFind = FoldCase(find, caseSensitive);
    std::size_t at = foldedName.find(foldedFind);
    if (at == std::string::npos)
        return std::nullopt;
    std::string result;
    std::size_t kept = 0; // the bytes of the name before `kept` are in the result
    for (; at != std::string::npos; at = foldedName.find(foldedFind, kept)) {
        result.append(name.substr(kept, at - kept)).append(replace);
        kept = at + find.size();
    }
    return result.append(name.substr(kept));
}

} // namespace nomilo
