#include "platform/process/FreeMemory.h"

#include <malloc.h>

namespace nomilo {

void ReleaseFreeMemory() {
    malloc_trim(0);
}

void ReturnLargeBlocksAtOnce() {
    // A threshold of its own also keeps the C library from raising it after each large free.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
}

} // namespace nomilo
