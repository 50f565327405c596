#include "Utilities/HeapPolicy.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace HeapPolicy {

void returnLargeBuffers()
{
#ifdef __GLIBC__
    // A fixed threshold also ends the C library's raising of it after each freed buffer.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
}

void trim()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace HeapPolicy
