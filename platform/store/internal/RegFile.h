#pragma once

#include "platform/store/internal/RegistryTree.h"

#include <string>
#include <string_view>

namespace nomilo {

// What a store file held, and whether any of it could not be used.
struct RegFileContent {
    RegistryTree tree;
    // Something in the file did not parse (a bad line, a missing header, a last line without
    // its line break, a section of an unknown root, a deletion entry): writing the tree back
    // would drop it.
    bool damaged = false;
};

// Reads the registry editor's export format: the "REGEDIT4" header, "[ROOT\path]" sections,
// `"name"="text"` and `@=` lines, `dword:`, `hex:` and `hex(N):` data with "\" continuation
// lines, ";" comments and blank lines. Everything that parses is used; the rest marks the
// content damaged. A section names its key and every key above it.
RegFileContent ParseRegFile(std::string_view text);

// Writes both roots in the export format. Every key gets its section, so empty keys survive;
// texts the quoted form cannot carry byte for byte go out as `hex(1):`.
std::string FormatRegFile(const RegistryTree& tree);

} // namespace nomilo
