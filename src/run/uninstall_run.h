// The uninstall run from start to final message, and the restart offer at its end.
#ifndef RUN_UNINSTALL_RUN_H
#define RUN_UNINSTALL_RUN_H

#include "platform/platform.h"
#include "uninstall_log/removal_list.h"

// The one removal list of the process: empty before WinMain starts, released at normal exit.
extern RemovalList ProcessRemovalList;

// WinMain's result when the question that opens either road could not be shown: no one was
// asked, nothing changed, and a caller must not take it for a run that ended as the user chose.
// Every other end of the run is 0; an internal error ends the process with 1.
enum { kExitQuestionNotShown = 2 };

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

// Asks whether to restart now and, on Yes, restarts Windows.
void RestartSystem(void);

#endif
