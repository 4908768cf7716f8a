#include "wine_version.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

static int SetVersionValue(const char *keyPath, const char *version)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return 0;
    LONG status = RegSetValueExA(key, "Version", 0, REG_SZ, (const BYTE *)version, (DWORD)strlen(version) + 1);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

int SetWindowsVersion(const char *program, const char *version)
{
    if (!SetVersionValue("Software\\Wine", version))
        return 0;
    const char *name = program;
    for (const char *p = program; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    char keyPath[MAX_PATH + 64];
    snprintf(keyPath, sizeof keyPath, "Software\\Wine\\AppDefaults\\%s", name);
    return SetVersionValue(keyPath, version);
}
