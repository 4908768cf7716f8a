// The modeless progress dialog shown while the removal pass runs.
#ifndef DIALOGS_PROGRESS_DIALOG_H
#define DIALOGS_PROGRESS_DIALOG_H

#include "platform/platform.h"

// The position last sent to the progress bar; 0 at start, matching the bar's initial position.
extern int LastProgressPos;

INT_PTR CALLBACK ProgressDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

// The removal pass's ProgressCallback: shows "Removing: name" (or nothing for a null name) in
// ProgressDialog, and moves the bar only when its rounded position changes.
void ReportProgress(const char* name, double fraction);

#endif
