#pragma once

#include <string>
#include <vector>

namespace nomilo {

// The argument that starts the program as its own reader process.
inline constexpr const char* kReadFactsArgument = "--read-facts";

// The reader process: answers the requests on standard input (FactsWire.h) until it ends, each
// file read with libexiv2 and TagLib, which may crash or hang on a hostile file: the program
// that started it restarts it then. Answers the exit status.
int RunReaderProcess();

// The command that starts the running program (the very file it runs from) as its reader
// process.
std::vector<std::string> OwnReaderCommand();

} // namespace nomilo
