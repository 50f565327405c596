#pragma once

#include <QList>

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

// A list that runs out of room grows by half or more of its size, and keeps that room: for
// the tens of thousands of items of a large library, megabytes held for nothing after every
// edit that adds one. These keep the spare room small instead.

// Before an insertion of `more` items: when they do not fit, room for them and a little more.
template <class T> void makeRoom(QList<T>& list, qsizetype more = 1)
{
    if (list.size() + more > list.capacity())
        list.reserve(list.size() + more + 16 + list.size() / 64);
}

// After a list was changed by code that grows it the usual way: gives back room well beyond
// what makeRoom() would leave.
template <class T> void dropSpareRoom(QList<T>& list)
{
    if (list.capacity() - list.size() > 64 + list.size() / 32)
        list.squeeze();
}

} // namespace HeapPolicy
