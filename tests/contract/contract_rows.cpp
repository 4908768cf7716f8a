// The kernel32 and advapi32 behaviours the uninstaller relies on, one row each, run unchanged on
// the simulated Windows and on the real API of both lines: a row on which the two disagree fails.
#include "contract.h"
#include "run/administrator.h"

#include "foundation/object_trust.h"

// A BOOL result with the last error when it failed; the error of a success means nothing.
static void NoteResult(Observation* seen, BOOL result)
{
    if (result)
        Note(seen, "result=1");
    else
        Note(seen, "result=0 error=%lu", (unsigned long)GetLastError());
}

static void NoteFile(Observation* seen, const char* label, const char* path)
{
    char bytes[512];
    long count = ReadFileBytes(path, bytes, sizeof bytes);
    if (count < 0)
        Note(seen, "%s=missing", label);
    else
        NoteBytes(seen, label, bytes, (size_t)count);
}

// "(null)" in a text column stands for a NULL argument.
static const char* OrNull(const char* text)
{
    return strcmp(text, "(null)") == 0 ? NULL : text;
}

// ---- files and folders --------------------------------------------------------------------

static void SetupFolders(void)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "Full\\a.txt");
    MakeFile(path, "a", 1);
    ScratchPath(path, sizeof path, "Empty");
    MakeFolder(path);
    ScratchPath(path, sizeof path, "Data.TXT");
    MakeFile(path, "data", 4);
}

// row.path: the folder to remove; row.other: the path whose presence is noted afterwards.
static void RemoveFolder(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, row.path);
    NoteResult(seen, RemoveDirectoryA(path));
    ScratchPath(path, sizeof path, row.other);
    Note(seen, "present=%d", PathPresent(path));
}

// row.path: the file to delete; row.other: the path whose presence is noted afterwards.
static void DeleteScratchFile(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, row.path);
    NoteResult(seen, DeleteFileA(path));
    ScratchPath(path, sizeof path, row.other);
    Note(seen, "present=%d", PathPresent(path));
}

static void SetupFileInUse(void)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "busy.dll");
    MakeFile(path, "MZ", 2);
    HoldOpenWithoutDeleteSharing(path);
}

// ---- the C runtime's streams ----------------------------------------------------------------

// CR LF, a NUL and the DOS end-of-file mark: a text-mode read would change or stop at each.
static const char kStreamBytes[] = {'A', '\r', '\n', 'B', '\0', '\x1A', 'C'};

static void SetupStreamFile(void)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "log.dat");
    MakeFile(path, kStreamBytes, sizeof kStreamBytes);
}

// row.path: the file read whole in binary.
static void ReadStream(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, row.path);
    FILE* stream = _fsopen(path, "rb", _SH_DENYNO);
    if (!stream) {
        Note(seen, "stream=null");
        return;
    }
    char bytes[16];
    memset(bytes, kContractSentinel, sizeof bytes);
    size_t count = fread(bytes, 1, sizeof bytes, stream);
    Note(seen, "count=%lu", (unsigned long)count);
    NoteBytes(seen, "bytes", bytes, sizeof kStreamBytes + 1);
    Note(seen, "eof=%d", feof(stream) ? 1 : 0);
    fclose(stream);
}

// ---- registry -------------------------------------------------------------------------------

#define KEY_OF(name) CONTRACT_KEY "\\" name

static void SetupKeys(void)
{
    MakeKey(HKEY_CURRENT_USER, KEY_OF("Mixed Case"));
    // Wine's consumer line stops deleting a tree at a subkey whose name is longer than the one
    // enumerated before it; these names shrink, so the row sees the line's rule, not that slip.
    MakeKey(HKEY_CURRENT_USER, KEY_OF("Parent\\Audio\\Devices"));
    MakeKey(HKEY_CURRENT_USER, KEY_OF("Parent\\MIDI"));
    PutStringValue(HKEY_CURRENT_USER, KEY_OF("Parent"), "Kept", "1");
    PutStringValue(HKEY_CURRENT_USER, KEY_OF("Values"), "", "C:\\Apps\\tool.exe");
    PutStringValue(HKEY_CURRENT_USER, KEY_OF("Values"), "Path", "C:\\Apps\\tool.exe");
    PutStringValue(HKEY_LOCAL_MACHINE, KEY_OF("Machine"), "Name", "px.drv");
}

// row.path: the key below HKEY_CURRENT_USER, or below HKEY_LOCAL_MACHINE after "HKLM\";
// row.number: the access asked for.
static void OpenKey(Observation* seen, const ContractRow& row)
{
    HKEY root = HKEY_CURRENT_USER;
    const char* path = row.path;
    if (strncmp(path, "HKLM\\", 5) == 0) {
        root = HKEY_LOCAL_MACHINE;
        path += 5;
    }
    HKEY key = NULL;
    LSTATUS status = RegOpenKeyExA(root, path, 0, (REGSAM)row.number, &key);
    Note(seen, "status=%ld", (long)status);
    if (status == ERROR_SUCCESS)
        RegCloseKey(key);
}

// row.path: the key deleted below HKEY_CURRENT_USER; row.other: a key noted afterwards.
static void DeleteKey(Observation* seen, const ContractRow& row)
{
    Note(seen, "status=%ld", (long)RegDeleteKeyA(HKEY_CURRENT_USER, row.path));
    Note(seen, "key=%d below=%d", KeyPresent(HKEY_CURRENT_USER, row.path),
         KeyPresent(HKEY_CURRENT_USER, row.other));
}

// row.path: the key below the scratch key, "" for "Values", whose values are 17 bytes with their
// NUL; row.other: the value ("(null)": the default value); row.number: the capacity of the
// buffer it is read into, -1 for no buffer at all (the size alone is asked for).
static void QueryValue(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\%s", CONTRACT_KEY, *row.path ? row.path : "Values");
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        Note(seen, "open failed");
        return;
    }
    BYTE data[64];
    const int capacity = row.number < 0 ? 0 : row.number;
    if ((size_t)capacity >= sizeof data) {
        RegCloseKey(key);
        Note(seen, "capacity %d exceeds the test buffer", capacity);
        return;
    }
    memset(data, kContractSentinel, sizeof data);
    DWORD type = 0xDEAD;
    DWORD size = (DWORD)capacity;
    LSTATUS status = RegQueryValueExA(key, OrNull(row.other), NULL, &type,
                                      row.number < 0 ? NULL : data, &size);
    RegCloseKey(key);
    Note(seen, "status=%ld size=%lu", (long)status, (unsigned long)size);
    if (status == ERROR_SUCCESS && row.number < 0) {
        Note(seen, "type=%lu", (unsigned long)type);
    } else if (status == ERROR_SUCCESS) {
        Note(seen, "type=%lu", (unsigned long)type);
        NoteBytes(seen, "data", (const char*)data, (size_t)capacity + 1);
    } else {
        // What a refused read leaves in the buffer is undefined; past its end nothing changes.
        Note(seen, "past_end=%s",
             data[capacity] == (BYTE)kContractSentinel ? "untouched" : "written");
    }
}

// row.path: the key below HKEY_CURRENT_USER whose subkeys are counted.
static void CountSubkeys(Observation* seen, const ContractRow& row)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, row.path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        Note(seen, "open failed");
        return;
    }
    DWORD subkeys = 0xDEAD, values = 0xDEAD;
    LSTATUS status = RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL,
                                      NULL, NULL, NULL);
    RegCloseKey(key);
    Note(seen, "status=%ld subkeys=%lu values=%lu", (long)status, (unsigned long)subkeys,
         (unsigned long)values);
}

// A handle to Parent\Audio stays open while Parent is deleted below HKEY_CURRENT_USER.
static void UseHandleOfDeletedKey(Observation* seen, const ContractRow&)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KEY_OF("Parent\\Audio"), 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS) {
        Note(seen, "open failed");
        return;
    }
    Note(seen, "delete=%ld", (long)RegDeleteKeyA(HKEY_CURRENT_USER, KEY_OF("Parent")));
    DWORD subkeys = 0;
    Note(seen, "query=%ld", (long)RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL,
                                                   NULL, NULL, NULL, NULL, NULL));
    Note(seen, "close=%ld", (long)RegCloseKey(key));
}

// row.other: the value of the "Values" key to delete; row.number: the access the key is opened
// with, 0 for KEY_ALL_ACCESS.
static void DeleteValue(Observation* seen, const ContractRow& row)
{
    HKEY key = NULL;
    REGSAM access = row.number != 0 ? (REGSAM)row.number : KEY_ALL_ACCESS;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KEY_OF("Values"), 0, access, &key) != ERROR_SUCCESS) {
        Note(seen, "open failed");
        return;
    }
    Note(seen, "status=%ld", (long)RegDeleteValueA(key, row.other));
    DWORD size = 0;
    Note(seen, "after=%ld", (long)RegQueryValueExA(key, row.other, NULL, NULL, NULL, &size));
    RegCloseKey(key);
}

// ---- profile files --------------------------------------------------------------------------

// A profile file in the scratch folder, or CONTRACT_BARE_INI as given: the Windows folder's.
static void ProfilePath(char* out, size_t size, const char* name)
{
    if (strcmp(name, CONTRACT_BARE_INI) == 0)
        WindowsPath(out, size, name);
    else
        ScratchPath(out, size, name);
}

static const char* ProfileArgument(const char* name, const char* path)
{
    return strcmp(name, CONTRACT_BARE_INI) == 0 ? CONTRACT_BARE_INI : path;
}

static void MakeProfiles(const char* scratchName, const char* text, size_t length)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, scratchName);
    MakeFile(path, text, length);
    WindowsPath(path, sizeof path, CONTRACT_BARE_INI);
    MakeFile(path, text, length);
}

// The [rename] list reads back as "nul=C:\A.TMP", NUL, "x=yy", NUL, NUL: 18 characters counted,
// the final NUL at index 18, 19 bytes in all.
static const char kRenameProfile[] =
    "[other]\r\nkeep=1\r\n[rename]\r\nnul=C:\\A.TMP\r\nx=yy\r\n";

// A comment, blanks around a key and its value, and a line without '=': the list reads back as
// "nul=C:\WINDOWS\SYSTEM\PXPIPE.DLL", "b=two" and "plain", 45 characters with their NULs.
static const char kSpacedProfile[] =
    "[boot]\r\nshell=explorer.exe\r\n"
    "[rename]\r\nnul=C:\\WINDOWS\\SYSTEM\\PXPIPE.DLL\r\n; a comment\r\n  b = two  \r\n"
    "plain\r\n\r\n";

static void SetupRenameProfile(void)
{
    MakeProfiles("wininit.ini", kRenameProfile, sizeof kRenameProfile - 1);
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "spaced.ini");
    MakeFile(path, kSpacedProfile, sizeof kSpacedProfile - 1);
}

// row.path: the file; row.other: the section; row.number: the buffer's size.
static void ReadSection(Observation* seen, const ContractRow& row)
{
    char buffer[64];
    const int capacity = row.number;
    if ((size_t)capacity >= sizeof buffer) {
        Note(seen, "capacity %d exceeds the test buffer", capacity);
        return;
    }
    char path[MAX_PATH];
    ProfilePath(path, sizeof path, row.path);
    memset(buffer, kContractSentinel, sizeof buffer);
    DWORD count = GetPrivateProfileSectionA(row.other, buffer, (DWORD)capacity,
                                            ProfileArgument(row.path, path));
    Note(seen, "result=%lu", (unsigned long)count);
    NoteBytes(seen, "buffer", buffer, (size_t)capacity + 1);
}

// The section's name is written in another case than the one asked for; it keeps its own.
static const char kThreeSections[] =
    "[first]\r\na=1\r\n[Rename]\r\nold=C:\\OLD.TMP\r\n[last]\r\nz=9\r\n";

static void SetupThreeSections(void)
{
    MakeProfiles("three.ini", kThreeSections, sizeof kThreeSections - 1);
}

// Two equal lines: the list is written as given, nothing merged.
static const char kNewRenameList[] = "nul=C:\\X.TMP\0nul=C:\\X.TMP\0nul=C:\\Y.TMP\0";

// row.path: the file; row.other: the section; row.number 0 writes the list above, 1 an empty one.
static void WriteSection(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    ProfilePath(path, sizeof path, row.path);
    NoteResult(seen, WritePrivateProfileSectionA(row.other, row.number ? "\0" : kNewRenameList,
                                                 ProfileArgument(row.path, path)));
    NoteFile(seen, "file", path);
}

static const char kDrivers[] = "[drivers]\r\nwave=x.drv\r\nMIDIPx=px.drv\r\nmidi=y.drv\r\n";

static void SetupDrivers(void)
{
    MakeProfiles("system.ini", kDrivers, sizeof kDrivers - 1);
}

// row.path: the file; row.other: "section,key,value", "(null)" for a NULL key or value.
static void WriteProfileString(Observation* seen, const ContractRow& row)
{
    char section[32], key[32], value[32];
    if (sscanf(row.other, "%31[^,],%31[^,],%31s", section, key, value) != 3) {
        Note(seen, "bad row");
        return;
    }
    char path[MAX_PATH];
    ProfilePath(path, sizeof path, row.path);
    Note(seen, "result=%d", WritePrivateProfileStringA(section, OrNull(key), OrNull(value),
                                                       ProfileArgument(row.path, path))
                                ? 1
                                : 0);
    NoteFile(seen, "file", path);
}

// ---- path and system queries ----------------------------------------------------------------

// Notes a length-returning call's result as "len" (the text's length) or "len+1" (the size it
// needs) where it is one of these, and what it left in a buffer of size bytes.
static void NoteLengthResult(Observation* seen, unsigned long result, const char* text,
                             const char* buffer, size_t size)
{
    unsigned long length = (unsigned long)strlen(text);
    if (result == length)
        Note(seen, "result=len");
    else if (result == length + 1)
        Note(seen, "result=len+1");
    else
        Note(seen, "result=%lu(len=%lu)", result, length);
    if (buffer[0] == kContractSentinel)
        Note(seen, "buffer=untouched");
    else if (size > length && memcmp(buffer, text, length + 1) == 0)
        Note(seen, "buffer=text");
    else
        Note(seen, "buffer=other");
    Note(seen, "past_end=%s", buffer[size] == kContractSentinel ? "untouched" : "written");
}

static void SetupShortPathFolder(void)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "pxshort");
    MakeFolder(path);
}

// row.path: the path asked for; row.number: the buffer's size relative to the short path's
// length with its NUL. A path that has no short form notes the first call's failure.
static void ShortPath(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, row.path);
    char full[MAX_PATH];
    DWORD length = GetShortPathNameA(path, full, sizeof full);
    if (length == 0) {
        Note(seen, "result=0 error=%lu", (unsigned long)GetLastError());
        return;
    }
    if (length >= sizeof full) {
        Note(seen, "first call gave %lu", (unsigned long)length);
        return;
    }
    char buffer[MAX_PATH + 2];
    memset(buffer, kContractSentinel, sizeof buffer);
    size_t size = length + 1 + row.number;
    DWORD result = GetShortPathNameA(path, buffer, (DWORD)size);
    NoteLengthResult(seen, result, full, buffer, size);
    if (path[strlen(path) - 1] == '\\')
        Note(seen, "trailing=%s", full[length - 1] == '\\' ? "kept" : "dropped");
}

// row.number: the buffer's size relative to the folder's length with its NUL.
static void SystemDirectory(Observation* seen, const ContractRow& row)
{
    char full[MAX_PATH];
    UINT length = GetSystemDirectoryA(full, sizeof full);
    if (length == 0 || length >= sizeof full) {
        Note(seen, "first call gave %lu", (unsigned long)length);
        return;
    }
    char buffer[MAX_PATH + 2];
    memset(buffer, kContractSentinel, sizeof buffer);
    size_t size = length + 1 + row.number;
    UINT result = GetSystemDirectoryA(buffer, (UINT)size);
    NoteLengthResult(seen, result, full, buffer, size);
}

// row.number: the buffer's size relative to the path's length without its NUL. Windows XP fills
// a buffer that is too small to the last byte, returns its size and leaves no NUL.
static void ModuleFileName(Observation* seen, const ContractRow& row)
{
    char full[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, full, sizeof full);
    if (length == 0 || length >= sizeof full) {
        Note(seen, "first call gave %lu", (unsigned long)length);
        return;
    }
    char buffer[MAX_PATH + 2];
    memset(buffer, kContractSentinel, sizeof buffer);
    size_t size = length + row.number;
    SetLastError(0);
    DWORD result = GetModuleFileNameA(NULL, buffer, (DWORD)size);
    DWORD error = GetLastError();
    if (result == size)
        Note(seen, "result=size");
    else if (result == length)
        Note(seen, "result=len");
    else
        Note(seen, "result=%lu(len=%lu size=%lu)", (unsigned long)result, (unsigned long)length,
             (unsigned long)size);
    Note(seen, "error=%lu", (unsigned long)error);
    size_t kept = result < size ? result : size;
    Note(seen, "text=%s", memcmp(buffer, full, kept) == 0 ? "prefix" : "other");
    Note(seen, "nul=%s", memchr(buffer, 0, size) ? "yes" : "no");
    Note(seen, "past_end=%s", buffer[size] == kContractSentinel ? "untouched" : "written");
}

// row.number: the record size the caller states.
static void VersionQuery(Observation* seen, const ContractRow& row)
{
    BYTE record[160];
    memset(record, 0, sizeof record);
    OSVERSIONINFOA* version = (OSVERSIONINFOA*)record;
    version->dwOSVersionInfoSize = (DWORD)row.number;
    NoteResult(seen, GetVersionExA(version));
    if (version->dwPlatformId != 0)
        Note(seen, "platform=%lu", (unsigned long)version->dwPlatformId);
}

// ---- deletion at restart --------------------------------------------------------------------

static void SetupDriverFile(void)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "px.drv");
    MakeFile(path, "MZ", 2);
}

// row.path: the file scheduled for deletion.
static void ScheduleDeletion(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, row.path);
    SetLastError(0);
    NoteResult(seen, MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
    Note(seen, "present=%d pending=%d", PathPresent(path), PendingDeletion(path));
}

// ---- the hand-off to the copy in the temporary folder -----------------------------------------

// The simulation's machine has no file at the running program's path until a row makes one; on
// Windows the program's own file is always there.
static void SetupOwnFile(void)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    if (length != 0 && length < sizeof path && !PathPresent(path))
        MakeFile(path, "MZ", 2);
}

// A running program cannot delete its own file: what it leaves in its folder needs another
// process.
static void DeleteOwnFile(Observation* seen, const ContractRow&)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        Note(seen, "path=unknown");
        return;
    }
    NoteResult(seen, DeleteFileA(path));
    Note(seen, "present=%d", PathPresent(path));
}

// A handle of the running process itself, inheritable, with the rights row.number gives: the
// copy waits on such a handle and asks its exit code, which must not pass for an end.
static void WaitOnOwnProcess(Observation* seen, const ContractRow& row)
{
    HANDLE process = NULL;
    NoteResult(seen, DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                                     &process, (DWORD)row.number, TRUE, 0));
    if (process == NULL)
        return;
    Note(seen, "wait=%lu", (unsigned long)WaitForSingleObject(process, 0));
    DWORD code = 0;
    if (GetExitCodeProcess(process, &code))
        Note(seen, "code=%lu", (unsigned long)code);
    else
        Note(seen, "code=none error=%lu", (unsigned long)GetLastError());
    CloseHandle(process);
}

static void SetupNamedFolder(void)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "pxu0000");
    MakeFolder(path);
}

// An existing folder is never taken for a new one; one held open without delete sharing, with
// row.number's access, refuses removal until the handle goes. READ_CONTROL alone takes no part in
// sharing. Folders open by handle on the NT line only.
static void HoldNewFolder(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, row.path);
    NoteResult(seen, CreateDirectoryA(path, NULL));
    if (!RunsOnNtLine())
        return;
    HANDLE folder = CreateFileA(path, (DWORD)row.number, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    Note(seen, "opened=%d", folder != INVALID_HANDLE_VALUE);
    SetLastError(0);
    NoteResult(seen, RemoveDirectoryA(path));
    if (folder != INVALID_HANDLE_VALUE)
        CloseHandle(folder);
    NoteResult(seen, RemoveDirectoryA(path));
}

// The consumer line's copy: a file made where nothing was, with an 8.3 name that wininit.ini can
// take, and a copy over it.
static void MakeTemporaryFile(Observation* seen, const ContractRow&)
{
    char folder[MAX_PATH], path[MAX_PATH];
    ScratchPath(folder, sizeof folder, "");
    memset(path, kContractSentinel, sizeof path);
    UINT unique = GetTempFileNameA(folder, "pxu", 0, path);
    if (unique == 0) {
        Note(seen, "result=0 error=%lu", (unsigned long)GetLastError());
        return;
    }
    const char* name = strrchr(path, '\\') + 1;
    const char* dot = strchr(name, '.');
    Note(seen, "present=%d size=%ld prefix=%.3s short=%d", PathPresent(path),
         ReadFileBytes(path, folder, sizeof folder), name,
         dot != NULL && dot - name <= 8 && strlen(dot) <= 4);
    char source[MAX_PATH];
    ScratchPath(source, sizeof source, "run.exe");
    MakeFile(source, "MZrun", 5);
    NoteResult(seen, CopyFileA(source, path, TRUE));
    NoteResult(seen, CopyFileA(source, path, FALSE));
    Note(seen, "size=%ld", ReadFileBytes(path, folder, sizeof folder));
}

// A folder too can be named for deletion at the restart (the NT line's records), full or not.
static void ScheduleFolderDeletion(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, row.path);
    SetLastError(0);
    NoteResult(seen, MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
    Note(seen, "present=%d pending=%d", PathPresent(path), PendingDeletion(path));
}

// ---- 64-bit Windows: what WoW64 shows a 32-bit program ----------------------------------------

// Found as the uninstaller finds it: older kernels lack it, so it is never imported.
typedef UINT(WINAPI* GetSystemWow64DirectoryFunction)(LPSTR buffer, UINT size);

static GetSystemWow64DirectoryFunction FindGetSystemWow64Directory(void)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel ? (GetSystemWow64DirectoryFunction)(void*)GetProcAddress(
                        kernel, "GetSystemWow64DirectoryA")
                  : NULL;
}

// The WoW64 system folder, or 0 when the call is missing or refused.
static UINT Wow64Folder(char* folder, UINT size)
{
    GetSystemWow64DirectoryFunction getFolder = FindGetSystemWow64Directory();
    UINT length = getFolder ? getFolder(folder, size) : 0;
    return length < size ? length : 0;
}

// The last name of a path with A-Z folded, so that either build's spelling compares.
static void NoteLastName(Observation* seen, const char* label, const char* path)
{
    const char* name = strrchr(path, '\\');
    char folded[MAX_PATH];
    snprintf(folded, sizeof folded, "%s", name ? name + 1 : path);
    for (char* c = folded; *c; ++c)
        if (*c >= 'A' && *c <= 'Z')
            *c = (char)(*c - 'A' + 'a');
    Note(seen, "%s=%s", label, folded);
}

static int EqualFolded(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        char x = *a >= 'A' && *a <= 'Z' ? (char)(*a - 'A' + 'a') : *a;
        char y = *b >= 'A' && *b <= 'Z' ? (char)(*b - 'A' + 'a') : *b;
        if (x != y)
            return 0;
    }
    return *a == *b;
}

// The system folder into folder; 0, noted, when the call fails or does not fit.
static int SystemFolder(Observation* seen, char* folder, UINT size)
{
    UINT length = GetSystemDirectoryA(folder, size);
    if (length == 0 || length >= size) {
        Note(seen, "first call gave %lu", (unsigned long)length);
        return 0;
    }
    return 1;
}

// row.number: the buffer's size relative to the folder's length with its NUL. 32-bit Windows has
// the function from XP on and refuses it.
static void SystemWow64Directory(Observation* seen, const ContractRow& row)
{
    GetSystemWow64DirectoryFunction getFolder = FindGetSystemWow64Directory();
    Note(seen, "found=%d", getFolder ? 1 : 0);
    if (!getFolder)
        return;
    char full[MAX_PATH];
    SetLastError(0);
    UINT length = getFolder(full, sizeof full);
    if (length == 0 || length >= sizeof full) {
        Note(seen, "result=%lu error=%lu", (unsigned long)length, (unsigned long)GetLastError());
        return;
    }
    char buffer[MAX_PATH + 2];
    memset(buffer, kContractSentinel, sizeof buffer);
    size_t size = length + 1 + row.number;
    NoteLengthResult(seen, getFolder(buffer, (UINT)size), full, buffer, size);
    NoteLastName(seen, "name", full);
}

// The folder GetSystemDirectoryA names, where a WoW64 folder exists beside it.
static void SystemDirectoryBesideWow64(Observation* seen, const ContractRow&)
{
    char wow64[MAX_PATH];
    if (Wow64Folder(wow64, sizeof wow64) == 0) {
        Note(seen, "wow64=none");
        return;
    }
    char system[MAX_PATH];
    if (!SystemFolder(seen, system, sizeof system))
        return;
    NoteLastName(seen, "name", system);
}

// row.path: a file made under the system folder, then deleted there; where it lies is noted in
// the WoW64 folder, when there is one.
static void FileUnderSystemFolder(Observation* seen, const ContractRow& row)
{
    char system[MAX_PATH], wow64[MAX_PATH];
    if (!SystemFolder(seen, system, sizeof system))
        return;
    char path[2 * MAX_PATH], wow64Path[2 * MAX_PATH];
    snprintf(path, sizeof path, "%s\\%s", system, row.path);
    int hasWow64 = Wow64Folder(wow64, sizeof wow64) != 0;
    snprintf(wow64Path, sizeof wow64Path, "%s\\%s", hasWow64 ? wow64 : "", row.path);
    MakeFile(path, "MZ", 2);
    if (hasWow64)
        Note(seen, "in_wow64=%d", PathPresent(wow64Path));
    else
        Note(seen, "wow64=none");
    NoteResult(seen, DeleteFileA(path));
    if (hasWow64)
        Note(seen, "in_wow64_after=%d", PathPresent(wow64Path));
}

// "same" when the short form of the folder is the path as given, A-Z folded.
static void NoteShortForm(Observation* seen, const char* label, const char* folder)
{
    char shortPath[MAX_PATH];
    DWORD result = GetShortPathNameA(folder, shortPath, sizeof shortPath);
    Note(seen, "%s=%s", label, result == 0 || result >= sizeof shortPath ? "failed"
                               : EqualFolded(shortPath, folder)         ? "same"
                                                                        : "other");
}

// The short forms of the system folder and of the WoW64 folder, which the restart deletion
// schedules under.
static void ShortSystemFolders(Observation* seen, const ContractRow&)
{
    char system[MAX_PATH], wow64[MAX_PATH];
    if (!SystemFolder(seen, system, sizeof system))
        return;
    NoteShortForm(seen, "system", system);
    if (Wow64Folder(wow64, sizeof wow64) == 0)
        Note(seen, "wow64=none");
    else
        NoteShortForm(seen, "wow64", wow64);
}

// row.path: a file under the system folder scheduled for deletion at restart; the record is
// looked for as given and, where there is one, under the WoW64 folder.
static void RestartDeletionUnderSystemFolder(Observation* seen, const ContractRow& row)
{
    char system[MAX_PATH], wow64[MAX_PATH];
    if (!SystemFolder(seen, system, sizeof system))
        return;
    char path[2 * MAX_PATH];
    snprintf(path, sizeof path, "%s\\%s", system, row.path);
    SetLastError(0);
    NoteResult(seen, MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
    Note(seen, "pending=%d", PendingDeletion(path));
    if (Wow64Folder(wow64, sizeof wow64) == 0) {
        Note(seen, "wow64=none");
        return;
    }
    snprintf(path, sizeof path, "%s\\%s", wow64, row.path);
    Note(seen, "wow64_pending=%d", PendingDeletion(path));
}

static void SetupMachineValues(void)
{
    PutStringValue(HKEY_LOCAL_MACHINE, KEY_OF("Machine"), "Name", "px.drv");
    PutStringValue(HKEY_LOCAL_MACHINE, CONTRACT_APP_PATH_KEY, "", "C:\\Apps\\pxcontract.exe");
}

// Whether the key holds the value, opened in the 64-bit view: the machine's own, which a 32-bit
// program reaches only with KEY_WOW64_64KEY (32-bit Windows ignores the flag).
static int ValueIn64BitView(const char* path, const char* value)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExA(key, value, NULL, NULL, NULL, &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// row.path: a key below HKLM\Software, written by this program (setup); row.other: its value.
// Where the machine holds it: as named, and under Software\Wow6432Node.
static void MachineValueViews(Observation* seen, const ContractRow& row)
{
    char wow64Path[MAX_PATH];
    snprintf(wow64Path, sizeof wow64Path, "Software\\Wow6432Node%s", row.path + strlen("Software"));
    Note(seen, "native=%d wow6432node=%d", ValueIn64BitView(row.path, OrNull(row.other)),
         ValueIn64BitView(wow64Path, OrNull(row.other)));
}

// ---- links and rights -------------------------------------------------------------------------

// Target\a.txt with the link Link to it; EmptyTarget with EmptyLink to it.
static void SetupLinks(void)
{
    char path[MAX_PATH];
    char target[MAX_PATH];
    ScratchPath(path, sizeof path, "Target\\a.txt");
    MakeFile(path, "a", 1);
    ScratchPath(path, sizeof path, "EmptyTarget");
    MakeFolder(path);
    ScratchPath(path, sizeof path, "Link");
    ScratchPath(target, sizeof target, "Target");
    MakeLink(path, target);
    ScratchPath(path, sizeof path, "EmptyLink");
    ScratchPath(target, sizeof target, "EmptyTarget");
    MakeLink(path, target);
}

static void SetupDanglingLink(void)
{
    char path[MAX_PATH];
    char target[MAX_PATH];
    ScratchPath(target, sizeof target, "Removed");
    MakeFolder(target);
    ScratchPath(path, sizeof path, "Gone");
    MakeLink(path, target);
    RemoveDirectoryA(target);
}

static void SetupWritableFolder(void)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "Open");
    MakeFolder(path);
    MakeWritableByEveryone(path);
}

// row.path: what GetFileAttributesA and FindFirstFileA say of it.
static void LookAtItem(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, row.path);
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        Note(seen, "attributes=none error=%lu", (unsigned long)GetLastError());
    else
        Note(seen, "attributes=%lx", (unsigned long)attributes);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) {
        Note(seen, "found=none");
        return;
    }
    Note(seen, "found=%lx name=%s", (unsigned long)found.dwFileAttributes, found.cFileName);
    FindClose(search);
}

// The consumer line keeps no rights and opens no folder: its rows of those say so and stop.
static int NtLineScratchPath(Observation* seen, const ContractRow& row, char* path, size_t size)
{
    if (!RunsOnNtLine()) {
        Note(seen, "nt-line-only");
        return 0;
    }
    ScratchPath(path, size, row.path);
    return 1;
}

// row.path: a folder held as the removal pass holds the folders on its way, then removed.
static void RemoveHeldFolder(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    if (!NtLineScratchPath(seen, row, path, sizeof path))
        return;
    HANDLE held = CreateFileA(path, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                              NULL);
    Note(seen, "held=%d", held != INVALID_HANDLE_VALUE);
    NoteResult(seen, RemoveDirectoryA(path));
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    Note(seen, "present=%d", PathPresent(path));
}

// row.path: a folder opened through whatever links lead to it; the last name of the path the system
// gives the folder it really is, where it has GetFinalPathNameByHandleA.
static void FinalFolderName(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    if (!NtLineScratchPath(seen, row, path, sizeof path))
        return;
    typedef DWORD(WINAPI * GetFinalPathNameByHandleFunction)(HANDLE, LPSTR, DWORD, DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    GetFinalPathNameByHandleFunction getFinalPathNameByHandle =
        kernel ? (GetFinalPathNameByHandleFunction)(void*)GetProcAddress(kernel, "GetFinalPathNameByHandleA")
               : NULL;
    Note(seen, "found=%d", getFinalPathNameByHandle != NULL);
    if (getFinalPathNameByHandle == NULL)
        return;
    HANDLE folder = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    char name[MAX_PATH + 8];
    DWORD length = folder != INVALID_HANDLE_VALUE
                       ? getFinalPathNameByHandle(folder, name, sizeof name, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS)
                       : 0;
    if (folder != INVALID_HANDLE_VALUE)
        CloseHandle(folder);
    if (length == 0 || length >= sizeof name) {
        Note(seen, "named=0 error=%lu", (unsigned long)GetLastError());
        return;
    }
    Note(seen, "prefix=%.4s", name);
    NoteLastName(seen, "name", name);
}

// row.path: a folder, or a file in one, opened with DELETE as the copy opens what it removes, and
// marked for deletion through that handle; whether it is there once the handle is closed.
static void DeleteThroughHandle(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    if (!NtLineScratchPath(seen, row, path, sizeof path))
        return;
    typedef BOOL(WINAPI * SetFileInformationByHandleFunction)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetFileInformationByHandleFunction setFileInformationByHandle =
        kernel ? (SetFileInformationByHandleFunction)(void*)GetProcAddress(kernel, "SetFileInformationByHandle")
               : NULL;
    if (setFileInformationByHandle == NULL) {
        Note(seen, "found=0");
        return;
    }
    HANDLE item = CreateFileA(path, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    Note(seen, "opened=%d", item != INVALID_HANDLE_VALUE);
    if (item == INVALID_HANDLE_VALUE)
        return;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    NoteResult(seen, setFileInformationByHandle(item, FileDispositionInfo, &disposition, sizeof disposition));
    Note(seen, "before_close=%d", PathPresent(path));
    CloseHandle(item);
    ScratchPath(path, sizeof path, row.other);
    Note(seen, "present=%d", PathPresent(path));
}

// The working folder of a process refuses removal, empty as it may be: the system holds it open
// without delete sharing.
static void RemoveWorkingFolder(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, row.path);
    WorkInFolder(path);
    NoteResult(seen, RemoveDirectoryA(path));
    Note(seen, "present=%d", PathPresent(path));
}

// row.path: a folder whose owner and DACL are read; the verdict of the run's rule on them.
static void FolderTrust(Observation* seen, const ContractRow& row)
{
    char path[MAX_PATH];
    if (!NtLineScratchPath(seen, row, path, sizeof path))
        return;
    DWORD descriptor[256];
    DWORD needed = 0;
    if (!GetFileSecurityA(path, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor,
                          sizeof descriptor, &needed)) {
        Note(seen, "read=0 error=%lu", (unsigned long)GetLastError());
        return;
    }
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    Note(seen, "read=1 trusted=%d", OnlyAdministratorsCanChange(descriptor, version.dwMajorVersion, 0));
}

// ---- the token: is the run an administrator's ----------------------------------------------

// The Administrators group in the token, through the calls the run looks up in advapi32.
// row.number 0: CheckTokenMembership, as Windows 2000 on answers it; 1: the token's groups read
// whole, as the run must on NT 4 (the NT line alone: the consumer line has no tokens).
static void AdministratorsInToken(Observation* seen, const ContractRow& row)
{
    if (row.number == 1 && !RunsOnNtLine()) {
        Note(seen, "line=consumer");
        return;
    }
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    AllocateAndInitializeSidFunction allocateAndInitializeSid =
        (AllocateAndInitializeSidFunction)(void*)GetProcAddress(advapi, "AllocateAndInitializeSid");
    FreeSidFunction freeSid = (FreeSidFunction)(void*)GetProcAddress(advapi, "FreeSid");
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PSID administrators = NULL;
    if (allocateAndInitializeSid == NULL || freeSid == NULL ||
        !allocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                  0, 0, 0, &administrators)) {
        Note(seen, "sid=none");
        return;
    }
    if (row.number == 0) {
        CheckTokenMembershipFunction checkTokenMembership =
            (CheckTokenMembershipFunction)(void*)GetProcAddress(advapi, "CheckTokenMembership");
        Note(seen, "found=%d", checkTokenMembership != NULL);
        BOOL member = 7;  // neither TRUE nor FALSE: shows whether the call wrote it
        if (checkTokenMembership != NULL) {
            NoteResult(seen, checkTokenMembership(NULL, administrators, &member));
            Note(seen, "member=%d", (int)member);
        }
    } else {
        GetTokenInformationFunction getTokenInformation =
            (GetTokenInformationFunction)(void*)GetProcAddress(advapi, "GetTokenInformation");
        EqualSidFunction equalSid = (EqualSidFunction)(void*)GetProcAddress(advapi, "EqualSid");
        HANDLE token;
        if (getTokenInformation != NULL && equalSid != NULL &&
            OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            DWORD size = 0;
            BOOL sized = getTokenInformation(token, TokenGroups, NULL, 0, &size);
            Note(seen, "sizing=%d error=%lu", sized, (unsigned long)GetLastError());
            TOKEN_GROUPS* groups = (TOKEN_GROUPS*)malloc(size != 0 ? size : 1);
            NoteResult(seen, getTokenInformation(token, TokenGroups, groups, size, &size));
            const char* found = "absent";
            for (DWORD i = 0; groups != NULL && i < groups->GroupCount; i++) {
                if (equalSid(groups->Groups[i].Sid, administrators))
                    found = groups->Groups[i].Attributes & SE_GROUP_ENABLED ? "enabled" : "disabled";
            }
            Note(seen, "administrators=%s", found);
            free(groups);
            CloseHandle(token);
        } else {
            Note(seen, "token=none");
        }
    }
    freeSid(administrators);
}

// ---- the table ------------------------------------------------------------------------------

#define CRLF "\\x0D\\x0A"

static const ContractRow kRows[] = {
    // Files and folders: the removal pass and the start-menu group rely on these refusals.
    {"folder not empty refuses removal", SetupFolders, RemoveFolder, "Full", "Full\\a.txt", 0,
     "result=0 error=145 present=1", NULL},
    {"empty folder is removed", SetupFolders, RemoveFolder, "Empty", "Empty", 0,
     "result=1 present=0", NULL},
    {"folder with a trailing separator, other case", SetupFolders, RemoveFolder, "EMPTY\\",
     "Empty", 0, "result=1 present=0", NULL},
    {"missing folder", SetupFolders, RemoveFolder, "None", "None", 0,
     "result=0 error=2 present=0", NULL},
    {"folder in a missing parent", SetupFolders, RemoveFolder, "None\\Sub", "None", 0,
     "result=0 error=3 present=0", NULL},
    {"file is no folder", SetupFolders, RemoveFolder, "Data.TXT", "Data.TXT", 0,
     "result=0 error=267 present=1", NULL},
    {"file name in other case is deleted", SetupFolders, DeleteScratchFile, "dATA.txt",
     "Data.TXT", 0, "result=1 present=0", NULL},
    {"forward slash separates like a backslash", SetupFolders, DeleteScratchFile, "full/A.TXT",
     "Full\\a.txt", 0, "result=1 present=0", NULL},
    {"missing file", SetupFolders, DeleteScratchFile, "none.txt", "none.txt", 0,
     "result=0 error=2 present=0", NULL},
    {"file in missing folder", SetupFolders, DeleteScratchFile, "None\\a.txt", "None\\a.txt", 0,
     "result=0 error=3 present=0", NULL},
    {"folder is no file", SetupFolders, DeleteScratchFile, "Empty", "Empty", 0,
     "result=0 error=5 present=1", NULL},
    {"file in use refuses deletion", SetupFileInUse, DeleteScratchFile, "busy.dll", "busy.dll", 0,
     "result=0 error=32 present=1", NULL},

    // Links (Wine: Unix symbolic links) and the removal pass, which passes none below the
    // installation folder, holds the folders on its way, and leaves a folder entry that is one.
    {"a link shows as a folder that is a reparse point", SetupLinks, LookAtItem, "Link", "", 0,
     "attributes=410 found=410 name=Link", NULL},
    {"a file through a link is the target's", SetupLinks, LookAtItem, "Link\\a.txt", "", 0,
     "attributes=20 found=20 name=a.txt", NULL},
    {"a link to a folder that is gone shows nothing", SetupDanglingLink, LookAtItem, "Gone", "", 0,
     "attributes=none error=2 found=none", NULL},
    {"a link to a folder is no file", SetupLinks, DeleteScratchFile, "Link", "Target\\a.txt", 0,
     "result=0 error=5 present=1", NULL},
    {"a link to a folder not empty is not removed", SetupLinks, RemoveFolder, "Link",
     "Target\\a.txt", 0, "result=0 error=145 present=1", NULL},
    {"a link to an empty folder removes that folder", SetupLinks, RemoveFolder, "EmptyLink",
     "EmptyTarget", 0, "result=1 present=0", NULL},
    {"a folder held without delete sharing stays", SetupLinks, RemoveHeldFolder, "EmptyTarget",
     "", 0, "held=1 result=0 error=32 present=1", "nt-line-only"},
    // The installation folder's one spelling, and what the copy removes through the handles it
    // checked: a folder marked through its handle goes at the close, once empty; Wine marks the
    // folder a link leads to, as it removes it through RemoveDirectoryA.
    {"a folder reached through a link is named by its own path", SetupLinks, FinalFolderName, "Link",
     "", 0, "found=1 prefix=\\\\?\\ name=target", "nt-line-only"},
    {"an empty folder marked through its handle goes at the close", SetupFolders, DeleteThroughHandle,
     "Empty", "Empty", 0, "opened=1 result=1 before_close=1 present=0", "nt-line-only"},
    {"a folder not empty refuses the mark", SetupFolders, DeleteThroughHandle, "Full", "Full", 0,
     "opened=1 result=0 error=145 before_close=1 present=1", "nt-line-only"},
    {"a file marked through its handle goes at the close", SetupFolders, DeleteThroughHandle,
     "Full\\a.txt", "Full\\a.txt", 0, "opened=1 result=1 before_close=1 present=0", "nt-line-only"},
    {"a link marked through its handle takes the folder it leads to", SetupLinks, DeleteThroughHandle,
     "EmptyLink", "EmptyTarget", 0, "opened=1 result=1 before_close=1 present=0", "nt-line-only"},
    {"the working folder refuses removal", SetupFolders, RemoveWorkingFolder, "Empty", "", 0,
     "result=0 error=32 present=1", NULL},
    {"a folder as made is changed by administrators alone", SetupFolders, FolderTrust, "Empty",
     "", 0, "read=1 trusted=1", "nt-line-only"},
    {"a folder writable by everyone", SetupWritableFolder, FolderTrust, "Open", "", 0,
     "read=1 trusted=0", "nt-line-only"},

    // The log is read whole, in binary.
    {"stream reads bytes unchanged", SetupStreamFile, ReadStream, "log.dat", "", 0,
     "count=7 bytes=A\\x0D\\x0AB|\\x1AC# eof=1", NULL},
    {"stream of missing file", SetupStreamFile, ReadStream, "none.dat", "", 0, "stream=null",
     NULL},

    // Registry.
    {"key name in other case opens", SetupKeys, OpenKey, "SOFTWARE\\pxcontract\\MIXED case", "",
     (int)KEY_ALL_ACCESS, "status=0", NULL},
    {"key name with a trailing backslash opens", SetupKeys, OpenKey, KEY_OF("Mixed Case\\"), "",
     (int)KEY_READ, "status=0", NULL},
    {"forward slash is no key separator", SetupKeys, OpenKey, "Software/PxContract", "",
     (int)KEY_READ, "status=2", NULL},
    {"missing key does not open", SetupKeys, OpenKey, KEY_OF("None"), "", (int)KEY_ALL_ACCESS,
     "status=2", NULL},
    {"machine key opens for reading", SetupKeys, OpenKey, "HKLM\\" KEY_OF("Machine"), "",
     (int)KEY_READ, "status=0", NULL},
    // The NT line refuses a key with subkeys; the consumer line deletes it with all below it.
    {"key with subkeys", SetupKeys, DeleteKey, KEY_OF("Parent"), KEY_OF("Parent\\Audio\\Devices"),
     0, "status=5 key=1 below=1", "status=0 key=0 below=0"},
    {"key with values only is deleted", SetupKeys, DeleteKey, KEY_OF("Values"), CONTRACT_KEY, 0,
     "status=0 key=0 below=1", NULL},
    {"key name in other case is deleted", SetupKeys, DeleteKey, "software\\PXCONTRACT\\mixed CASE",
     CONTRACT_KEY, 0, "status=0 key=0 below=1", NULL},
    {"missing key is not deleted", SetupKeys, DeleteKey, KEY_OF("None"), CONTRACT_KEY, 0,
     "status=2 key=0 below=1", NULL},
    {"value with room to spare", SetupKeys, QueryValue, "", "Path", 18,
     "status=0 size=17 type=1 data=C:\\Apps\\tool.exe|##", NULL},
    {"value fits exactly", SetupKeys, QueryValue, "", "Path", 17,
     "status=0 size=17 type=1 data=C:\\Apps\\tool.exe|#", NULL},
    {"value one byte too long", SetupKeys, QueryValue, "", "Path", 16,
     "status=234 size=17 past_end=untouched", NULL},
    {"default value", SetupKeys, QueryValue, "", "(null)", 17,
     "status=0 size=17 type=1 data=C:\\Apps\\tool.exe|#", NULL},
    {"value name in other case", SetupKeys, QueryValue, "", "pATH", 17,
     "status=0 size=17 type=1 data=C:\\Apps\\tool.exe|#", NULL},
    {"missing value", SetupKeys, QueryValue, "", "None", 17, "status=2 size=17 past_end=untouched",
     NULL},
    {"value size alone", SetupKeys, QueryValue, "", "Path", -1, "status=0 size=17 type=1", NULL},
    {"unset default value", SetupKeys, QueryValue, "Parent", "(null)", 17,
     "status=2 size=17 past_end=untouched", NULL},
    {"subkeys are counted", SetupKeys, CountSubkeys, KEY_OF("Parent"), "", 0,
     "status=0 subkeys=2 values=1", NULL},
    {"no subkeys counts 0", SetupKeys, CountSubkeys, KEY_OF("Values"), "", 0,
     "status=0 subkeys=0 values=2", NULL},
    // The consumer line deletes the tree under the open handle, which then reports the key gone.
    {"handle of a deleted key", SetupKeys, UseHandleOfDeletedKey, "", "", 0,
     "delete=5 query=0 close=0", "delete=0 query=1018 close=0"},
    {"value is deleted", SetupKeys, DeleteValue, "", "path", 0, "status=0 after=2", NULL},
    // The consumer line has no access rights: a key opened for reading deletes values.
    {"value of a key opened for reading", SetupKeys, DeleteValue, "", "Path", (int)KEY_READ,
     "status=5 after=0", "status=0 after=2"},
    {"missing value is not deleted", SetupKeys, DeleteValue, "", "None", 0, "status=2 after=2",
     NULL},

    // Profile sections: the count leaves out the final NUL; a short buffer truncates.
    {"section with room to spare", SetupRenameProfile, ReadSection, "wininit.ini", "rename", 20,
     "result=18 buffer=nul=C:\\A.TMP|x=yy||##", NULL},
    // A list that fills the buffer to its last byte counts as cut: the size minus 2.
    {"section fits exactly", SetupRenameProfile, ReadSection, "wininit.ini", "rename", 19,
     "result=17 buffer=nul=C:\\A.TMP|x=yy||#", NULL},
    {"section one byte too long", SetupRenameProfile, ReadSection, "wininit.ini", "rename", 18,
     "result=16 buffer=nul=C:\\A.TMP|x=y||#", NULL},
    {"section cut within its first key", SetupRenameProfile, ReadSection, "wininit.ini", "rename",
     5, "result=3 buffer=nul||#", NULL},
    {"section and file names in other case", SetupRenameProfile, ReadSection, "WININIT.INI",
     "RENAME", 20, "result=18 buffer=nul=C:\\A.TMP|x=yy||##", NULL},
    {"bare file name is in the Windows folder", SetupRenameProfile, ReadSection,
     CONTRACT_BARE_INI, "rename", 20, "result=18 buffer=nul=C:\\A.TMP|x=yy||##", NULL},
    {"missing section", SetupRenameProfile, ReadSection, "wininit.ini", "none", 20,
     "result=0 buffer=||###################", NULL},
    {"section of missing file", SetupRenameProfile, ReadSection, "none.ini", "rename", 20,
     "result=0 buffer=||###################", NULL},
    {"section without comments and blanks", SetupRenameProfile, ReadSection, "spaced.ini",
     "rename", 47,
     "result=45 buffer=nul=C:\\WINDOWS\\SYSTEM\\PXPIPE.DLL|b=two|plain||##", NULL},
    {"section cut one byte short", SetupRenameProfile, ReadSection, "spaced.ini", "rename", 46,
     "result=44 buffer=nul=C:\\WINDOWS\\SYSTEM\\PXPIPE.DLL|b=two|plain||#", NULL},
    {"section cut after a value", SetupRenameProfile, ReadSection, "spaced.ini", "rename", 40,
     "result=38 buffer=nul=C:\\WINDOWS\\SYSTEM\\PXPIPE.DLL|b=two||#", NULL},
    {"section cut keeps a key alone", SetupRenameProfile, ReadSection, "spaced.ini", "rename", 36,
     "result=34 buffer=nul=C:\\WINDOWS\\SYSTEM\\PXPIPE.DLL|b||#", NULL},
    {"section cut within a value", SetupRenameProfile, ReadSection, "spaced.ini", "rename", 20,
     "result=18 buffer=nul=C:\\WINDOWS\\SYS||#", NULL},
    {"section write replaces the section only", SetupThreeSections, WriteSection, "three.ini",
     "rename", 0,
     "result=1 file=[first]" CRLF "a=1" CRLF "[Rename]" CRLF "nul=C:\\X.TMP" CRLF
     "nul=C:\\X.TMP" CRLF "nul=C:\\Y.TMP" CRLF "[last]" CRLF "z=9" CRLF,
     NULL},
    {"section write adds a missing section last", SetupThreeSections, WriteSection, "three.ini",
     "new", 0,
     "result=1 file=[first]" CRLF "a=1" CRLF "[Rename]" CRLF "old=C:\\OLD.TMP" CRLF "[last]" CRLF
     "z=9" CRLF "[new]" CRLF "nul=C:\\X.TMP" CRLF "nul=C:\\X.TMP" CRLF "nul=C:\\Y.TMP" CRLF,
     NULL},
    {"section write creates the file", SetupThreeSections, WriteSection, "fresh.ini", "rename", 0,
     "result=1 file=[rename]" CRLF "nul=C:\\X.TMP" CRLF "nul=C:\\X.TMP" CRLF "nul=C:\\Y.TMP" CRLF,
     NULL},
    {"section write to a bare file name", SetupThreeSections, WriteSection, CONTRACT_BARE_INI,
     "rename", 0,
     "result=1 file=[first]" CRLF "a=1" CRLF "[Rename]" CRLF "nul=C:\\X.TMP" CRLF
     "nul=C:\\X.TMP" CRLF "nul=C:\\Y.TMP" CRLF "[last]" CRLF "z=9" CRLF,
     NULL},
    {"empty section write empties the section", SetupThreeSections, WriteSection, "three.ini",
     "rename", 1, "result=1 file=[first]" CRLF "a=1" CRLF "[Rename]" CRLF "[last]" CRLF "z=9" CRLF,
     NULL},
    {"NULL string deletes the key", SetupDrivers, WriteProfileString, "system.ini",
     "drivers,midipx,(null)", 0,
     "result=1 file=[drivers]" CRLF "wave=x.drv" CRLF "midi=y.drv" CRLF, NULL},
    {"NULL string for an absent key succeeds", SetupDrivers, WriteProfileString, "system.ini",
     "drivers,MIDIOther,(null)", 0,
     "result=1 file=[drivers]" CRLF "wave=x.drv" CRLF "MIDIPx=px.drv" CRLF "midi=y.drv" CRLF,
     NULL},
    {"NULL string for a missing file creates none", SetupDrivers, WriteProfileString, "none.ini",
     "drivers,MIDIPx,(null)", 0, "result=1 file=missing", NULL},
    {"NULL string in a bare-named file", SetupDrivers, WriteProfileString, CONTRACT_BARE_INI,
     "drivers,MIDIPx,(null)", 0,
     "result=1 file=[drivers]" CRLF "wave=x.drv" CRLF "midi=y.drv" CRLF, NULL},
    {"NULL key deletes the section", SetupDrivers, WriteProfileString, "system.ini",
     "DRIVERS,(null),(null)", 0, "result=1 file=", NULL},
    {"a key changes in place", SetupDrivers, WriteProfileString, "system.ini",
     "drivers,WAVE,c.drv", 0,
     "result=1 file=[drivers]" CRLF "wave=c.drv" CRLF "MIDIPx=px.drv" CRLF "midi=y.drv" CRLF, NULL},
    {"a new key in a new section", SetupDrivers, WriteProfileString, "system.ini",
     "mci,cdaudio,mcicda.drv", 0,
     "result=1 file=[drivers]" CRLF "wave=x.drv" CRLF "MIDIPx=px.drv" CRLF "midi=y.drv" CRLF
     "[mci]" CRLF "cdaudio=mcicda.drv" CRLF,
     NULL},

    // Short paths: 0 for a missing folder, the size needed for a short buffer.
    {"short path with room to spare", SetupShortPathFolder, ShortPath, "pxshort", "", 1,
     "result=len buffer=text past_end=untouched", NULL},
    {"short path fits exactly", SetupShortPathFolder, ShortPath, "pxshort", "", 0,
     "result=len buffer=text past_end=untouched", NULL},
    {"short path one byte too long", SetupShortPathFolder, ShortPath, "pxshort", "", -1,
     "result=len+1 buffer=untouched past_end=untouched", NULL},
    {"short path keeps a trailing separator", SetupShortPathFolder, ShortPath, "PXSHORT\\", "", 1,
     "result=len buffer=text past_end=untouched trailing=kept", NULL},
    {"short path of missing folder", SetupShortPathFolder, ShortPath, "pxnone", "", 0,
     "result=0 error=2", NULL},
    {"short path in missing folder", SetupShortPathFolder, ShortPath, "pxnone\\sub", "", 0,
     "result=0 error=2", NULL},

    {"system folder with room to spare", NULL, SystemDirectory, "", "", 1,
     "result=len buffer=text past_end=untouched", NULL},
    {"system folder fits exactly", NULL, SystemDirectory, "", "", 0,
     "result=len buffer=text past_end=untouched", NULL},
    {"system folder one byte too long", NULL, SystemDirectory, "", "", -1,
     "result=len+1 buffer=untouched past_end=untouched", NULL},

    {"module path with its NUL fits", NULL, ModuleFileName, "", "", 1,
     "result=len error=0 text=prefix nul=yes past_end=untouched", NULL},
    {"module path without its NUL fits", NULL, ModuleFileName, "", "", 0,
     "result=size error=122 text=prefix nul=no past_end=untouched", NULL},
    {"module path one byte too long", NULL, ModuleFileName, "", "", -1,
     "result=size error=122 text=prefix nul=no past_end=untouched", NULL},

    {"version of the line", NULL, VersionQuery, "", "", 148, "result=1 platform=2",
     "result=1 platform=1"},
    {"extended version record", NULL, VersionQuery, "", "", 156, "result=1 platform=2",
     "result=1 platform=1"},
    {"version record of unknown size", NULL, VersionQuery, "", "", 100, "result=0 error=122",
     NULL},

    // Deletion at restart: nothing goes before the restart, and the source is not looked at.
    // Wine schedules on the consumer line too, where the logic writes wininit.ini instead.
    {"restart deletion of existing file", SetupDriverFile, ScheduleDeletion, "px.drv", "", 0,
     "result=1 present=1 pending=1", NULL},
    {"restart deletion of missing file", SetupDriverFile, ScheduleDeletion, "none.drv", "", 0,
     "result=1 present=0 pending=1", NULL},

    // The hand-off. The run cannot delete its own file; the copy waits on a handle of the run that
    // must not report an end while the run is alive; its folder is made new and held; the consumer
    // line's copy is a temporary file of an 8.3 name; a folder can wait for the restart.
    {"a running program's own file refuses deletion", SetupOwnFile, DeleteOwnFile, "", "", 0,
     "result=0 error=5 present=1", NULL},
    {"a handle of the running process with query rights", NULL, WaitOnOwnProcess, "", "",
     (int)(SYNCHRONIZE | PROCESS_QUERY_INFORMATION), "result=1 wait=258 code=259", NULL},
    {"a handle of the running process without query rights", NULL, WaitOnOwnProcess, "", "",
     (int)SYNCHRONIZE, "result=1 wait=258 code=none error=5", NULL},
    {"an existing folder is not made again", SetupNamedFolder, HoldNewFolder, "pxu0000", "",
     (int)(READ_CONTROL | FILE_LIST_DIRECTORY), "result=0 error=183 opened=1 result=0 error=32 result=1",
     "result=0 error=183"},
    {"a new folder held without delete sharing", SetupNamedFolder, HoldNewFolder, "pxu0001", "",
     (int)(READ_CONTROL | FILE_LIST_DIRECTORY), "result=1 opened=1 result=0 error=32 result=1", "result=1"},
    {"a new folder open for its rights alone is not held", SetupNamedFolder, HoldNewFolder, "pxu0001", "",
     (int)READ_CONTROL, "result=1 opened=1 result=1 result=0 error=2", "result=1"},
    {"a temporary file of an 8.3 name", NULL, MakeTemporaryFile, "", "", 0,
     "present=1 size=0 prefix=pxu short=1 result=0 error=80 result=1 size=5", NULL},
    {"restart deletion of a folder with a file in it", SetupFolders, ScheduleFolderDeletion, "Full", "",
     0, "result=1 present=1 pending=1", NULL},

    // 64-bit Windows. The system folder keeps its name while its files lie in the WoW64 folder,
    // and the restart deletion is recorded as given: the restart, no 32-bit program, would
    // delete the 64-bit file of that name.
    {"WoW64 system folder with room to spare", NULL, SystemWow64Directory, "", "", 1,
     "found=1 result=0 error=120", NULL,
     "found=1 result=len buffer=text past_end=untouched name=syswow64"},
    {"WoW64 system folder one byte too long", NULL, SystemWow64Directory, "", "", -1,
     "found=1 result=0 error=120", NULL,
     "found=1 result=len+1 buffer=untouched past_end=untouched name=syswow64"},
    {"system folder beside the WoW64 folder", NULL, SystemDirectoryBesideWow64, "", "", 0,
     "wow64=none", NULL, "name=system32"},
    {"file under the system folder", NULL, FileUnderSystemFolder, "pxcontract.tmp", "", 0,
     "wow64=none result=1", NULL, "in_wow64=1 result=1 in_wow64_after=0"},
    {"short forms of the system folders", NULL, ShortSystemFolders, "", "", 0,
     "system=same wow64=none", NULL, "system=same wow64=same"},
    {"restart deletion under the system folder", NULL, RestartDeletionUnderSystemFolder,
     "pxcontract.drv", "", 0, "result=1 pending=1 wow64=none", NULL,
     "result=1 pending=1 wow64_pending=0"},
    {"machine value under Software", SetupMachineValues, MachineValueViews, KEY_OF("Machine"),
     "Name", 0, "native=1 wow6432node=0", NULL, "native=0 wow6432node=1"},
    {"machine value under App Paths", SetupMachineValues, MachineValueViews,
     CONTRACT_APP_PATH_KEY, "(null)", 0, "native=1 wow6432node=0", NULL,
     "native=1 wow6432node=1"},

    // Wine runs every program as an administrator, on both lines; the consumer line is not asked.
    {"Administrators membership of the token", NULL, AdministratorsInToken, "", "", 0,
     "found=1 result=1 member=1", NULL},
    {"Administrators among the token's groups", NULL, AdministratorsInToken, "", "", 1,
     "sizing=0 error=122 result=1 administrators=enabled", "line=consumer"},
};

const ContractRow* SystemRows(size_t* count)
{
    *count = sizeof kRows / sizeof kRows[0];
    return kRows;
}
