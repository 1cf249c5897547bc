#include "media/heap_tuning.h"

#include <malloc.h>

namespace zarvex {

void keepLargeBuffersInHeap() {
    // Blocks up to 256 MB come from the heap instead of their own mappings,
    // and the heap is not trimmed below 1 GB of free space on every free.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

void releaseFreeMemory() {
    malloc_trim(0);
}

}  // namespace zarvex
