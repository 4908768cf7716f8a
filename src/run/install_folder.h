// The one spelling of the installation folder, InstallDir, under which the log's entries lie.
#ifndef RUN_INSTALL_FOLDER_H
#define RUN_INSTALL_FOLDER_H

#include "uninstall_log/removal_list.h"

// Sets InstallDir to the folder of the program at modulePath, resolved, with every 8.3 name made
// long (GetLongPathNameA, or FindFirstFileA name by name where the system lacks it) and its
// trailing separator. 0 when modulePath has no folder.
int SpellInstallDir(const char* modulePath);

// Once the log is read: 1 when an entry of the list lies in InstallDir, or when the list is empty.
// Otherwise InstallDir becomes the path of the folder it really is, as the system names it through
// a handle of it (from Vista on), and 1 when an entry lies in that. 0, the log not this folder's:
// no entry lies in either, or the system cannot name the folder's real path and the way to
// InstallDir passes a link.
int RespellInstallDirForLog(const RemovalList* list);

// The program's own path in the folder it really is, where the system can name it, and in
// InstallDir otherwise, with the file name of modulePath; into realPath (MAX_PATH bytes). The copy
// that removes the uninstaller holds that folder, and refuses one reached through a link.
void GetRealModulePath(const char* modulePath, char* realPath);

#endif
