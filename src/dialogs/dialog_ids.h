// Identifiers shared by the resource script and the dialog procedures.
#ifndef DIALOGS_DIALOG_IDS_H
#define DIALOGS_DIALOG_IDS_H

#define IDC_REMOVING_TEXT 100  // the progress dialog's line "Removing: ..."
#define IDC_PROGRESS_BAR 200   // the progress dialog's bar, 0 to 100

#endif
