#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace nomilo {

// The comparison form of `text`: unchanged in case-sensitive mode, otherwise with the ASCII
// capitals A-Z turned into a-z and every other byte kept. Same length, locale-independent.
std::string FoldCase(std::string_view text, bool caseSensitive);

// 0-based position of the leftmost occurrence of `find` in `name` at or after `from`, as if both
// were folded by FoldCase (without folding copies); npos when `find` is empty or does not occur.
std::size_t FindFolded(std::string_view name, std::string_view find, bool caseSensitive,
                       std::size_t from = 0);

// The name a file is to get. In prefix mode: `replace` + `name`, for every name (the find text
// plays no part). Otherwise the first occurrence of `find` is replaced by `replace`, or
// std::nullopt ("no change") when there is none. A new name may be empty or equal to `name`;
// whether the file system accepts it is decided by the rename.
std::optional<std::string> RewriteName(std::string_view name, std::string_view find,
                                       std::string_view replace, bool prefixMode,
                                       bool caseSensitive);

// Like RewriteName without prefix mode, but every occurrence of `find` is replaced, from left
// to right, each search going on after the occurrence before: "aaa" with "aa" gives one.
std::optional<std::string> RewriteEveryOccurrence(std::string_view name, std::string_view find,
                                                  std::string_view replace, bool caseSensitive);

// The rewrite of RewriteName (or, with `every`, of RewriteEveryOccurrence) appended to `out`,
// given the occurrence FindFolded found at `at`: the rule's own way, which copies nothing else.
void AppendReplaced(std::string_view name, std::size_t at, std::string_view find,
                    std::string_view replace, bool caseSensitive, bool every, std::string& out);

} // namespace nomilo
