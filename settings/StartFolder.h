#pragma once

#include <string>
#include <vector>

namespace nomilo {

// The folder the program starts on: the first argument after the program's name that is not
// empty, whole and byte for byte (spaces, a trailing "/", any length); the empty text when
// there is none. Called with the arguments that QApplication's constructor left, so that Qt's
// own options are gone.
std::string StartFolder(int argc, const char* const* argv);
std::string StartFolder(const std::vector<std::string>& arguments);

} // namespace nomilo
