// The simulated drawing and metrics: the system colours and brushes, the one device context of
// each window, window rectangles and their moves, and the system metrics.
#include "platform/sim/sim_windows.h"

static const UINT SWP_NOSIZE = 0x0001, SWP_NOMOVE = 0x0002;
static const UINT SWP_SHOWWINDOW = 0x0040, SWP_HIDEWINDOW = 0x0080;
static const int SM_CYCAPTION = 4, SM_CXDLGFRAME = 7, SM_CYDLGFRAME = 8;
static const COLORREF CLR_INVALID = 0xFFFFFFFF;
static const COLORREF kButtonFaceColour = 0x00C0C0C0;  // COLOR_BTNFACE in the classic scheme
static const int kSystemColourCount = 31;               // COLOR_SCROLLBAR (0) to COLOR_MENUBAR (30)

struct HBRUSH__ {
    int index;
};

// The system's brushes: their addresses serve as handles.
static SimBrush g_systemBrushes[kSystemColourCount];

DWORD WINAPI GetSysColor(int nIndex)
{
    // The uninstaller asks for the button face only; other colours are not simulated and read
    // as 0, what Windows answers for an index it does not know.
    DWORD colour = nIndex == COLOR_BTNFACE ? kButtonFaceColour : 0;
    SimRecordCall("GetSysColor", std::to_string(nIndex), colour);
    return colour;
}

HBRUSH WINAPI GetSysColorBrush(int nIndex)
{
    HBRUSH brush = NULL;
    // The system's brushes live as long as the system: the same handle for every call.
    if (nIndex >= 0 && nIndex < kSystemColourCount &&
        !SimFaultHit("GetSysColorBrush", "", nullptr)) {
        g_systemBrushes[nIndex].index = nIndex;
        brush = &g_systemBrushes[nIndex];
    }
    SimRecordCall("GetSysColorBrush", std::to_string(nIndex), brush != NULL ? 1 : 0);
    return brush;
}

static SimWindowState* DeviceContextOwner(HDC hdc)
{
    for (SimWindowState* window : Machine().ui.windows) {
        if (!window->destroyed && &window->deviceContext == hdc)
            return window;
    }
    return NULL;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color)
{
    SimWindowState* owner = DeviceContextOwner(hdc);
    COLORREF previous = CLR_INVALID;
    if (owner != NULL && !SimFaultHit("SetBkColor", "", nullptr)) {
        previous = hdc->backgroundColour;
        hdc->backgroundColour = color;
    }
    SimRecordCall("SetBkColor", WindowName(owner != NULL ? HandleOf(owner) : NULL) + ", " +
                  Hex(color), previous);
    return previous;
}

HDC SimDeviceContextFor(HWND window)
{
    SimWindowState* state = LiveWindow(window);
    return state != NULL ? &state->deviceContext : NULL;
}

COLORREF SimBackgroundColour(HDC hdc)
{
    return hdc != NULL ? hdc->backgroundColour : CLR_INVALID;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    std::string name = WindowName(hWnd);
    SimWindowState* window = LiveWindow(hWnd);
    BOOL result = FALSE;
    if (window != NULL && !SimFaultHit("GetWindowRect", "", nullptr)) {
        *lpRect = window->rect;
        result = TRUE;
    }
    SimRecordCall("GetWindowRect", name, result);
    return result;
}

int WINAPI GetSystemMetrics(int nIndex)
{
    const SimUi& ui = Machine().ui;
    int value = 0;  // an index Windows does not know reads as 0
    if (!SimFaultHit("GetSystemMetrics", "", nullptr)) {
        if (nIndex == SM_CXSCREEN)
            value = ui.screenWidth;
        else if (nIndex == SM_CYSCREEN)
            value = ui.screenHeight;
        else if (nIndex == SM_CXDLGFRAME || nIndex == SM_CYDLGFRAME)
            value = kDialogFrame;
        else if (nIndex == SM_CYCAPTION)
            value = kCaptionHeight;
    }
    SimRecordCall("GetSystemMetrics", std::to_string(nIndex), value);
    return value;
}

static void MoveWindowState(SimWindowState* window, LONG dx, LONG dy)
{
    window->rect.left += dx;
    window->rect.right += dx;
    window->rect.top += dy;
    window->rect.bottom += dy;
    for (HWND child : window->children) {
        SimWindowState* control = WindowState(child);
        if (control != NULL)
            MoveWindowState(control, dx, dy);
    }
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy,
                         UINT uFlags)
{
    (void)hWndInsertAfter;  // the Z order is not simulated
    std::string argument = WindowName(hWnd) + ", " + std::to_string(X) + ", " + std::to_string(Y) +
                           ", " + std::to_string(cx) + ", " + std::to_string(cy) + ", " +
                           Hex(uFlags);
    SimWindowState* window = LiveWindow(hWnd);
    if (window == NULL || SimFaultHit("SetWindowPos", "", nullptr)) {
        SimRecordCall("SetWindowPos", argument, FALSE);
        return FALSE;
    }
    if (!(uFlags & SWP_NOMOVE))
        MoveWindowState(window, X - window->rect.left, Y - window->rect.top);
    if (!(uFlags & SWP_NOSIZE)) {
        // A negative size counts as 0.
        window->rect.right = window->rect.left + (cx > 0 ? cx : 0);
        window->rect.bottom = window->rect.top + (cy > 0 ? cy : 0);
    }
    // Showing or hiding through SetWindowPos sends no WM_SHOWWINDOW.
    if (uFlags & SWP_SHOWWINDOW)
        window->visible = true;
    if (uFlags & SWP_HIDEWINDOW)
        window->visible = false;
    SimRecordCall("SetWindowPos", argument, TRUE);
    return TRUE;
}
