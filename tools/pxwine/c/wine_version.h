// The Windows version Wine plays for a program, as the UI driver and the launcher set it before they start
// one.
#ifndef PXWINE_WINE_VERSION_H
#define PXWINE_WINE_VERSION_H

// `version` is Wine's name of it (NT line "winxp", consumer line "win98"), set under AppDefaults for
// `program`'s file name and as the prefix's default: the programs `program` starts, such as the
// uninstaller's copy under a name no one knows before, see the same Windows. Wine reads it when a process
// starts. 1 when both were written.
int SetWindowsVersion(const char *program, const char *version);

#endif
