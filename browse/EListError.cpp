#include "browse/EListError.h"

namespace nomilo {

EListError EListError::IndexOutOfBounds(int index) {
    return EListError("List index out of bounds (" + std::to_string(index) + ")");
}

EListError EListError::InsertFailed() {
    return EListError("Unable to insert a line");
}

} // namespace nomilo
