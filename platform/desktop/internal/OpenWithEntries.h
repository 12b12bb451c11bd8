#pragma once

#include <string>
#include <vector>

namespace nomilo {

// Takes away the "Open with" entries for folders that earlier versions published in the
// applications folder `folder` (nomilo-folder-VERB.desktop carrying the marker line), and the
// names of such entries that are gone from the folder's mimeinfo.cache, where desktop tools
// would still find the program as a folder opener. Nothing else in the folder or the cache is
// touched. Answers what could not be done.
std::vector<std::string> RemoveOpenWithEntries(const std::string& folder);

} // namespace nomilo
