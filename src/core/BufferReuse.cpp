#include "core/BufferReuse.h"

#include <malloc.h>

namespace klv {

void keepFreedBuffersForReuse() {
#if defined(M_MMAP_THRESHOLD) && defined(M_TRIM_THRESHOLD)
    // Buffers up to 4 MB come from the heap, and up to 32 MB of freed memory stays there for reuse. Both are needed:
    // either alone makes matters worse (every buffer mapped, or the heap trimmed after every free).
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
#endif
}

} // namespace klv
