// Reading the uninstall log "_pxunins.dat" into the removal list.
#ifndef UNINSTALL_LOG_LOG_LOADER_H
#define UNINSTALL_LOG_LOG_LOADER_H

#include <stdio.h>

#include "uninstall_log/removal_list.h"

// The first four bytes of every uninstall log, read little-endian.
enum : uint32_t { UninstallLogMagic = 0x5749AAE0u };

// The longest path an entry may carry: a MAX_PATH block holds it with its NUL.
enum { kLongestLoggedPath = 259 };

// 1: the list holds exactly the log's entries in file order. 0: the log cannot be opened or was
// refused, and the list is empty.
int LoadUninstallLog(RemovalList* list, const char* logPath);

// Reads a log from a binary stream standing at its start, and leaves the stream open. 1 as
// above; 0 when refused, and the caller discards what the list holds.
int ParseUninstallLog(RemovalList* list, FILE* stream);

#endif
