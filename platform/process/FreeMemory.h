#pragma once

namespace nomilo {

// Gives the memory the process has freed back to the system (malloc_trim): after a large piece
// of work, what it no longer holds stops counting as the process's own.
void ReleaseFreeMemory();

} // namespace nomilo
