#pragma once

#include <stdexcept>
#include <string>

namespace nomilo {

// The error of the list controls' item models: a bad entry index, or an entry that could not be
// added.
class EListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;

    // "List index out of bounds (%d)", the index in place of %d.
    static EListError IndexOutOfBounds(int index);
    // "Unable to insert a line".
    static EListError InsertFailed();
};

} // namespace nomilo
