// The platform behaviours the uninstaller relies on, one row each, run unchanged on the simulated
// Windows and on the real API of both lines: a row on which the two disagree fails.
#include <stdarg.h>

#include "contract.h"

// Filled into output buffers before a call, to see what the call wrote and where it stopped.
static const char kSentinel = '\x7F';

void Note(Observation* seen, const char* format, ...)
{
    if (seen->length > 0 && seen->length + 1 < sizeof seen->text)
        seen->text[seen->length++] = ' ';
    va_list arguments;
    va_start(arguments, format);
    int written = vsnprintf(seen->text + seen->length, sizeof seen->text - seen->length, format,
                            arguments);
    va_end(arguments);
    if (written > 0)
        seen->length += (size_t)written;
    if (seen->length >= sizeof seen->text)
        seen->length = sizeof seen->text - 1;
}

// A BOOL result with the last error when it failed; the error of a success means nothing.
static void NoteResult(Observation* seen, BOOL result)
{
    if (result)
        Note(seen, "result=1");
    else
        Note(seen, "result=0 error=%lu", (unsigned long)GetLastError());
}

// Bytes as text: a NUL shows as '|', an untouched byte as '#'.
static void NoteBytes(Observation* seen, const char* label, const char* bytes, size_t count)
{
    char text[600];
    size_t used = 0;
    for (size_t i = 0; i < count && used + 5 < sizeof text; ++i) {
        unsigned char c = (unsigned char)bytes[i];
        if (c == 0)
            text[used++] = '|';
        else if (c == (unsigned char)kSentinel)
            text[used++] = '#';
        else if (c < 0x20 || c > 0x7E)
            used += (size_t)snprintf(text + used, sizeof text - used, "\\x%02X", c);
        else
            text[used++] = (char)c;
    }
    text[used] = '\0';
    Note(seen, "%s=%s", label, text);
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

static void RemoveFolder(Observation* seen, const char* name, const char* remains)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, name);
    NoteResult(seen, RemoveDirectoryA(path));
    ScratchPath(path, sizeof path, remains);
    Note(seen, "present=%d", PathPresent(path));
}

static void RemoveFullFolder(Observation* seen, int)
{
    RemoveFolder(seen, "Full", "Full\\a.txt");
}

static void RemoveEmptyFolder(Observation* seen, int)
{
    RemoveFolder(seen, "Empty", "Empty");
}

static void RemoveMissingFolder(Observation* seen, int)
{
    RemoveFolder(seen, "None", "None");
}

static void RemoveFileAsFolder(Observation* seen, int)
{
    RemoveFolder(seen, "Data.TXT", "Data.TXT");
}

static void DeleteScratchFile(Observation* seen, const char* name, const char* remains)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, name);
    NoteResult(seen, DeleteFileA(path));
    ScratchPath(path, sizeof path, remains);
    Note(seen, "present=%d", PathPresent(path));
}

static void DeleteFileOtherCase(Observation* seen, int)
{
    DeleteScratchFile(seen, "dATA.txt", "Data.TXT");
}

static void DeleteMissingFile(Observation* seen, int)
{
    DeleteScratchFile(seen, "none.txt", "none.txt");
}

static void DeleteFileInMissingFolder(Observation* seen, int)
{
    DeleteScratchFile(seen, "None\\a.txt", "None\\a.txt");
}

static void DeleteFolderAsFile(Observation* seen, int)
{
    DeleteScratchFile(seen, "Empty", "Empty");
}

static void SetupFileInUse(void)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "busy.dll");
    MakeFile(path, "MZ", 2);
    HoldOpenWithoutDeleteSharing(path);
}

static void DeleteFileInUse(Observation* seen, int)
{
    DeleteScratchFile(seen, "busy.dll", "busy.dll");
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

static void ReadStream(Observation* seen, int)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "log.dat");
    FILE* stream = _fsopen(path, "rb", _SH_DENYNO);
    if (!stream) {
        Note(seen, "stream=null");
        return;
    }
    char bytes[16];
    memset(bytes, kSentinel, sizeof bytes);
    size_t count = fread(bytes, 1, sizeof bytes, stream);
    Note(seen, "count=%lu", (unsigned long)count);
    NoteBytes(seen, "bytes", bytes, sizeof kStreamBytes + 1);
    Note(seen, "eof=%d", feof(stream) ? 1 : 0);
    fclose(stream);
}

static void OpenMissingStream(Observation* seen, int)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "none.dat");
    FILE* stream = _fsopen(path, "rb", _SH_DENYNO);
    Note(seen, "stream=%s", stream ? "open" : "null");
    if (stream)
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

static void OpenKey(Observation* seen, HKEY root, const char* path, REGSAM access)
{
    HKEY key = NULL;
    LSTATUS status = RegOpenKeyExA(root, path, 0, access, &key);
    Note(seen, "status=%ld", (long)status);
    if (status == ERROR_SUCCESS)
        RegCloseKey(key);
}

static void OpenKeyOtherCase(Observation* seen, int)
{
    OpenKey(seen, HKEY_CURRENT_USER, "SOFTWARE\\pxcontract\\MIXED case", KEY_ALL_ACCESS);
}

static void OpenMissingKey(Observation* seen, int)
{
    OpenKey(seen, HKEY_CURRENT_USER, KEY_OF("None"), KEY_ALL_ACCESS);
}

static void OpenMachineKeyForReading(Observation* seen, int)
{
    OpenKey(seen, HKEY_LOCAL_MACHINE, KEY_OF("Machine"), KEY_READ);
}

static void DeleteKey(Observation* seen, const char* path, const char* below)
{
    Note(seen, "status=%ld", (long)RegDeleteKeyA(HKEY_CURRENT_USER, path));
    Note(seen, "key=%d below=%d", KeyPresent(HKEY_CURRENT_USER, path),
         KeyPresent(HKEY_CURRENT_USER, below));
}

static void DeleteKeyWithSubkeys(Observation* seen, int)
{
    DeleteKey(seen, KEY_OF("Parent"), KEY_OF("Parent\\Audio\\Devices"));
}

static void DeleteKeyWithValuesOnly(Observation* seen, int)
{
    DeleteKey(seen, KEY_OF("Values"), CONTRACT_KEY);
}

static void DeleteKeyOtherCase(Observation* seen, int)
{
    Note(seen, "status=%ld", (long)RegDeleteKeyA(HKEY_CURRENT_USER, "software\\PXCONTRACT\\mixed CASE"));
    Note(seen, "key=%d", KeyPresent(HKEY_CURRENT_USER, KEY_OF("Mixed Case")));
}

static void DeleteMissingKey(Observation* seen, int)
{
    DeleteKey(seen, KEY_OF("None"), CONTRACT_KEY);
}

// Reads a value of the "Values" key, 17 bytes with its NUL, into a buffer of capacity bytes.
static void QueryValue(Observation* seen, const char* name, int capacity)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KEY_OF("Values"), 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS) {
        Note(seen, "open failed");
        return;
    }
    BYTE data[64];
    if ((size_t)capacity >= sizeof data) {
        RegCloseKey(key);
        Note(seen, "capacity %d exceeds the test buffer", capacity);
        return;
    }
    memset(data, kSentinel, sizeof data);
    DWORD type = 0xDEAD;
    DWORD size = (DWORD)capacity;
    LSTATUS status = RegQueryValueExA(key, name, NULL, &type, data, &size);
    RegCloseKey(key);
    Note(seen, "status=%ld size=%lu", (long)status, (unsigned long)size);
    if (status == ERROR_SUCCESS) {
        Note(seen, "type=%lu", (unsigned long)type);
        NoteBytes(seen, "data", (const char*)data, (size_t)capacity + 1);
    } else {
        // What a refused read leaves in the buffer is undefined; past its end nothing changes.
        Note(seen, "past_end=%s", data[capacity] == (BYTE)kSentinel ? "untouched" : "written");
    }
}

static void QueryValueRoomToSpare(Observation* seen, int capacity)
{
    QueryValue(seen, "Path", capacity);
}

static void QueryDefaultValue(Observation* seen, int capacity)
{
    QueryValue(seen, NULL, capacity);
}

static void QueryValueOtherCase(Observation* seen, int capacity)
{
    QueryValue(seen, "pATH", capacity);
}

static void QueryMissingValue(Observation* seen, int capacity)
{
    QueryValue(seen, "None", capacity);
}

static void CountSubkeysOf(Observation* seen, const char* path)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        Note(seen, "open failed");
        return;
    }
    DWORD subkeys = 0xDEAD;
    LSTATUS status = RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, NULL, NULL,
                                      NULL, NULL, NULL);
    RegCloseKey(key);
    Note(seen, "status=%ld subkeys=%lu", (long)status, (unsigned long)subkeys);
}

static void CountSubkeys(Observation* seen, int)
{
    CountSubkeysOf(seen, KEY_OF("Parent"));
}

static void CountNoSubkeys(Observation* seen, int)
{
    CountSubkeysOf(seen, KEY_OF("Values"));
}

static void DeleteValue(Observation* seen, const char* name)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KEY_OF("Values"), 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS) {
        Note(seen, "open failed");
        return;
    }
    Note(seen, "status=%ld", (long)RegDeleteValueA(key, name));
    DWORD size = 0;
    Note(seen, "after=%ld", (long)RegQueryValueExA(key, name, NULL, NULL, NULL, &size));
    RegCloseKey(key);
}

static void DeletePresentValue(Observation* seen, int)
{
    DeleteValue(seen, "path");
}

static void DeleteMissingValue(Observation* seen, int)
{
    DeleteValue(seen, "None");
}

// ---- profile files --------------------------------------------------------------------------

// The [rename] list reads back as "nul=C:\A.TMP", NUL, "x=yy", NUL, NUL: 18 characters counted,
// the final NUL at index 18, 19 bytes in all.
static const char kRenameProfile[] =
    "[other]\r\nkeep=1\r\n[rename]\r\nnul=C:\\A.TMP\r\nx=yy\r\n";

static void SetupRenameProfile(void)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "wininit.ini");
    MakeFile(path, kRenameProfile, sizeof kRenameProfile - 1);
    WindowsPath(path, sizeof path, CONTRACT_BARE_INI);
    MakeFile(path, kRenameProfile, sizeof kRenameProfile - 1);
}

static void ReadSection(Observation* seen, const char* section, const char* file, int capacity)
{
    char buffer[64];
    if ((size_t)capacity >= sizeof buffer) {
        Note(seen, "capacity %d exceeds the test buffer", capacity);
        return;
    }
    memset(buffer, kSentinel, sizeof buffer);
    DWORD count = GetPrivateProfileSectionA(section, buffer, (DWORD)capacity, file);
    Note(seen, "result=%lu", (unsigned long)count);
    NoteBytes(seen, "buffer", buffer, (size_t)capacity + 1);
}

static void ReadRenameSection(Observation* seen, int capacity)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "wininit.ini");
    ReadSection(seen, "rename", path, capacity);
}

static void ReadRenameSectionOtherCase(Observation* seen, int capacity)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "WININIT.INI");
    ReadSection(seen, "RENAME", path, capacity);
}

static void ReadBareNamedSection(Observation* seen, int capacity)
{
    ReadSection(seen, "rename", CONTRACT_BARE_INI, capacity);
}

static void ReadMissingSection(Observation* seen, int capacity)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "wininit.ini");
    ReadSection(seen, "none", path, capacity);
}

static void ReadSectionOfMissingFile(Observation* seen, int capacity)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "none.ini");
    ReadSection(seen, "rename", path, capacity);
}

static const char kThreeSections[] =
    "[first]\r\na=1\r\n[rename]\r\nold=C:\\OLD.TMP\r\n[last]\r\nz=9\r\n";

static void SetupThreeSections(void)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "three.ini");
    MakeFile(path, kThreeSections, sizeof kThreeSections - 1);
    WindowsPath(path, sizeof path, CONTRACT_BARE_INI);
    MakeFile(path, kThreeSections, sizeof kThreeSections - 1);
}

// Two equal lines: the list is written as given, nothing merged.
static const char kNewRenameList[] = "nul=C:\\X.TMP\0nul=C:\\X.TMP\0nul=C:\\Y.TMP\0";

static void WriteSection(Observation* seen, const char* section, const char* file,
                         const char* shown)
{
    NoteResult(seen, WritePrivateProfileSectionA(section, kNewRenameList, file));
    NoteFile(seen, "file", shown);
}

static void ReplaceSection(Observation* seen, int)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "three.ini");
    WriteSection(seen, "rename", path, path);
}

static void AddSection(Observation* seen, int)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "three.ini");
    WriteSection(seen, "new", path, path);
}

static void WriteSectionOfMissingFile(Observation* seen, int)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "fresh.ini");
    WriteSection(seen, "rename", path, path);
}

static void ReplaceBareNamedSection(Observation* seen, int)
{
    char path[MAX_PATH];
    WindowsPath(path, sizeof path, CONTRACT_BARE_INI);
    WriteSection(seen, "rename", CONTRACT_BARE_INI, path);
}

static const char kDrivers[] = "[drivers]\r\nwave=x.drv\r\nMIDIPx=px.drv\r\nmidi=y.drv\r\n";

static void SetupDrivers(void)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "system.ini");
    MakeFile(path, kDrivers, sizeof kDrivers - 1);
    WindowsPath(path, sizeof path, CONTRACT_BARE_INI);
    MakeFile(path, kDrivers, sizeof kDrivers - 1);
}

static void DeleteProfileKey(Observation* seen, const char* file, const char* key)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, file);
    Note(seen, "result=%d", WritePrivateProfileStringA("drivers", key, NULL, path) ? 1 : 0);
    NoteFile(seen, "file", path);
}

static void DeletePresentProfileKey(Observation* seen, int)
{
    DeleteProfileKey(seen, "system.ini", "midipx");
}

static void DeleteAbsentProfileKey(Observation* seen, int)
{
    DeleteProfileKey(seen, "system.ini", "MIDIOther");
}

static void DeleteProfileKeyOfMissingFile(Observation* seen, int)
{
    DeleteProfileKey(seen, "none.ini", "MIDIPx");
}

static void DeleteBareNamedProfileKey(Observation* seen, int)
{
    char path[MAX_PATH];
    WindowsPath(path, sizeof path, CONTRACT_BARE_INI);
    Note(seen, "result=%d",
         WritePrivateProfileStringA("drivers", "MIDIPx", NULL, CONTRACT_BARE_INI) ? 1 : 0);
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
    if (buffer[0] == kSentinel)
        Note(seen, "buffer=untouched");
    else if (size > length && memcmp(buffer, text, length + 1) == 0)
        Note(seen, "buffer=text");
    else
        Note(seen, "buffer=other");
    Note(seen, "past_end=%s", buffer[size] == kSentinel ? "untouched" : "written");
}

static void SetupShortPathFolder(void)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "pxshort");
    MakeFolder(path);
}

// argument: the buffer's size relative to the short path's length with its NUL.
static void ShortPathOfFolder(Observation* seen, int argument)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "pxshort");
    char full[MAX_PATH];
    DWORD length = GetShortPathNameA(path, full, sizeof full);
    if (length == 0 || length >= sizeof full) {
        Note(seen, "first call gave %lu", (unsigned long)length);
        return;
    }
    char buffer[MAX_PATH + 2];
    memset(buffer, kSentinel, sizeof buffer);
    size_t size = length + 1 + argument;
    DWORD result = GetShortPathNameA(path, buffer, (DWORD)size);
    NoteLengthResult(seen, result, full, buffer, size);
}

static void ShortPathOfMissingFolder(Observation* seen, int)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "pxnone");
    char buffer[MAX_PATH];
    memset(buffer, kSentinel, sizeof buffer);
    DWORD result = GetShortPathNameA(path, buffer, sizeof buffer);
    Note(seen, "result=%lu", (unsigned long)result);
    if (result == 0)
        Note(seen, "error=%lu", (unsigned long)GetLastError());
}

static void ShortPathInMissingFolder(Observation* seen, int)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "pxnone\\sub");
    char buffer[MAX_PATH];
    DWORD result = GetShortPathNameA(path, buffer, sizeof buffer);
    Note(seen, "result=%lu", (unsigned long)result);
    if (result == 0)
        Note(seen, "error=%lu", (unsigned long)GetLastError());
}

// argument: the buffer's size relative to the folder's length with its NUL.
static void SystemDirectory(Observation* seen, int argument)
{
    char full[MAX_PATH];
    UINT length = GetSystemDirectoryA(full, sizeof full);
    if (length == 0 || length >= sizeof full) {
        Note(seen, "first call gave %lu", (unsigned long)length);
        return;
    }
    char buffer[MAX_PATH + 2];
    memset(buffer, kSentinel, sizeof buffer);
    size_t size = length + 1 + argument;
    UINT result = GetSystemDirectoryA(buffer, (UINT)size);
    NoteLengthResult(seen, result, full, buffer, size);
}

// argument: the buffer's size relative to the path's length without its NUL. Windows XP fills a
// buffer that is too small to the last byte, returns its size and leaves no NUL.
static void ModuleFileName(Observation* seen, int argument)
{
    char full[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, full, sizeof full);
    if (length == 0 || length >= sizeof full) {
        Note(seen, "first call gave %lu", (unsigned long)length);
        return;
    }
    char buffer[MAX_PATH + 2];
    memset(buffer, kSentinel, sizeof buffer);
    size_t size = length + argument;
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
    Note(seen, "past_end=%s", buffer[size] == kSentinel ? "untouched" : "written");
}

static void VersionQuery(Observation* seen, int size)
{
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = (DWORD)size;
    NoteResult(seen, GetVersionExA(&version));
    if (version.dwPlatformId != 0)
        Note(seen, "platform=%lu", (unsigned long)version.dwPlatformId);
}

// ---- deletion at restart --------------------------------------------------------------------

static void SetupDriverFile(void)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, "px.drv");
    MakeFile(path, "MZ", 2);
}

static void ScheduleDeletion(Observation* seen, const char* name)
{
    char path[MAX_PATH];
    ScratchPath(path, sizeof path, name);
    SetLastError(0);
    NoteResult(seen, MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
    Note(seen, "present=%d pending=%d", PathPresent(path), PendingDeletion(path));
}

static void ScheduleExistingFile(Observation* seen, int)
{
    ScheduleDeletion(seen, "px.drv");
}

static void ScheduleMissingFile(Observation* seen, int)
{
    ScheduleDeletion(seen, "none.drv");
}

// ---- the table ------------------------------------------------------------------------------

static const ContractRow kRows[] = {
    // Files and folders: the removal pass and the start-menu group rely on these refusals.
    {"folder not empty refuses removal", SetupFolders, RemoveFullFolder, 0,
     "result=0 error=145 present=1", NULL},
    {"empty folder is removed", SetupFolders, RemoveEmptyFolder, 0, "result=1 present=0", NULL},
    {"missing folder", SetupFolders, RemoveMissingFolder, 0, "result=0 error=2 present=0", NULL},
    {"file is no folder", SetupFolders, RemoveFileAsFolder, 0, "result=0 error=267 present=1",
     NULL},
    {"file name in other case is deleted", SetupFolders, DeleteFileOtherCase, 0,
     "result=1 present=0", NULL},
    {"missing file", SetupFolders, DeleteMissingFile, 0, "result=0 error=2 present=0", NULL},
    {"file in missing folder", SetupFolders, DeleteFileInMissingFolder, 0,
     "result=0 error=3 present=0", NULL},
    {"folder is no file", SetupFolders, DeleteFolderAsFile, 0, "result=0 error=5 present=1", NULL},
    {"file in use refuses deletion", SetupFileInUse, DeleteFileInUse, 0,
     "result=0 error=32 present=1", NULL},

    // The log is read whole, in binary.
    {"stream reads bytes unchanged", SetupStreamFile, ReadStream, 0,
     "count=7 bytes=A\\x0D\\x0AB|\\x1AC# eof=1", NULL},
    {"stream of missing file", SetupStreamFile, OpenMissingStream, 0, "stream=null", NULL},

    // Registry.
    {"key name in other case opens", SetupKeys, OpenKeyOtherCase, 0, "status=0", NULL},
    {"missing key does not open", SetupKeys, OpenMissingKey, 0, "status=2", NULL},
    {"machine key opens for reading", SetupKeys, OpenMachineKeyForReading, 0, "status=0", NULL},
    // The NT line refuses a key with subkeys; the consumer line deletes it with all below it.
    {"key with subkeys", SetupKeys, DeleteKeyWithSubkeys, 0, "status=5 key=1 below=1",
     "status=0 key=0 below=0"},
    {"key with values only is deleted", SetupKeys, DeleteKeyWithValuesOnly, 0,
     "status=0 key=0 below=1", NULL},
    {"key name in other case is deleted", SetupKeys, DeleteKeyOtherCase, 0, "status=0 key=0",
     NULL},
    {"missing key is not deleted", SetupKeys, DeleteMissingKey, 0, "status=2 key=0 below=1", NULL},
    {"value with room to spare", SetupKeys, QueryValueRoomToSpare, 18,
     "status=0 size=17 type=1 data=C:\\Apps\\tool.exe|##", NULL},
    {"value fits exactly", SetupKeys, QueryValueRoomToSpare, 17,
     "status=0 size=17 type=1 data=C:\\Apps\\tool.exe|#", NULL},
    {"value one byte too long", SetupKeys, QueryValueRoomToSpare, 16,
     "status=234 size=17 past_end=untouched", NULL},
    {"default value", SetupKeys, QueryDefaultValue, 17,
     "status=0 size=17 type=1 data=C:\\Apps\\tool.exe|#", NULL},
    {"value name in other case", SetupKeys, QueryValueOtherCase, 17,
     "status=0 size=17 type=1 data=C:\\Apps\\tool.exe|#", NULL},
    {"missing value", SetupKeys, QueryMissingValue, 17, "status=2 size=17 past_end=untouched",
     NULL},
    {"subkeys are counted", SetupKeys, CountSubkeys, 0, "status=0 subkeys=2", NULL},
    {"no subkeys counts 0", SetupKeys, CountNoSubkeys, 0, "status=0 subkeys=0", NULL},
    {"value is deleted", SetupKeys, DeletePresentValue, 0, "status=0 after=2", NULL},
    {"missing value is not deleted", SetupKeys, DeleteMissingValue, 0, "status=2 after=2", NULL},

    // Profile sections: the count leaves out the final NUL; a short buffer truncates.
    {"section with room to spare", SetupRenameProfile, ReadRenameSection, 20,
     "result=18 buffer=nul=C:\\A.TMP|x=yy||##", NULL},
    // A list that fills the buffer to its last byte counts as cut: the size minus 2.
    {"section fits exactly", SetupRenameProfile, ReadRenameSection, 19,
     "result=17 buffer=nul=C:\\A.TMP|x=yy||#", NULL},
    {"section one byte too long", SetupRenameProfile, ReadRenameSection, 18,
     "result=16 buffer=nul=C:\\A.TMP|x=y||#", NULL},
    {"section cut within its first key", SetupRenameProfile, ReadRenameSection, 5,
     "result=3 buffer=nul||#", NULL},
    {"section and file names in other case", SetupRenameProfile, ReadRenameSectionOtherCase, 20,
     "result=18 buffer=nul=C:\\A.TMP|x=yy||##", NULL},
    {"bare file name is in the Windows folder", SetupRenameProfile, ReadBareNamedSection, 20,
     "result=18 buffer=nul=C:\\A.TMP|x=yy||##", NULL},
    {"missing section", SetupRenameProfile, ReadMissingSection, 20,
     "result=0 buffer=||###################", NULL},
    {"section of missing file", SetupRenameProfile, ReadSectionOfMissingFile, 20,
     "result=0 buffer=||###################", NULL},
    {"section write replaces the section only", SetupThreeSections, ReplaceSection, 0,
     "result=1 file=[first]\\x0D\\x0Aa=1\\x0D\\x0A[rename]\\x0D\\x0Anul=C:\\X.TMP\\x0D\\x0A"
     "nul=C:\\X.TMP\\x0D\\x0Anul=C:\\Y.TMP\\x0D\\x0A[last]\\x0D\\x0Az=9\\x0D\\x0A",
     NULL},
    {"section write adds a missing section last", SetupThreeSections, AddSection, 0,
     "result=1 file=[first]\\x0D\\x0Aa=1\\x0D\\x0A[rename]\\x0D\\x0Aold=C:\\OLD.TMP\\x0D\\x0A"
     "[last]\\x0D\\x0Az=9\\x0D\\x0A[new]\\x0D\\x0Anul=C:\\X.TMP\\x0D\\x0Anul=C:\\X.TMP\\x0D\\x0A"
     "nul=C:\\Y.TMP\\x0D\\x0A",
     NULL},
    {"section write creates the file", SetupThreeSections, WriteSectionOfMissingFile, 0,
     "result=1 file=[rename]\\x0D\\x0Anul=C:\\X.TMP\\x0D\\x0Anul=C:\\X.TMP\\x0D\\x0A"
     "nul=C:\\Y.TMP\\x0D\\x0A",
     NULL},
    {"section write to a bare file name", SetupThreeSections, ReplaceBareNamedSection, 0,
     "result=1 file=[first]\\x0D\\x0Aa=1\\x0D\\x0A[rename]\\x0D\\x0Anul=C:\\X.TMP\\x0D\\x0A"
     "nul=C:\\X.TMP\\x0D\\x0Anul=C:\\Y.TMP\\x0D\\x0A[last]\\x0D\\x0Az=9\\x0D\\x0A",
     NULL},
    {"NULL string deletes the key", SetupDrivers, DeletePresentProfileKey, 0,
     "result=1 file=[drivers]\\x0D\\x0Awave=x.drv\\x0D\\x0Amidi=y.drv\\x0D\\x0A", NULL},
    {"NULL string for an absent key succeeds", SetupDrivers, DeleteAbsentProfileKey, 0,
     "result=1 file=[drivers]\\x0D\\x0Awave=x.drv\\x0D\\x0AMIDIPx=px.drv\\x0D\\x0A"
     "midi=y.drv\\x0D\\x0A",
     NULL},
    {"NULL string for a missing file creates none", SetupDrivers, DeleteProfileKeyOfMissingFile, 0,
     "result=1 file=missing", NULL},
    {"NULL string in a bare-named file", SetupDrivers, DeleteBareNamedProfileKey, 0,
     "result=1 file=[drivers]\\x0D\\x0Awave=x.drv\\x0D\\x0Amidi=y.drv\\x0D\\x0A", NULL},

    // Short paths: 0 for a missing folder, the size needed for a short buffer.
    {"short path with room to spare", SetupShortPathFolder, ShortPathOfFolder, 1,
     "result=len buffer=text past_end=untouched", NULL},
    {"short path fits exactly", SetupShortPathFolder, ShortPathOfFolder, 0,
     "result=len buffer=text past_end=untouched", NULL},
    {"short path one byte too long", SetupShortPathFolder, ShortPathOfFolder, -1,
     "result=len+1 buffer=untouched past_end=untouched", NULL},
    {"short path of missing folder", SetupShortPathFolder, ShortPathOfMissingFolder, 0,
     "result=0 error=2", NULL},
    {"short path in missing folder", SetupShortPathFolder, ShortPathInMissingFolder, 0,
     "result=0 error=2", NULL},

    {"system folder with room to spare", NULL, SystemDirectory, 1,
     "result=len buffer=text past_end=untouched", NULL},
    {"system folder fits exactly", NULL, SystemDirectory, 0,
     "result=len buffer=text past_end=untouched", NULL},
    {"system folder one byte too long", NULL, SystemDirectory, -1,
     "result=len+1 buffer=untouched past_end=untouched", NULL},

    {"module path with its NUL fits", NULL, ModuleFileName, 1,
     "result=len error=0 text=prefix nul=yes past_end=untouched", NULL},
    {"module path without its NUL fits", NULL, ModuleFileName, 0,
     "result=size error=122 text=prefix nul=no past_end=untouched", NULL},
    {"module path one byte too long", NULL, ModuleFileName, -1,
     "result=size error=122 text=prefix nul=no past_end=untouched", NULL},

    {"version of the line", NULL, VersionQuery, 148, "result=1 platform=2", "result=1 platform=1"},
    {"version record of unknown size", NULL, VersionQuery, 100, "result=0 error=122", NULL},

    // Deletion at restart: nothing goes before the restart, and the source is not looked at.
    // Wine schedules on the consumer line too, where the logic writes wininit.ini instead.
    {"restart deletion of existing file", SetupDriverFile, ScheduleExistingFile, 0,
     "result=1 present=1 pending=1", NULL},
    {"restart deletion of missing file", SetupDriverFile, ScheduleMissingFile, 0,
     "result=1 present=0 pending=1", NULL},
};

const ContractRow* ContractRows(void)
{
    return kRows;
}

size_t ContractRowCount(void)
{
    return sizeof kRows / sizeof kRows[0];
}
