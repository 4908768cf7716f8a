// The process heap of the simulated Windows: real blocks, counted, and failing on demand.
// Heap calls stay out of the call journal: a large log would drown every other row.
#include <stdlib.h>

#include "platform/sim/sim_internal.h"

static int processHeap;  // its address is the heap's handle

HANDLE WINAPI GetProcessHeap(void)
{
    return &processHeap;
}

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes)
{
    (void)dwFlags;
    SimMachine& machine = Machine();
    if (hHeap != &processHeap || SimFaultHit("HeapAlloc", "", NULL))
        return NULL;
    // A block of 0 bytes is still a distinct block, as on Windows.
    void* block = malloc(dwBytes > 0 ? dwBytes : 1);
    if (block == NULL)
        return NULL;
    machine.heap.liveBlocks++;
    machine.heap.allocations++;
    return block;
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem)
{
    (void)dwFlags;
    if (hHeap != &processHeap)
        return FALSE;
    // Freeing null succeeds and does nothing, as documented.
    if (lpMem != NULL) {
        free(lpMem);
        Machine().heap.liveBlocks--;
    }
    return TRUE;
}
