#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace nomilo {

// The error that says what publishing the folder verbs left undone, one line for each place:
// "The folder entry could not be published everywhere:" and then the lines.
class EDesktopPublishing : public std::runtime_error {
public:
    explicit EDesktopPublishing(const std::vector<std::string>& failures);
};

} // namespace nomilo
