// Wine's desktop and the top-level windows of other processes, as the UI driver and the benchmark's clock
// see them: one holder of the desktop, one way of finding a program's windows.
#ifndef PXWINE_WINE_WINDOWS_H
#define PXWINE_WINE_WINDOWS_H

#include <windows.h>

// "hold": keeps the desktop up until the process is ended; "probe": returns 0 once the desktop answers.
// 4 for any other mode, or when the screen cannot be reached or no window can be made on it.
int UseDesktop(const char *mode);

// The visible top-level windows of process `processId` (of every process when 0), in EnumWindows' order
// (front to back); at most `capacity` of them. Returns how many were stored.
int CollectVisibleWindows(DWORD processId, HWND *windows, int capacity);

#endif
