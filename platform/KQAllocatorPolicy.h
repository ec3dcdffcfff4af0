#pragma once
// How the program's heap grows and shrinks. A large account is a few hundred thousand small
// objects, made on pool threads, released when a list is replaced and made again when the next one
// loads. Left to itself, the C library hands the freed pages back to the system at once, and the
// next load takes a page fault for each of them again: on a virtual machine that is most of the
// load's time.

// Called first thing in main(), before any thread starts: at most two allocator arenas, no fast
// bins, and up to KQRetainedFreeMemory bytes of freed heap kept for the next load instead of given
// back at once.
void KQConfigureAllocator();

// Gives the freed heap back to the system now: after work that made and dropped much more than the
// program keeps (a backup, an import), so that it does not stay larger than it was.
void KQReleaseFreedMemory();

// The freed heap kept for reuse: enough for a 100,000-contact account's records and list rows.
inline constexpr int KQRetainedFreeMemory = 256 * 1024 * 1024;
