// The contract's machine operations on the real Win32 API: a scratch folder under %TEMP%,
// scratch keys under Software\PxContract of both roots, a bare-named profile file in the Windows
// folder, all removed after every row, and the restart deletions a row schedules forgotten again.
#include "contract.h"

static const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
static const char kPendingValue[] = "PendingFileRenameOperations";

static char g_scratch[MAX_PATH];
static HANDLE g_held = INVALID_HANDLE_VALUE;
// The working folder the row found, while a row works in another; empty otherwise.
static char g_workingFolder[MAX_PATH];
static int g_linksMade = 0;  // a row made links: the scratch folder goes with rm
// The restart deletions scheduled before the row, restored after it; NULL when there were none.
static BYTE* g_pending = NULL;
static DWORD g_pendingSize = 0;

// The Unix name of a path, from Wine's kernel32; 0 on Windows, which has no such export.
static int UnixPathOf(const char* path, char* out, size_t size)
{
    typedef char*(CDECL * UnixFileNameFunction)(const WCHAR* dosName);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    UnixFileNameFunction unixFileName =
        kernel ? (UnixFileNameFunction)(void*)GetProcAddress(kernel, "wine_get_unix_file_name") : NULL;
    WCHAR wide[MAX_PATH];
    if (unixFileName == NULL || !MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH))
        return 0;
    char* name = unixFileName(wide);
    if (name == NULL)
        return 0;
    snprintf(out, size, "%s", name);
    HeapFree(GetProcessHeap(), 0, name);
    return 1;
}

// Wine starts a Unix program that CreateProcessA names by its path on drive Z:, and returns
// before it has run; done says when its work shows. No Win32 call of Wine makes a symbolic link
// (CreateSymbolicLinkW does nothing) or sets a Unix mode.
static void RunUnixProgram(const char* program, const char* arguments, int (*done)(const char*),
                           const char* path)
{
    char commandLine[4 * MAX_PATH];
    snprintf(commandLine, sizeof commandLine, "%s %s", program, arguments);
    char image[MAX_PATH];
    snprintf(image, sizeof image, "Z:%s", program);
    for (char* c = image; *c; c++)
        if (*c == '/')
            *c = '\\';
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(image, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "cannot run %s (error %lu)\n", program, GetLastError());
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int tries = 0; tries < 100 && !done(path); tries++)
        Sleep(20);
}

static int ShowsAsLink(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

static int IsGone(const char* path)
{
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES && !ShowsAsLink(path);
}

// Everyone's entry in the DACL read from the mode holds FILE_WRITE_DATA.
static int EveryoneMayWrite(const char* path)
{
    DWORD descriptor[256];
    DWORD needed = 0;
    if (!GetFileSecurityA(path, DACL_SECURITY_INFORMATION, descriptor, sizeof descriptor, &needed))
        return 0;
    const SECURITY_DESCRIPTOR_RELATIVE* header = (const SECURITY_DESCRIPTOR_RELATIVE*)descriptor;
    if (header->Dacl == 0)
        return 0;
    const ACL* dacl = (const ACL*)((const BYTE*)descriptor + header->Dacl);
    const BYTE* ace = (const BYTE*)(dacl + 1);
    for (WORD i = 0; i < dacl->AceCount; i++) {
        const ACCESS_ALLOWED_ACE* allowed = (const ACCESS_ALLOWED_ACE*)ace;
        const SID* sid = (const SID*)&allowed->SidStart;
        if (sid->SubAuthorityCount == 1 && sid->IdentifierAuthority.Value[5] == 1 &&
            sid->SubAuthority[0] == 0 && (allowed->Mask & FILE_WRITE_DATA))
            return 1;
        ace += allowed->Header.AceSize;
    }
    return 0;
}

void MakeLink(const char* path, const char* target)
{
    char unixPath[MAX_PATH];
    char unixTarget[MAX_PATH];
    if (!UnixPathOf(path, unixPath, sizeof unixPath) ||
        !UnixPathOf(target, unixTarget, sizeof unixTarget)) {
        fprintf(stderr, "MakeLink: no Unix names for %s and %s\n", path, target);
        return;
    }
    char arguments[3 * MAX_PATH];
    snprintf(arguments, sizeof arguments, "-s \"%s\" \"%s\"", unixTarget, unixPath);
    g_linksMade = 1;
    RunUnixProgram("/bin/ln", arguments, ShowsAsLink, path);
}

void MakeWritableByEveryone(const char* path)
{
    char unixPath[MAX_PATH];
    if (!UnixPathOf(path, unixPath, sizeof unixPath)) {
        fprintf(stderr, "MakeWritableByEveryone: no Unix name for %s\n", path);
        return;
    }
    char arguments[2 * MAX_PATH];
    snprintf(arguments, sizeof arguments, "o+w \"%s\"", unixPath);
    RunUnixProgram("/bin/chmod", arguments, EveryoneMayWrite, path);
}

// Where a row made links, the scratch folder goes with rm, which follows none: RemoveDirectoryA
// would remove the folder a link leads to, and Wine lists a link whose folder is gone as nothing
// that DeleteFileA can take.
static void RemoveLinkedTree(const char* path)
{
    char unixPath[MAX_PATH];
    char arguments[2 * MAX_PATH];
    if (!UnixPathOf(path, unixPath, sizeof unixPath))
        return;
    snprintf(arguments, sizeof arguments, "-rf \"%s\"", unixPath);
    RunUnixProgram("/bin/rm", arguments, IsGone, path);
}

static void RemoveTree(const char* path)
{
    char pattern[MAX_PATH];
    snprintf(pattern, sizeof pattern, "%s\\*", path);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
                continue;
            char child[MAX_PATH];
            snprintf(child, sizeof child, "%s\\%s", path, found.cFileName);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path);
}

// The NT line deletes no key that has subkeys, so the children go first.
static void RemoveKeyTree(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char name[MAX_PATH];
        DWORD length = sizeof name;
        while (RegEnumKeyExA(key, 0, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
            char child[2 * MAX_PATH];
            snprintf(child, sizeof child, "%s\\%s", path, name);
            RemoveKeyTree(root, child);
            length = sizeof name;
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(root, path);
}

static void SavePendingDeletions(void)
{
    free(g_pending);
    g_pending = NULL;
    g_pendingSize = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD size = 0;
    if (RegQueryValueExA(key, kPendingValue, NULL, NULL, NULL, &size) == ERROR_SUCCESS) {
        g_pending = (BYTE*)malloc(size + 1);
        g_pendingSize = size;
        if (RegQueryValueExA(key, kPendingValue, NULL, NULL, g_pending, &g_pendingSize) !=
            ERROR_SUCCESS) {
            free(g_pending);
            g_pending = NULL;
        }
    }
    RegCloseKey(key);
}

static void RestorePendingDeletions(void)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return;
    if (g_pending)
        RegSetValueExA(key, kPendingValue, 0, REG_MULTI_SZ, g_pending, g_pendingSize);
    else
        RegDeleteValueA(key, kPendingValue);
    RegCloseKey(key);
}

static void RemoveScratch(void)
{
    if (g_workingFolder[0] != '\0') {
        SetCurrentDirectoryA(g_workingFolder);
        g_workingFolder[0] = '\0';
    }
    if (g_held != INVALID_HANDLE_VALUE) {
        CloseHandle(g_held);
        g_held = INVALID_HANDLE_VALUE;
    }
    if (g_linksMade) {
        RemoveLinkedTree(g_scratch);
        g_linksMade = 0;
    }
    RemoveTree(g_scratch);
    RemoveKeyTree(HKEY_CURRENT_USER, CONTRACT_KEY);
    RemoveKeyTree(HKEY_LOCAL_MACHINE, CONTRACT_KEY);
    RemoveKeyTree(HKEY_LOCAL_MACHINE, CONTRACT_APP_PATH_KEY);
    char bare[MAX_PATH];
    WindowsPath(bare, sizeof bare, CONTRACT_BARE_INI);
    DeleteFileA(bare);
}

void BeginRow(void)
{
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp)
        snprintf(temp, sizeof temp, "C:\\");
    snprintf(g_scratch, sizeof g_scratch, "%s%spxcontract", temp,
             temp[strlen(temp) - 1] == '\\' ? "" : "\\");
    RemoveScratch();
    CreateDirectoryA(g_scratch, NULL);
    SavePendingDeletions();
}

void EndRow(void)
{
    RemoveScratch();
    RestorePendingDeletions();
}

int RunsOnNtLine(void)
{
    // The high bit of GetVersion's result marks the consumer line; GetVersionExA is a row itself.
    return (GetVersion() & 0x80000000u) == 0;
}

// IsWow64Process is looked up, not imported: kernel32 before Windows XP SP2 lacks it.
int RunsUnderWow64(void)
{
    typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE process, PBOOL wow64);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    IsWow64ProcessFunction isWow64Process =
        kernel ? (IsWow64ProcessFunction)(void*)GetProcAddress(kernel, "IsWow64Process") : NULL;
    BOOL wow64 = FALSE;
    return isWow64Process != NULL && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

void ScratchPath(char* out, size_t size, const char* name)
{
    snprintf(out, size, "%s%s%s", g_scratch, *name ? "\\" : "", name);
}

void WindowsPath(char* out, size_t size, const char* name)
{
    char folder[MAX_PATH];
    UINT length = GetWindowsDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder)
        snprintf(folder, sizeof folder, "C:\\WINDOWS");
    snprintf(out, size, "%s%s%s", folder, *name ? "\\" : "", name);
}

void MakeFolder(const char* path)
{
    char prefix[MAX_PATH];
    snprintf(prefix, sizeof prefix, "%s", path);
    // Every separator after the drive ends a folder that may be missing.
    for (size_t i = 3; prefix[i]; ++i) {
        if (prefix[i] != '\\')
            continue;
        prefix[i] = '\0';
        CreateDirectoryA(prefix, NULL);
        prefix[i] = '\\';
    }
    CreateDirectoryA(prefix, NULL);
}

void MakeFile(const char* path, const char* bytes, size_t count)
{
    char folder[MAX_PATH];
    snprintf(folder, sizeof folder, "%s", path);
    char* slash = strrchr(folder, '\\');
    if (slash) {
        *slash = '\0';
        MakeFolder(folder);
    }
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              NULL);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "MakeFile: cannot create %s (error %lu)\n", path, GetLastError());
        return;
    }
    DWORD written = 0;
    WriteFile(file, bytes, (DWORD)count, &written, NULL);
    CloseHandle(file);
}

void HoldOpenWithoutDeleteSharing(const char* path)
{
    g_held = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (g_held == INVALID_HANDLE_VALUE)
        fprintf(stderr, "HoldOpenWithoutDeleteSharing: cannot open %s (error %lu)\n", path,
                GetLastError());
}

void WorkInFolder(const char* path)
{
    if (g_workingFolder[0] == '\0' && GetCurrentDirectoryA(sizeof g_workingFolder, g_workingFolder) >= sizeof g_workingFolder)
        g_workingFolder[0] = '\0';
    if (!SetCurrentDirectoryA(path))
        fprintf(stderr, "WorkInFolder: cannot enter %s (error %lu)\n", path, GetLastError());
}

int PathPresent(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

long ReadFileBytes(const char* path, char* out, size_t size)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    DWORD count = 0;
    if (!ReadFile(file, out, (DWORD)size, &count, NULL))
        count = 0;
    CloseHandle(file);
    return (long)count;
}

void MakeKey(HKEY root, const char* path)
{
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) ==
        ERROR_SUCCESS)
        RegCloseKey(key);
}

void PutStringValue(HKEY root, const char* path, const char* name, const char* text)
{
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, *name ? name : NULL, 0, REG_SZ, (const BYTE*)text,
                   (DWORD)strlen(text) + 1);
    RegCloseKey(key);
}

int KeyPresent(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

// The list holds pairs of NUL-ended names, the source in NT form ("\??\C:\..."), and an empty
// destination for a deletion.
int PendingDeletion(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD size = 0;
    int found = 0;
    if (RegQueryValueExA(key, kPendingValue, NULL, NULL, NULL, &size) == ERROR_SUCCESS) {
        char* list = (char*)calloc(size + 2, 1);
        if (RegQueryValueExA(key, kPendingValue, NULL, NULL, (BYTE*)list, &size) ==
            ERROR_SUCCESS) {
            const char* end = list + size;
            const char* entry = list;
            while (entry < end && *entry) {
                const char* target = entry + strlen(entry) + 1;
                const char* source = strncmp(entry, "\\??\\", 4) == 0 ? entry + 4 : entry;
                if (target < end && *target == '\0' && lstrcmpiA(source, path) == 0)
                    found = 1;
                entry = target < end ? target + strlen(target) + 1 : end;
            }
        }
        free(list);
    }
    RegCloseKey(key);
    return found;
}

// ---- user32 -----------------------------------------------------------------------------------

// The presses for the next prompt, given once it activates; a prompt still open after some
// seconds is ended with this result, so that a press Windows ignored fails its row, not the run.
static char g_presses[64];
static HHOOK g_promptWatch;
static const INT_PTR kGaveUp = 0x7777;
static const UINT_PTR kGiveUpTimer = 0x5E1F;

static void CALLBACK GiveUp(HWND prompt, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(prompt, timer);
    EndDialog(prompt, kGaveUp);
}

static void PostKey(HWND prompt, WPARAM key)
{
    PostMessageA(prompt, WM_KEYDOWN, key, 1);
    PostMessageA(prompt, WM_KEYUP, key, 0xC0000001);
}

// Posted, the presses reach the prompt's own modal loop in order, as the user's would; keys go
// through IsDialogMessage there as from the keyboard.
static void PostPresses(HWND prompt, const char* presses)
{
    char list[sizeof g_presses];
    snprintf(list, sizeof list, "%s", presses);
    for (char* press = strtok(list, ","); press != NULL; press = strtok(NULL, ",")) {
        if (strcmp(press, "esc") == 0)
            PostKey(prompt, VK_ESCAPE);
        else if (strcmp(press, "enter") == 0)
            PostKey(prompt, VK_RETURN);
        else if (strncmp(press, "alt+", 4) == 0)
            // A mnemonic arrives as WM_SYSCHAR with the Alt bit (29) of the key data set.
            PostMessageA(prompt, WM_SYSCHAR, (WPARAM)(unsigned char)press[4], 0x20000001);
        else if (strcmp(press, "close") == 0)
            PostMessageA(prompt, WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            // BM_CLICK presses and releases the button as a mouse click does.
            PostMessageA(GetDlgItem(prompt, atoi(press)), BM_CLICK, 0, 0);
    }
}

static LRESULT CALLBACK WatchPrompts(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && g_presses[0] != '\0') {
        HWND prompt = (HWND)wParam;
        char className[16];
        if (GetClassNameA(prompt, className, sizeof className) > 0 &&
            strcmp(className, "#32770") == 0) {
            PostPresses(prompt, g_presses);
            g_presses[0] = '\0';
            SetTimer(prompt, kGiveUpTimer, 5000, GiveUp);
        }
    }
    return CallNextHookEx(g_promptWatch, code, wParam, lParam);
}

void ScriptPresses(const char* presses)
{
    if (g_promptWatch == NULL)
        g_promptWatch = SetWindowsHookExA(WH_CBT, WatchPrompts, NULL, GetCurrentThreadId());
    snprintf(g_presses, sizeof g_presses, "%s", presses);
}

LRESULT SendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(window, message, wParam, lParam);
}

HDC DeviceContextOf(HWND window)
{
    return GetDC(window);
}

void ReleaseDeviceContext(HWND window, HDC context)
{
    ReleaseDC(window, context);
}
