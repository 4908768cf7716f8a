// Removal of the MIDI pipe driver: its registration, its file, and the machine-wide keys.
#ifndef CLEANUP_PIPE_DRIVER_H
#define CLEANUP_PIPE_DRIVER_H

#include <stdint.h>

// 1 when the driver was unregistered and its file scheduled for deletion, or when other
// programs still use it and it was left in place; 0 when a step failed.
int RemovePipeDriver(void);

// 1 while the machine-wide product key names a driver file this run could act on: after a
// RemovePipeDriver that returned 0, a registration it was refused, not one already gone.
int PipeDriverRegistered(void);

// The shared-use count of name less one (0 when the file may go); deletes the count's value
// when it reaches 0. Never writes a count.
uint32_t ReleaseSharedDll(const char* name);

#endif
