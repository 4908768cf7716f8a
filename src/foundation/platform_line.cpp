// Telling the NT line of Windows from the consumer line.
#include "foundation/platform_line.h"

#include "foundation/internal_error.h"
#include "platform/platform.h"

int IsNtPlatform(void)
{
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;  // 148: the record every line of Windows knows
    if (!GetVersionExA(&version))
        InternalError(kModuleNumber, 37);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}
