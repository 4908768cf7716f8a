// The one fatal report of a broken internal assumption.
#ifndef FOUNDATION_INTERNAL_ERROR_H
#define FOUNDATION_INTERNAL_ERROR_H

// Every call site of the system reports under this module number.
enum { kModuleNumber = 10 };

// How many InternalError calls are under way: guards against a nested report while the first
// one's message box runs the thread's message loop.
extern int InternalErrorDepth;

// Set by a run that writes a report: receives the report's text before the process ends, and
// returns 1 when the box is not to be shown (a run that shows no window). Null: the box alone.
extern int (*InternalErrorReport)(const char* text);

// Shows "File %d\nLine %d" under the caption "Internal Error" and ends the process with exit
// code 1. Never returns.
void InternalError(int module, int line) __attribute__((noreturn));

// Nonzero when a debugger is attached; asks kernel32 afresh, since the consumer line's oldest
// versions have no IsDebuggerPresent.
int IsDebuggerAttached(void);

#endif
