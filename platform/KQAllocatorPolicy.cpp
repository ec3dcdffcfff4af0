#include "platform/KQAllocatorPolicy.h"

#include <cstddef> // defines __GLIBC__ on the C library that has the calls below
#ifdef __GLIBC__
#include <malloc.h>
#endif

void KQConfigureAllocator()
{
#ifdef __GLIBC__
    // Records are made on pool threads and read on the main thread: with an arena per thread, a
    // large account's memory is spread over many arenas, each grown page by page.
    mallopt(M_ARENA_MAX, 2);
    // Setting the trim threshold also fixes the size from which blocks get a mapping of their own
    // (otherwise it adapts): 32 MiB, the most it would adapt to, so that a list's row vector comes
    // from the heap and is reused rather than mapped and faulted in anew.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, KQRetainedFreeMemory);
    // No fast bins: small blocks freed in bulk (a released list's million strings) are merged as
    // they are freed. In fast bins they would wait until some larger request merged them all at
    // once, a stall of about 50 ms laid on whichever load came next. The thread caches still serve
    // sizes that are freed and made again at once.
    mallopt(M_MXFAST, 0);
#endif
}

void KQReleaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
