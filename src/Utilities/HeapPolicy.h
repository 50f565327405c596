#pragma once

// How the process's heap treats the large buffers a big library passes through (its file's
// bytes on every save and load). Without this the C library learns from the first freed
// buffer to carve later ones out of the heap, where, freed again, they stay resident: a
// library of 10,000 shortcuts then grows the process by megabytes with every edit.
namespace HeapPolicy {

// Call once at start, before the library is read: buffers of a megabyte or more are mapped
// on their own and given back whole when freed.
void returnLargeBuffers();

// Gives the system back the free memory at the heap's top and in its free pages, as after
// the start, whose reading leaves much of the heap free.
void trim();

} // namespace HeapPolicy
