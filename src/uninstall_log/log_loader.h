// Reading the uninstall log "_pxunins.dat" into the removal list.
#ifndef UNINSTALL_LOG_LOG_LOADER_H
#define UNINSTALL_LOG_LOG_LOADER_H

#include <stdio.h>

#include "foundation/fixed_names.h"
#include "uninstall_log/removal_list.h"

// 1: the list holds exactly the log's entries in file order, and LogTrusted says whether others
// could have written them. 0: the log cannot be opened or was refused, and the list is empty.
int LoadUninstallLog(RemovalList* list, const char* logPath);

// Reads a log from a binary stream standing at its start, and leaves the stream open. 1 as
// above; 0 when refused, and the caller discards what the list holds.
int ParseUninstallLog(RemovalList* list, FILE* stream);

#endif
