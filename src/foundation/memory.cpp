// Tagged allocation from the heap, and the byte buffer that changes size by taking a new block.
#include "foundation/memory.h"

#include <string.h>

#include "foundation/internal_error.h"
#include "platform/platform.h"

void* AllocTagged(int module, int line, size_t size, int flag)
{
    // The tags name the call site for a reader of a trace; the heap does not need them.
    (void)module;
    (void)line;
    (void)flag;
    // The process heap, without HEAP_ZERO_MEMORY: the block is not cleared.
    return HeapAlloc(GetProcessHeap(), 0, size);
}

void FreeIfSet(void* pointer)
{
    if (pointer != NULL)
        HeapFree(GetProcessHeap(), 0, pointer);
}

void SetSize(ByteBuffer* buffer, int32_t n)
{
    if (n < 0)
        InternalError(kModuleNumber, 802);
    if (n == buffer->size)
        return;

    unsigned char* block = NULL;
    if (n > 0) {
        block = (unsigned char*)AllocTagged(kModuleNumber, 804, (size_t)n, 1);
        if (block == NULL)
            return;  // the holder sees the unchanged size
    }
    int32_t kept = buffer->size < n ? buffer->size : n;
    if (kept > 0)
        memcpy(block, buffer->data, (size_t)kept);
    FreeIfSet(buffer->data);
    buffer->data = block;
    buffer->size = n;
}
