// The folder the copy of the program is written to on the NT line.
#ifndef RUN_COPY_FOLDER_H
#define RUN_COPY_FOLDER_H

#include "platform/platform.h"

// A folder made new under tempFolder (with its trailing separator), "pxu" and eight hexadecimal
// digits that no one can know before, which only Administrators and SYSTEM can write to; its path
// into folder (MAX_PATH bytes). It is opened without delete sharing and its rights are checked
// through that handle, which the caller closes; INVALID_HANDLE_VALUE when no such folder could
// be made, and then none is left.
HANDLE MakeRestrictedFolder(const char* tempFolder, char* folder);

#endif
