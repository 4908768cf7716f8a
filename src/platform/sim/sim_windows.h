// Shared by the simulated user interface's files: the window bookkeeping every one of them uses,
// and the user32 values only the simulation needs, with their <windows.h> values.
#ifndef PLATFORM_SIM_SIM_WINDOWS_H
#define PLATFORM_SIM_SIM_WINDOWS_H

#include <string>

#include "platform/sim/sim_internal.h"

static const UINT WM_DESTROY = 0x0002;
static const UINT WM_SETTEXT = 0x000C;
static const UINT WM_GETTEXT = 0x000D;
static const UINT WM_GETTEXTLENGTH = 0x000E;
static const UINT WM_SHOWWINDOW = 0x0018;
static const UINT WM_SETFONT = 0x0030;
static const UINT WM_NCDESTROY = 0x0082;
static const UINT WM_SYSCOMMAND = 0x0112;
static const WPARAM SC_CLOSE = 0xF060;
static const DWORD BS_TYPEMASK = 0x000F;
static const DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;

// The frame of a DS_MODALFRAME | WS_CAPTION window in the classic look at 96 dpi: a 3-pixel
// dialog frame on every side (SM_CXDLGFRAME, SM_CYDLGFRAME) and an 18-pixel caption bar
// (SM_CYCAPTION). GetSystemMetrics answers the same numbers.
static const int kDialogFrame = 3;
static const int kCaptionHeight = 18;

// A window's handle is the address of its state.
HWND HandleOf(SimWindowState* window);
// The state of a window that still exists; otherwise NULL and the last error that user32 sets
// for a handle that names no window.
SimWindowState* LiveWindow(HWND hwnd);
bool IsDialog(const SimWindowState* window);
bool IsPushButton(const SimWindowState* control);
// How the calls journal names a window: a dialog by its template, a control by dialog and id.
std::string WindowName(HWND hwnd);
std::string Hex(unsigned long long value);
// Hands a message to a dialog's procedure and notes it in the dialog's procedureMessages.
INT_PTR CallProcedure(SimWindowState* dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Shows or hides a window; a dialog hears of each change through WM_SHOWWINDOW.
void SetVisible(SimWindowState* window, bool visible);
void DestroyWindowState(SimWindowState* window);
SimWindowState* FindControl(SimWindowState* dialog, int id);
LRESULT SendToControl(SimWindowState* control, UINT message, WPARAM wParam, LPARAM lParam);

#endif
