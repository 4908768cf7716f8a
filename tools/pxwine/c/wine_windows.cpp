// Wine's desktop holder and the finding of other processes' top-level windows (see wine_windows.h).
#include "wine_windows.h"

#include <string.h>

// Wine starts its desktop process (explorer.exe /desktop) for the first program that draws, lets it go again
// soon after the last one ends, and a program that ends in the desktop's first ten seconds or so waits for
// them at its exit. One process that holds the desktop for the whole session ("hold", ended by
// pxwine.session) and one that waits for it to settle ("probe") keep every timed or scripted run free of
// that wait.
//
// A desktop started while the X server could not be reached has no display driver for as long as it lives:
// the screen's DC still comes, but every window of every program on it fails to be made, so a program's
// first message box fails at once and shows nothing. Both modes make a window to know.
int UseDesktop(const char *mode)
{
    HDC screen = GetDC(NULL);
    if (screen == NULL)
        return 4;
    ReleaseDC(NULL, screen);
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    if (window == NULL)
        return 4;
    DestroyWindow(window);
    if (strcmp(mode, "hold") == 0)
        for (;;)
            Sleep(60000);
    return strcmp(mode, "probe") == 0 ? 0 : 4;
}

struct WindowList {
    DWORD processId;  // 0: any process
    HWND *items;
    int capacity;
    int count;
};

static BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    WindowList *list = (WindowList *)param;
    if (!IsWindowVisible(window))
        return TRUE;
    if (list->processId != 0) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != list->processId)
            return TRUE;
    }
    list->items[list->count++] = window;
    return list->count < list->capacity;
}

int CollectVisibleWindows(DWORD processId, HWND *windows, int capacity)
{
    WindowList list = { processId, windows, capacity, 0 };
    if (capacity > 0)
        EnumWindows(CollectWindow, (LPARAM)&list);
    return list.count;
}
