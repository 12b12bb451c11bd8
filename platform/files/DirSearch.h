#pragma once

#include "platform/files/FileAttributes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace nomilo {

// True when `name` matches the wildcard `pattern`: "*" matches any run of characters (dots
// included), "?" exactly one character (a UTF-8 sequence counts as one), ASCII letters match
// regardless of case, and every other byte matches itself. A pattern ending in ".*" also
// matches a name without a dot, so "*.*" matches every name. An empty pattern, or one holding
// "/", matches nothing.
bool MatchesMask(std::string_view name, std::string_view pattern);

// Searches the current directory for entries matching `pattern` and calls `found` with the
// name and attribute bits of each, in directory order, passing over every entry that carries a
// bit of `excluded`. Attribute bits in neither `excluded` nor `wanted` may be left out where
// working them out would cost a system call. A folder that cannot be read finds nothing. Links
// are never looked through into the `network` mounts (EntryAttributes).
using FoundEntry = std::function<void(std::string_view name, std::uint32_t attributes)>;
void SearchCurrentDir(std::string_view pattern, std::uint32_t excluded, std::uint32_t wanted,
                      const FoundEntry& found, const TNetworkMounts& network = {});
// The same search in `folder` (absolute, or relative to the current directory; of any length),
// which does not become the current directory.
void SearchFolder(const std::string& folder, std::string_view pattern, std::uint32_t excluded,
                  std::uint32_t wanted, const FoundEntry& found,
                  const TNetworkMounts& network = {});

} // namespace nomilo
