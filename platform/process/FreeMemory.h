#pragma once

namespace nomilo {

// Gives the memory the process has freed back to the system (malloc_trim): after a large piece
// of work, what it no longer holds stops counting as the process's own.
void ReleaseFreeMemory();

// From now on a block of a megabyte or more is mapped for itself and goes back to the system as
// soon as it is freed, whichever thread it was made on: a long-running program then holds about
// what it uses after a large read, also of what its threads made (a thread's own heap keeps
// what is freed at its end, which malloc_trim does not give back).
void ReturnLargeBlocksAtOnce();

} // namespace nomilo
