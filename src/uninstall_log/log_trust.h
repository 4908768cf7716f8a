// Whether the uninstall log may be followed beyond the installation folder.
#ifndef UNINSTALL_LOG_LOG_TRUST_H
#define UNINSTALL_LOG_LOG_TRUST_H

#include "platform/platform.h"

// 1 when only administrators and the system could have written the log open at logHandle
// (opened with at least READ_CONTROL) in installDir (a folder path with its trailing separator):
// on the NT line the folder and the log both pass OnlyAdministratorsCanChange, on a local volume
// that keeps ACLs. On FAT or a network share anyone may have written it. The consumer line,
// which has no users to keep apart, trusts every log.
int IsLogTrusted(const char* installDir, HANDLE logHandle);

#endif
