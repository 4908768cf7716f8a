// Memory of the system: tagged allocation, release, and a block of bytes that can change size.
#ifndef FOUNDATION_MEMORY_H
#define FOUNDATION_MEMORY_H

#include <stddef.h>
#include <stdint.h>

// A block of size bytes with undefined contents, or null when the heap cannot supply it. The
// tags name the call site; they do not change the allocation.
void* AllocTagged(int module, int line, size_t size, int flag);

// Returns a block from AllocTagged to the heap; null is ignored.
void FreeIfSet(void* pointer);

// A block of bytes that its holder owns: null and 0 before first use, released with FreeIfSet.
struct ByteBuffer {
    unsigned char* data;  // the block of size bytes, or null when size is 0
    int32_t size;         // bytes held; never negative
};

// Gives the buffer a new block of n bytes holding the first min(size, n) old bytes. When the
// heap has no room the buffer stays exactly as it was; a negative n is an internal error.
void SetSize(ByteBuffer* buffer, int32_t n);

#endif
