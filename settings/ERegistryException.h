#pragma once

#include <stdexcept>
#include <string>

namespace nomilo {

// The registry layer's error; it carries only its message, one of "Invalid data type for
// '%s'", "Failed to create key %s", "Failed to set data for '%s'", "Failed to get data for
// '%s'" with the value name or key path in place of %s.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace nomilo
