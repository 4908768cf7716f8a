// Scheduling a file for deletion at the next restart, on both lines of Windows.
#ifndef CLEANUP_DELETE_AT_RESTART_H
#define CLEANUP_DELETE_AT_RESTART_H

// 1 when directory\name will be deleted at the next restart, and RestartNeeded is then 1;
// 0 when it could not be scheduled, and RestartNeeded is as it was.
int ScheduleDeleteAtRestart(const char* directory, const char* name);

#endif
