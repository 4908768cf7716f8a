// The modal dialog that offers a reduced clean-up when the uninstall log cannot be used.
#ifndef DIALOGS_FALLBACK_DIALOG_H
#define DIALOGS_FALLBACK_DIALOG_H

#include "platform/platform.h"

// Ends the dialog with 1 for "&Go on" and 2 for "Cancel".
INT_PTR CALLBACK FallbackDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

#endif
