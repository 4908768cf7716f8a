// The simulated windows and controls: handles and their states, the messages every control
// answers and the progress bar's, showing, destroying, and the dialog item calls.
#include "platform/sim/sim_windows.h"

#include <stdio.h>

static const UINT PBM_GETPOS = 0x0408;

HWND HandleOf(SimWindowState* window)
{
    return reinterpret_cast<HWND>(window);
}

SimWindowState* WindowState(HWND hwnd)
{
    if (hwnd == NULL)
        return NULL;
    for (SimWindowState* window : Machine().ui.windows) {
        if (HandleOf(window) == hwnd)
            return window;
    }
    return NULL;
}

// The dialog item calls look for the dialog without a word to the last error.
static SimWindowState* ExistingWindow(HWND hwnd)
{
    SimWindowState* window = WindowState(hwnd);
    return window != NULL && !window->destroyed ? window : NULL;
}

SimWindowState* LiveWindow(HWND hwnd)
{
    SimWindowState* window = ExistingWindow(hwnd);
    if (window == NULL)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

bool IsDialog(const SimWindowState* window)
{
    return window->className == "#32770";
}

bool IsPushButton(const SimWindowState* control)
{
    DWORD kind = control->style & BS_TYPEMASK;
    return FoldCase(control->className) == "button" &&
           (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON);
}

std::string WindowName(HWND hwnd)
{
    if (hwnd == NULL)
        return "NULL";
    SimWindowState* window = WindowState(hwnd);
    if (window == NULL)
        return "unknown";
    if (IsDialog(window))
        return window->templateName;
    return WindowName(window->parent) + "#" + std::to_string(window->id);
}

std::string Hex(unsigned long long value)
{
    char text[24];
    snprintf(text, sizeof text, "0x%llX", value);
    return text;
}

INT_PTR CallProcedure(SimWindowState* dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    dialog->procedureMessages.push_back(message);
    if (dialog->procedure == NULL)
        return FALSE;
    return dialog->procedure(HandleOf(dialog), message, wParam, lParam);
}

void SetVisible(SimWindowState* window, bool visible)
{
    if (window->visible == visible)
        return;
    window->visible = visible;
    if (IsDialog(window))
        CallProcedure(window, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
}

// DestroyWindow's order: the window gets WM_DESTROY before its children go, WM_NCDESTROY last.
void DestroyWindowState(SimWindowState* window)
{
    if (window->destroyed)
        return;
    window->visible = false;
    if (IsDialog(window))
        CallProcedure(window, WM_DESTROY, 0, 0);
    for (HWND child : window->children) {
        SimWindowState* control = WindowState(child);
        if (control != NULL)
            DestroyWindowState(control);
    }
    if (IsDialog(window))
        CallProcedure(window, WM_NCDESTROY, 0, 0);
    window->destroyed = true;
}

SimWindowState* FindControl(SimWindowState* dialog, int id)
{
    for (HWND child : dialog->children) {
        SimWindowState* control = WindowState(child);
        if (control != NULL && !control->destroyed && control->id == id)
            return control;
    }
    return NULL;
}

static bool IsProgressBar(const SimWindowState* window)
{
    return FoldCase(window->className) == "msctls_progress32";
}

// The progress bar keeps its position inside its range, as comctl32 does after every change.
static void CoercePosition(SimWindowState* bar)
{
    if (bar->progressPos < bar->progressMin)
        bar->progressPos = bar->progressMin;
    if (bar->progressPos > bar->progressMax)
        bar->progressPos = bar->progressMax;
}

// A message sent to a control: the text messages every window answers, and the progress bar's.
LRESULT SendToControl(SimWindowState* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT) {
        // A NULL text sets an empty one.
        control->text = lParam != 0 ? (const char*)lParam : "";
        control->textHistory.push_back(control->text);
        return TRUE;
    }
    if (message == WM_GETTEXT) {
        if (wParam == 0)
            return 0;
        size_t length = control->text.size();
        if (length > wParam - 1)
            length = wParam - 1;  // cut to the buffer, still NUL-terminated
        memcpy((char*)lParam, control->text.data(), length);
        ((char*)lParam)[length] = '\0';
        return (LRESULT)length;
    }
    if (message == WM_GETTEXTLENGTH)
        return (LRESULT)control->text.size();
    if (!IsProgressBar(control))
        return 0;
    if (message == PBM_SETPOS) {
        int previous = control->progressPos;
        control->progressPos = (int)wParam;
        CoercePosition(control);
        control->positionHistory.push_back(control->progressPos);
        return previous;
    }
    if (message == PBM_SETRANGE) {
        // The range comes as two unsigned 16-bit halves: the minimum low, the maximum high.
        LRESULT previous = MAKELONG(control->progressMin, control->progressMax);
        control->progressMin = LOWORD(lParam);
        control->progressMax = HIWORD(lParam);
        CoercePosition(control);
        return previous;
    }
    if (message == PBM_GETPOS)
        return control->progressPos;
    return 0;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    std::string argument = WindowName(hWnd) + ", " + std::to_string(nCmdShow);
    SimWindowState* window = LiveWindow(hWnd);
    if (window == NULL) {
        SimRecordCall("ShowWindow", argument, FALSE);
        return FALSE;
    }
    // The result is the earlier visibility, not success.
    BOOL wasVisible = window->visible ? TRUE : FALSE;
    SetVisible(window, nCmdShow != SW_HIDE);
    SimRecordCall("ShowWindow", argument, wasVisible);
    return wasVisible;
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    std::string name = WindowName(hWnd);
    // A handle that names no window of this thread is refused as access denied.
    SimWindowState* window = ExistingWindow(hWnd);
    if (window == NULL || SimFaultHit("DestroyWindow", "", nullptr)) {
        SetLastError(ERROR_ACCESS_DENIED);
        window = NULL;
    }
    if (window == NULL) {
        SimRecordCall("DestroyWindow", name, FALSE);
        return FALSE;
    }
    DestroyWindowState(window);
    SimRecordCall("DestroyWindow", name, TRUE);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    std::string argument = WindowName(hDlg) + ", " + std::to_string(nIDDlgItem);
    SimWindowState* dialog = ExistingWindow(hDlg);
    SimWindowState* control = NULL;
    if (dialog != NULL && !SimFaultHit("GetDlgItem", "", nullptr)) {
        // Wine leaves the last error alone when no control has the id.
        control = FindControl(dialog, nIDDlgItem);
    }
    SimRecordCall("GetDlgItem", argument, control != NULL ? 1 : 0);
    return control != NULL ? HandleOf(control) : NULL;
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                   LPARAM lParam)
{
    std::string argument = WindowName(hDlg) + ", " + std::to_string(nIDDlgItem) + ", " +
                           Hex(Msg) + ", " + std::to_string((unsigned long long)wParam) + ", " +
                           Hex((unsigned long long)(ULONG_PTR)lParam);
    SimWindowState* dialog = ExistingWindow(hDlg);
    LRESULT result = 0;
    // A fault loses the message: the control never sees it.
    if (dialog != NULL && !SimFaultHit("SendDlgItemMessageA", "", nullptr)) {
        SimWindowState* control = FindControl(dialog, nIDDlgItem);
        if (control != NULL)
            result = SendToControl(control, Msg, wParam, lParam);
    }
    SimRecordCall("SendDlgItemMessageA", argument, result);
    return result;
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString)
{
    std::string text = lpString != NULL ? lpString : "";
    std::string argument = WindowName(hDlg) + ", " + std::to_string(nIDDlgItem) + ", " + text;
    SimWindowState* dialog = ExistingWindow(hDlg);
    BOOL result = FALSE;
    if (dialog != NULL && !SimFaultHit("SetDlgItemTextA", text.c_str(), nullptr)) {
        SimWindowState* control = FindControl(dialog, nIDDlgItem);
        if (control != NULL)
            result = (BOOL)SendToControl(control, WM_SETTEXT, 0, (LPARAM)text.c_str());
    }
    SimRecordCall("SetDlgItemTextA", argument, result);
    return result;
}
