#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace nomilo {

// The comparison form of `text`: unchanged in case-sensitive mode, otherwise with the ASCII
// capitals A-Z turned into a-z and every other byte kept. Same length, locale-independent.
std::string FoldCase(std::string_view text, bool caseSensitive);

// 1-based position of the leftmost occurrence of `foldedFind` in `foldedName`; 0 when either
// is empty or there is no occurrence.
std::size_t MatchPosition(std::string_view foldedName, std::string_view foldedFind);

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

} // namespace nomilo
