// The fallback dialog "AFTERRUN": the uninstall cannot start; go on with a reduced clean-up?
#include "dialogs/fallback_dialog.h"

#include "dialogs/dialog_shared.h"

INT_PTR CALLBACK FallbackDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(hDlg);
        return TRUE;
    case WM_COMMAND:
        // The notification code is not looked at: Enter, Alt+G, Esc and the close box all
        // arrive as commands of button 1 or 2.
        if (LOWORD(wParam) == IDOK) {
            EndDialog(hDlg, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(hDlg, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return PaintWithButtonFace(wParam);
    }
    return FALSE;
}
