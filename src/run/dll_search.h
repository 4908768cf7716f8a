// The DLLs the run loads itself, and where the loader may look for the ones it loads by name.
#ifndef RUN_DLL_SEARCH_H
#define RUN_DLL_SEARCH_H

#include "platform/platform.h"

// Takes the program's folder and the working folder out of the loader's search where Windows
// allows it, and maps by full path the system DLLs that system DLLs ask for later by name. The
// first step of every process of the program, before anything loads a DLL by name.
void RestrictDllSearch(void);

// Makes the program's own manifest the active activation context for the rest of the run, where
// the system has them, loads the common controls and registers the progress bar's class.
void LoadCommonControls(HINSTANCE instance);

#endif
