// The progress dialog "UNINSTALLING": the item being removed and a bar from 0 to 100.
#include "dialogs/progress_dialog.h"

#include <math.h>
#include <stdio.h>

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_shared.h"
#include "foundation/process_state.h"

int LastProgressPos;

INT_PTR CALLBACK ProgressDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        if (GetDlgItem(hDlg, IDC_PROGRESS_BAR) != NULL) {
            SendDlgItemMessageA(hDlg, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
            SendDlgItemMessageA(hDlg, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        }
        CenterWindow(hDlg);
        return TRUE;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return PaintWithButtonFace(wParam);
    }
    // No command is handled: Enter, Esc and the close box leave the dialog to the run.
    return FALSE;
}

void ReportProgress(const char* name, double fraction)
{
    char text[MAX_PATH + 100];
    text[0] = '\0';
    if (name != NULL)
        snprintf(text, sizeof text, "Removing: %s", name);
    SetDlgItemTextA(ProgressDialog, IDC_REMOVING_TEXT, text);

    // Rounded in the FPU's default mode, halfway to even: 2/3 shows 67, 0.125 shows 12.
    int position = (int)lrint(fraction * 100.0);
    // Under Wine the bar repaints on every PBM_SETPOS, so only a change is sent.
    if (position != LastProgressPos) {
        LastProgressPos = position;
        SendDlgItemMessageA(ProgressDialog, IDC_PROGRESS_BAR, PBM_SETPOS, (WPARAM)position, 0);
    }
}
