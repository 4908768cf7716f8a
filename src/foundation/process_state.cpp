// Storage of the state shared by the steps of the run.
#include "foundation/process_state.h"

char InstallDir[MAX_PATH];
HWND ProgressDialog;
int RestartNeeded;
int LogTrusted;
