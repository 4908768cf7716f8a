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

// What the NT line's driver list says of the driver, read whole before anything is touched.
struct DriverListing {
    // The "midi" ... "midi99" values to delete: REG_SZ, naming the driver by its bare file name.
    unsigned char named[kDriverListNames];
    int count;
    // A value that registers the driver in a form this run does not delete: as REG_EXPAND_SZ, or
    // by a path ending in its name. Deleting the others and the file would leave it naming nothing.
    int namedOtherwise;
};

static void DriverListValueName(char* valueName, size_t size, int i)
{
    if (i == 0)
        snprintf(valueName, size, "%s", kDriverListName);
    else
        snprintf(valueName, size, "%s%d", kDriverListName, i);
}

// 1 when data names the driver by a path: it has a folder, and its last name, read with the
// double-byte rules, is the driver's.
static int NamesDriverByPath(const char* data, const char* driverName)
{
    char folder[MAX_PATH];
    char name[MAX_PATH];
    ExtractPathParts(folder, data, PathPartDrive | PathPartDir);
    ExtractPathParts(name, data, PathPartName | PathPartExt);
    return folder[0] != '\0' && EqualIgnoringAsciiCase(name, driverName);
}

static int ReadDriverList(const char* driverName, DriverListing* listing)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDrivers32Key, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        MessageBoxA(ProgressDialog, kAdministratorMessage, kMessageCaption, MB_OK);
        return 0;
    }
    listing->count = 0;
    listing->namedOtherwise = 0;
    for (int i = 0; i < kDriverListNames; i++) {
        char valueName[20];
        DriverListValueName(valueName, sizeof valueName, i);
        char data[MAX_PATH];
        DWORD type = REG_SZ;  // a system that tells no type of a value too long is taken at its word
        DWORD size = sizeof data;
        listing->named[i] = 0;
        LSTATUS status = RegQueryValueExA(key, valueName, NULL, &type, (LPBYTE)data, &size);
        if ((status != ERROR_SUCCESS && status != ERROR_MORE_DATA) ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            continue;
        // A string this run cannot read whole (too long: the size reported is beyond the buffer;
        // filling it without a NUL) may name the driver by a long path: it stays, and so must the
        // file it names.
        if (!TerminateRegistryString(data, size, sizeof data)) {
            listing->namedOtherwise = 1;
            continue;
        }
        int bare = EqualIgnoringAsciiCase(data, driverName);
        if (bare && type == REG_SZ) {
            listing->named[i] = 1;
            listing->count++;
        } else if (bare || NamesDriverByPath(data, driverName)) {
            listing->namedOtherwise = 1;
        }
    }
    RegCloseKey(key);
    return 1;
}

// The NT line: every driver-list value the listing found, then the driver's description.
static int UnregisterDriverNt(const char* driverName, const DriverListing* listing)
{
    // No list value naming the driver: a run stopped after deleting it, or the user took the
    // driver out of the system's MIDI list. It is already unregistered; the file and our keys
    // must still go, or every later run would stop here.
    HKEY key;
    if (listing->count > 0) {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDrivers32Key, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return 0;
        LSTATUS status = ERROR_SUCCESS;
        for (int i = 0; i < kDriverListNames && status == ERROR_SUCCESS; i++) {
            char valueName[20];
            DriverListValueName(valueName, sizeof valueName, i);
            if (listing->named[i])
                status = RegDeleteValueA(key, valueName);
        }
        RegCloseKey(key);
        if (status != ERROR_SUCCESS)
            return 0;
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
// (ERROR_CALL_NOT_IMPLEMENTED): only then is the system folder the driver's. Any other failure
// leaves the folder unknown, and system32 would be the 64-bit files' folder.
static UINT GetDriverFolder(char* folder, UINT size)
{
    typedef UINT(WINAPI * GetSystemWow64DirectoryFunction)(LPSTR buffer, UINT bufferSize);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    GetSystemWow64DirectoryFunction getSystemWow64Directory =
        kernel != NULL ? (GetSystemWow64DirectoryFunction)(void*)GetProcAddress(
                             kernel, "GetSystemWow64DirectoryA")
                       : NULL;
    if (getSystemWow64Directory != NULL) {
        UINT length = getSystemWow64Directory(folder, size);
        if (length != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
            return length;
    }
    return GetSystemDirectoryA(folder, size);
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

    // The list is read whole first: a registration this run cannot take out must stop it before
    // the use count is consulted, which deletes a count of 1.
    int ntLine = IsNtPlatform();
    DriverListing listing;
    if (ntLine && (!ReadDriverList(driverName, &listing) || listing.namedOtherwise))
        return 0;

    // Another program still uses the driver: all of it stays, and so do our keys.
    if (ReleaseSharedDll(driverName) != 0)
        return 1;

    if (ntLine) {
        if (!UnregisterDriverNt(driverName, &listing))
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
