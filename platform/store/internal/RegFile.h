#pragma once

#include "platform/store/internal/RegistryTree.h"

#include <string>
#include <string_view>

namespace nomilo {

// What a store file held, and whether any of it could not be used.
struct RegFileContent {
    RegistryTree tree;
    // Something in the file did not parse (a bad line, a missing header, a last line without
    // its line break, a section of an unknown root or deeper than kMaxKeyDepth, a deletion
    // entry of a REGEDIT4 file): writing the tree back would drop it.
    bool damaged = false;
};

// Reads the registry editor's export formats. "REGEDIT4": 8-bit text, `[ROOT\path]` sections,
// `"name"="text"` and `@=` lines, `dword:`, `hex:` and `hex(N):` data with "\" continuation
// lines, ";" comments and blank lines. "Windows Registry Editor Version 5.00": the same in
// UTF-16LE with a byte-order mark (or in UTF-8), its texts taken as UTF-8, `hex(1)`, `hex(2)`
// and `hex(7)` data decoded from UTF-16, and its deletion entries (`[-ROOT\path]`, `"name"=-`)
// applied in file order. Everything that parses is used; the rest marks the content damaged.
// A section names its key and every key above it.
RegFileContent ParseRegFile(std::string_view text);

// Writes both roots in the REGEDIT4 format. A key gets a section of its own when it has values
// or no subkeys (a root only for values): the sections of the keys below name the others.
// Texts the quoted form cannot carry byte for byte go out as `hex(1):`.
std::string FormatRegFile(const RegistryTree& tree);

} // namespace nomilo
