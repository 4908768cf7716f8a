// The MIDI pipe driver: its shared-use count, its registration on each line of Windows, its
// file in the (32-bit) system folder, and the machine-wide product and maker keys.
#include "cleanup/pipe_driver.h"

#include "cleanup/delete_at_restart.h"
#include "cleanup/registry_cleanup.h"
#include "foundation/messages.h"
#include "foundation/paths.h"
#include "foundation/platform_line.h"
#include "foundation/process_state.h"
#include "foundation/text.h"
#include "platform/platform.h"

#include "foundation/fixed_names.h"

uint32_t ReleaseSharedDll(const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    DWORD count = 0;
    DWORD type = 0;
    DWORD size = sizeof count;
    if (RegQueryValueExA(key, name, NULL, &type, (LPBYTE)&count, &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        count = 0;
    // The stored count is never written: other installers own it as much as we do.
    if (count > 0)
        count--;
    if (count == 0)
        RegDeleteValueA(key, name);
    RegCloseKey(key);
    return count;
}

// The name is joined onto the system folder: a separator, a drive's colon, "." or ".." would
// reach outside it ("..\\EXPLORER.EXE" would schedule the shell for deletion). A trail byte of a
// double-byte character is not a separator.
static int IsPlainFileName(const char* name)
{
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
        return 0;
    for (const char* c = name; *c != '\0'; c++) {
        if (IsDBCSLeadByte((BYTE)*c) && c[1] != '\0') {
            c++;
            continue;
        }
        if (*c == '\\' || *c == '/' || *c == ':')
            return 0;
    }
    return 1;
}

// Reads the driver's file name from the machine-wide product key into a MAX_PATH buffer.
static int ReadDriverName(char* driverName)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0;
    DWORD size = MAX_PATH;
    LSTATUS status =
        RegQueryValueExA(key, kPipeDriverValue, NULL, &type, (LPBYTE)driverName, &size);
    RegCloseKey(key);
    // The type plays no part. An empty name would make every later step act on default values
    // and on the system folder itself: it counts as no name, as does a name that is no file name.
    return status == ERROR_SUCCESS && TerminateRegistryString(driverName, size, MAX_PATH) &&
           driverName[0] != '\0' && IsPlainFileName(driverName);
}

// The NT line: the first of "midi" ... "midi99" naming the driver, then its description.
static int UnregisterDriverNt(const char* driverName)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDrivers32Key, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        MessageBoxA(ProgressDialog, kAdministratorMessage, kMessageCaption, MB_OK);
        return 0;
    }
    char valueName[20];
    int found = 0;
    int namedAsExpandable = 0;
    for (int i = 0; i < kDriverListNames && !found; i++) {
        if (i == 0)
            snprintf(valueName, sizeof valueName, "%s", kDriverListName);
        else
            snprintf(valueName, sizeof valueName, "%s%d", kDriverListName, i);
        char data[MAX_PATH];
        DWORD type = 0;
        DWORD size = sizeof data;
        int names = RegQueryValueExA(key, valueName, NULL, &type, (LPBYTE)data, &size) == ERROR_SUCCESS &&
                    (type == REG_SZ || type == REG_EXPAND_SZ) &&
                    TerminateRegistryString(data, size, sizeof data) && EqualIgnoringAsciiCase(data, driverName);
        found = names && type == REG_SZ;
        if (names && type == REG_EXPAND_SZ)
            namedAsExpandable = 1;
    }
    // Only a REG_SZ value is the one to delete; a REG_EXPAND_SZ one naming the driver still
    // registers it, so the driver is not already unregistered and its file must stay.
    if (!found && namedAsExpandable) {
        RegCloseKey(key);
        return 0;
    }
    // No list value naming the driver: a run stopped after deleting it, or the user took the
    // driver out of the system's MIDI list. It is already unregistered; the file and our keys
    // must still go, or every later run would stop here.
    if (found) {
        LSTATUS status = RegDeleteValueA(key, valueName);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS)
            return 0;
    } else {
        RegCloseKey(key);
    }

    // Likewise a description that is not there is already gone; one that stays is a failure.
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriversDescKey, 0, KEY_ALL_ACCESS, &key);
    if (status == ERROR_FILE_NOT_FOUND)
        return 1;
    if (status != ERROR_SUCCESS)
        return 0;
    status = RegDeleteValueA(key, driverName);
    RegCloseKey(key);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

// Under WoW64 a 32-bit program's calls under the system folder reach the 32-bit one, where the
// installer put the driver; the deletion at restart is carried out with no redirection, and
// Windows XP x64 records the path as given. So the driver is named in the folder it really lies
// in. kernel32 before Windows XP lacks the function; 32-bit Windows refuses it
// (ERROR_CALL_NOT_IMPLEMENTED): a 0 means the system folder is the driver's.
static UINT GetDriverFolder(char* folder, UINT size)
{
    typedef UINT(WINAPI * GetSystemWow64DirectoryFunction)(LPSTR buffer, UINT bufferSize);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    GetSystemWow64DirectoryFunction getSystemWow64Directory =
        kernel != NULL ? (GetSystemWow64DirectoryFunction)(void*)GetProcAddress(
                             kernel, "GetSystemWow64DirectoryA")
                       : NULL;
    UINT length = getSystemWow64Directory != NULL ? getSystemWow64Directory(folder, size) : 0;
    if (length == 0)
        length = GetSystemDirectoryA(folder, size);
    return length;
}

int RemovePipeDriver(void)
{
    char driverName[MAX_PATH];
    if (!ReadDriverName(driverName))
        return 0;

    char driverFolder[MAX_PATH];
    UINT length = GetDriverFolder(driverFolder, sizeof driverFolder);
    if (length == 0 || length > MAX_PATH - 1)
        return 0;
    driverFolder[MAX_PATH - 1] = '\0';

    // The path to be scheduled must fit before anything is touched; it serves for nothing else.
    char driverPath[MAX_PATH];
    memcpy(driverPath, driverFolder, sizeof driverPath);
    if (!AppendPathComponent(driverPath, driverName))
        return 0;

    // Another program still uses the driver: all of it stays, and so do our keys.
    if (ReleaseSharedDll(driverName) != 0)
        return 1;

    if (IsNtPlatform()) {
        if (!UnregisterDriverNt(driverName))
            return 0;
    } else {
        // The consumer line lists its MIDI drivers in "system.ini"; a null string deletes the key.
        if (!WritePrivateProfileStringA(kSystemIniDrivers, kSystemIniDriverKey, NULL, kSystemIniFile))
            return 0;
    }

    // The driver may be loaded now: it can only go at the next restart.
    if (!ScheduleDeleteAtRestart(driverFolder, driverName))
        return 0;

    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProductKey);  // result ignored: the maker key decides
    DeleteKeyIfNoSubkeys(HKEY_LOCAL_MACHINE, kMakerKey);
    return 1;
}
