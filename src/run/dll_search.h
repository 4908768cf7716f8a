// The DLLs the run loads itself, and where the loader may look for the ones it loads by name.
#ifndef RUN_DLL_SEARCH_H
#define RUN_DLL_SEARCH_H

// Takes the program's folder and the working folder out of the loader's search where Windows
// allows it, and maps by full path the system DLLs that system DLLs ask for later by name.
void RestrictDllSearch(void);

// Loads the common controls and registers the progress bar's class.
void LoadCommonControls(void);

#endif
