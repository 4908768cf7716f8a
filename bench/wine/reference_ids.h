// Identifiers of the reference removal's dialog, the same numbers as the uninstaller's.
#ifndef BENCH_WINE_REFERENCE_IDS_H
#define BENCH_WINE_REFERENCE_IDS_H

#define IDC_REMOVING_TEXT 100  // the line "Removing: ..."
#define IDC_PROGRESS_BAR 200   // the bar, 0 to 100

#endif
