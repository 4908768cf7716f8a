// What the run's command line asks of it, and whether anyone could see a window it showed: the
// deployment tools' silent uninstall, its report and its exit codes.
#ifndef RUN_SILENT_MODE_H
#define RUN_SILENT_MODE_H

#include "platform/platform.h"

// An argument's room: the longest switch with a path of 259 characters.
enum { kArgumentBytes = MAX_PATH + 32 };

struct RunArguments {
    int silent;                 // /S: no window at all, /S being the confirmation
    int report;                 // /LOG or /LOG=FILE
    char reportPath[MAX_PATH];  // FILE of /LOG=FILE; empty for /LOG alone (a file named for the run)
    DWORD restartExitCode;      // N of /RESTARTEXITCODE=N: a silent run's code when a restart is needed
    char refused[kArgumentBytes];  // the first argument not known or not well formed, cut; "" if none
};

// Reads the command line as WinMain receives it, the program's name left out, split as Windows
// splits it: white space between arguments, a quoted part keeping its spaces (/LOG="C:\a b\r.txt").
// An unquoted /LOG= takes its spaces too, up to the next argument: no Windows path holds a " /".
// The switches are known in any case. 1 when every argument is known and well formed; 0 names
// the first other in refused. What could be read is filled in either way.
int ReadRunArguments(const char* commandLine, RunArguments* arguments);

// 0 when the process's window station is not visible (a service's; SYSTEM's in session 0), where a
// window would wait for an answer no one can give. 1 when it is, and where it cannot be asked.
int WindowStationIsVisible(void);

#endif
