#pragma once

namespace zarvex {

// Video work allocates and frees blocks of several megabytes per frame (ours
// and the codecs'). By default glibc returns such blocks to the kernel when
// they are freed, so every frame then pays for fresh, zeroed pages — about 6 %
// of an export's time. Keeping freed memory in the heap avoids that.

// Call once at start-up, before any thread is started.
void keepLargeBuffersInHeap();

// Returns freed heap memory to the system; call after a long job (an export)
// so an idle application does not hold on to its peak memory.
void releaseFreeMemory();

}  // namespace zarvex
