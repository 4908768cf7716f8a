// Reading the uninstall log "_pxunins.dat" into the removal list.
#ifndef UNINSTALL_LOG_LOG_LOADER_H
#define UNINSTALL_LOG_LOG_LOADER_H

#include <stdio.h>

#include "foundation/fixed_names.h"
#include "uninstall_log/removal_list.h"

// 1: the list holds exactly the log's entries in file order, and LogTrusted says whether others
// could have written them. 0: the log cannot be opened or was refused, and the list is empty.
int LoadUninstallLog(RemovalList* list, const char* logPath);

// What LoadUninstallLogHeld found.
enum LogHold {
    LogUnusable = 0,           // missing, unreadable or refused; the list is empty
    LogRead = 1,               // read as LoadUninstallLog reads it, and held to the process's end
    LogHeldByAnother = 2,      // another run (or an installer) writes it: nothing read
    LogReadBesideAReader = 3,  // read, but another program holds it for reading: no run is kept out
};

// As LoadUninstallLog, for the run no one watches: the log is kept open to the process's end, for
// reading and writing (only administrators may write it) without write sharing, so that a second
// run started meanwhile finds it held.
LogHold LoadUninstallLogHeld(RemovalList* list, const char* logPath);

// Closes the log LoadUninstallLogHeld holds, just before the run hands off to its copy: the
// stream's handle is inheritable, as msvcrt opens it, and a copy started before Vista (or on the
// consumer line) would inherit it and, holding it without delete sharing, fail to delete the log.
void ReleaseHeldUninstallLog(void);

// Reads a log from a binary stream standing at its start, and leaves the stream open. 1 as
// above; 0 when refused, and the caller discards what the list holds.
int ParseUninstallLog(RemovalList* list, FILE* stream);

#endif
