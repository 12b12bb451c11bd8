#include "platform/process/FreeMemory.h"

#include <malloc.h>

namespace nomilo {

void ReleaseFreeMemory() {
    malloc_trim(0);
}

} // namespace nomilo
