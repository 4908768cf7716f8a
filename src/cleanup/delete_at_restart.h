// Scheduling a file for deletion at the next restart, on both lines of Windows.
#ifndef CLEANUP_DELETE_AT_RESTART_H
#define CLEANUP_DELETE_AT_RESTART_H

// 1 when directory\name will be deleted at the next restart, and RestartNeeded is then 1;
// 0 when it could not be scheduled, and RestartNeeded is as it was.
int ScheduleDeleteAtRestart(const char* directory, const char* name);

// Names the file or folder at path (full, at most 259 characters) for deletion at the next
// restart, leaving RestartNeeded as it is: the uninstaller's own leftovers, which no message
// speaks of. 1 when recorded; a folder on the consumer line never is, as wininit.ini deletes
// files only. A folder is deleted at the restart only when it is empty by then, so its records
// come after those of what lies in it.
int RecordDeleteAtRestart(const char* path, int isFolder);

#endif
