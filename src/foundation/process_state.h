// The state that several steps of the run share, declared once, low in the house.
#ifndef FOUNDATION_PROCESS_STATE_H
#define FOUNDATION_PROCESS_STATE_H

#include "platform/platform.h"

// The drive and folder of the running program with its trailing separator; empty until the
// run knows its own path, and never changed after that.
extern char InstallDir[MAX_PATH];

// The modeless progress dialog while it exists, otherwise null. It is also the owner of the
// pipe driver's message box, which therefore has no owner on the fallback road.
extern HWND ProgressDialog;

// 1 when the uninstall log could have been written by administrators and the system alone, as
// judged through the very handle that read it; 0 until it is read, and for any other log.
extern int LogTrusted;

// 1 once a file has been scheduled for deletion at the next restart; never set back to 0.
extern int RestartNeeded;

#endif
