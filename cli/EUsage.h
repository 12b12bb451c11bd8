#pragma once

#include <stdexcept>
#include <string>

namespace nomilo {

// A command line the terminal command cannot run: a usage or a pattern error. Nothing has been
// touched when it is raised; the message says what is wrong, in English.
class EUsage : public std::runtime_error {
public:
    explicit EUsage(const std::string& message) : std::runtime_error(message) {}
};

} // namespace nomilo
