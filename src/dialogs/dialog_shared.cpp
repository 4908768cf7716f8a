// Centring on the screen and the button-face colour, for the progress and the fallback dialog.
#include "dialogs/dialog_shared.h"

INT_PTR PaintWithButtonFace(WPARAM deviceContext)
{
    SetBkColor((HDC)deviceContext, GetSysColor(COLOR_BTNFACE));
    return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);
}

void CenterWindow(HWND hwnd)
{
    RECT rect;
    GetWindowRect(hwnd, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    // Signed division truncates toward zero: a window 3 pixels wider than the screen gets -1.
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(hwnd, NULL, x, y, width, height, SWP_NOACTIVATE);
}
