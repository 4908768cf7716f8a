// The simulated Windows that the host build runs on: one machine, built afresh by each test.
//
// Each subsystem is one plain struct held by SimMachine. Tests fill the machine (files, keys,
// profile lines, answers, faults), run the real entry point, then read the end state and the
// journals. The simulated operations follow the documented Win32 behaviour and, where the
// documentation is silent, what Wine does.
#ifndef PLATFORM_SIM_SIM_H
#define PLATFORM_SIM_SIM_H

#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_disk_security.h"

// The simulation's names for the seam's handle types.
typedef struct HWND__ SimWindow;
typedef struct HINSTANCE__ SimModule;
typedef struct HKEY__ SimKey;
typedef struct HDC__ SimDeviceContext;
typedef struct HBRUSH__ SimBrush;

// ---- process: module path, version, code page, debugger, libraries, exit -------------------

struct SimProcess {
    // The program's path as GetModuleFileNameA renders it in the ANSI code page.
    std::string modulePath = "C:\\Program Files\\Plexitone\\pxunins.exe";
    // The path the loader really mapped the program from, when the ANSI rendering differs from it
    // (a folder name outside the code page: "?" or a look-alike in modulePath); empty: the same.
    std::string loadedModulePath;
    DWORD platformId = VER_PLATFORM_WIN32_NT;  // VER_PLATFORM_WIN32_WINDOWS for the consumer line
    DWORD majorVersion = 5, minorVersion = 1, buildNumber = 2600;
    bool doubleByteCodePage = false;  // true: code page 932, lead bytes 0x81-0x9F and 0xE0-0xFC
    bool debuggerAttached = false;
    bool kernelHasIsDebuggerPresent = true;  // false: GetProcAddress finds no IsDebuggerPresent
    // false: a kernel32 older than Windows XP, which GetProcAddress finds no
    // GetSystemWow64DirectoryA in. Wine exports it on every line and version.
    bool kernelHasGetSystemWow64Directory = true;
    int breakpointTraps = 0;                 // DebugBreak calls
    DWORD lastError = 0;
    // Token privileges by name; a privilege absent here cannot be enabled.
    std::map<std::string, bool> privilegesEnabled = {{"SeShutdownPrivilege", false}};
    int openTokens = 0;       // token handles open now
    bool restartRequested = false;  // ExitWindowsEx(EWX_REBOOT) accepted
    UINT exitWindowsFlags = 0;      // the flags of the last ExitWindowsEx call the system accepted
    std::vector<DWORD> tokenAccessOpened;  // the access of every token OpenProcessToken opened
    int libraryRefs = 0;            // LoadLibraryA references not yet given back by FreeLibrary
    std::map<ULONG_PTR, DWORD> tokens;  // open token handles and the access they were opened with
    // The loader (sim_loader.cpp). kernel32's exports: SetDefaultDllDirectories comes with
    // Windows 8, or the update for Vista and 7; SetDllDirectoryA with XP SP1.
    bool kernelHasSetDefaultDllDirectories = false;
    bool kernelHasSetDllDirectoryA = true;  // false on the consumer line
    DWORD defaultDllDirectories = 0;  // the LOAD_LIBRARY_SEARCH_ flags SetDefaultDllDirectories took
    bool dllDirectorySet = false;     // SetDllDirectoryA took a string: the working folder is out
    std::string dllDirectory;         // that string; a folder searched in the working folder's place
    // Every DLL mapped besides kernel32, by the path it was mapped from, in order: those the
    // program asked for and those the system's DLLs asked for in turn.
    std::vector<std::string> loadedDlls;
    // kernel32's CreateActCtxA and ActivateActCtx: XP on; false before, and on the consumer line.
    bool kernelHasActivationContexts = true;
    std::vector<ULONG_PTR> activationContexts;  // made by CreateActCtxA, all from the program's manifest
    std::vector<ULONG_PTR> activeContexts;      // activated, innermost last
    // Names a system DLL asks for by name when the program's first window is made (an input
    // method, an accessibility hook): a test declares them, for names the system itself lacks.
    std::vector<std::string> loadedByNameAtFirstWindow;
};

// ---- token: the groups of the process's token (sim_token.cpp) -------------------------------

// One group of the token: its SID as text ("S-1-5-32-544") and its SE_GROUP_ attributes.
struct SimTokenGroup {
    std::string sid;
    DWORD attributes;
};

struct SimToken {
    // An administrator's token as Windows XP gives it: Everyone, Administrators, Users,
    // Interactive and Authenticated Users, each mandatory, enabled by default and enabled (7).
    std::vector<SimTokenGroup> groups = {
        {"S-1-1-0", 7}, {"S-1-5-32-544", 7}, {"S-1-5-32-545", 7}, {"S-1-5-4", 7}, {"S-1-5-11", 7}};
    // false: the advapi32 of NT 4, in which GetProcAddress finds no CheckTokenMembership. Wine
    // exports it on both lines.
    bool advapiHasCheckTokenMembership = true;
    int sidsLive = 0;  // SIDs from AllocateAndInitializeSid not yet given back to FreeSid
};

// ---- disk: files and folders, short names, delete-at-restart, C streams ---------------------

struct SimDiskItem {
    std::string path;      // as created, original case, no trailing separator
    bool isFolder = false;
    std::string data;      // a file's bytes
    bool inUse = false;    // a file in use refuses deletion (ERROR_SHARING_VIOLATION)
    std::string shortName; // the 8.3 name of this last component, or empty when it is already one
    // A link to a folder (a junction, a symbolic link, a mount point): the key of the folder it
    // leads to; empty for any other item. A link is a folder item with no children of its own.
    std::string linkTarget;
    DWORD fileIndex = 0;   // unique on the volume while the item exists (GetFileInformationByHandle)
    DWORD writeTime = 0;   // the moment of the last write, in ticks of the disk's clock
    SimSecurity security;  // owner and DACL; an empty owner reads as the running user's, with
                           // the running user and Administrators allowed everything
};

struct SimDisk {
    // Keyed by the path with A-Z folded to a-z and no trailing separator: names are
    // case-insensitive on Windows.
    std::map<std::string, SimDiskItem> items;
    // MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) records, in order.
    std::vector<std::string> pendingDeletes;
    std::string windowsFolder = "C:\\WINDOWS";
    std::string systemFolderNt = "C:\\WINDOWS\\system32";
    std::string systemFolderConsumer = "C:\\WINDOWS\\SYSTEM";
    // 64-bit Windows only: where the 32-bit system files really lie.
    std::string systemFolderWow64 = "C:\\WINDOWS\\SysWOW64";
    // The process's working folder, against which a path that is not full resolves: the system
    // folder when the list of installed programs starts a program.
    std::string currentFolder = "C:\\WINDOWS\\system32";
    int openStreams = 0;  // streams from _fsopen not yet closed
    // By the root as given to the volume functions, folded, with its trailing separator ("c:\\").
    // A drive letter not listed is a fixed NTFS volume; a network root not listed is remote.
    std::map<std::string, SimVolume> volumes;
    std::map<ULONG_PTR, SimOpenItem> openItems;
    std::vector<SimLinkSwap> linkSwaps;
    // GetTempPathA's folder, without its trailing separator.
    std::string tempFolder = "C:\\WINDOWS\\TEMP";
    DWORD volumeSerial = 0x5A3C19E4;  // of drive C:, the only volume
    DWORD nextFileIndex = 1;           // the next file index the volume hands out
    DWORD writeClock = 1;              // ticks on every write
    // kernel32's file calls that programs find through GetProcAddress: GetLongPathNameA from
    // Windows 98 and 2000 on, GetFinalPathNameByHandleA and SetFileInformationByHandle from Vista
    // on. Wine exports all three on every line and version.
    bool kernelHasGetLongPathName = true;
    bool kernelHasGetFinalPathNameByHandle = false;
    bool kernelHasSetFileInformationByHandle = false;
    // Wine keeps no DACL a program sets: a new folder gets one made from the Unix mode, owned
    // by the running user (that user allowed everything, Everyone what the mode's last three
    // bits allow). 0: a new folder takes the DACL it is given, as Windows does.
    int unixMode = 0;
};

// ---- processes and handles -------------------------------------------------------------------

enum SimObjectKind { SimObjectFile, SimObjectProcess, SimObjectPipe };

struct SimHandle {
    SimObjectKind kind = SimObjectFile;
    std::string key;       // a file's or folder's key on the disk
    DWORD processId = 0;   // the process a process handle names
    DWORD access = 0, share = 0;
    bool inheritable = false;
    bool deleteOnClose = false;  // marked for deletion through this handle: it goes at its close
};

// A process this one knows of: itself, the ones it started, and those whose handles it was given.
struct SimProcessRecord {
    DWORD id = 0;
    std::string application;    // CreateProcessA's application name
    std::string commandLine;
    std::string currentFolder;  // its working folder
    DWORD creationFlags = 0;
    // The handles it received, by value: a process's inherited handles keep their values.
    std::map<ULONG_PTR, SimHandle> inheritedHandles;
    // While CreateProcessA ran: its image could be neither written nor deleted, its working folder
    // not removed, because handles of the starting process held them.
    bool imageHeld = false, folderHeld = false;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    long long endsAtMs = -1;  // when it ends of itself on the machine's clock; -1: never
};

struct SimObjects {
    std::map<ULONG_PTR, SimHandle> handles;  // this process's open handles by value
    std::vector<SimProcessRecord> processes; // the first is this process
    DWORD currentProcessId = 1;
    long long clockMs = 0;                   // advanced by Sleep and by waits that time out
    HANDLE standardHandles[3] = {nullptr, nullptr, nullptr};  // input, output, error
    bool kernelHasProcThreadAttributes = false;  // Vista on: InitializeProcThreadAttributeList...
    bool kernelHasSetSecurityDescriptorControl = true;  // Windows 2000 on
    bool inJobWithoutBreakaway = false;  // CREATE_BREAKAWAY_FROM_JOB is refused
    std::string userSid = "S-1-5-21-1004336348-1177238915-682003330-1000";  // the running user
};

// ---- registry ---------------------------------------------------------------------------------

struct SimValue {
    std::string name;  // original case; empty for the default value
    DWORD type = REG_SZ;
    std::string data;  // the bytes as stored, NUL included for strings set with SetString
};

struct SimKeyNode {
    std::string name;                          // original case
    std::map<std::string, SimValue> values;    // keyed by folded name
    std::map<std::string, SimKeyNode> subkeys; // keyed by folded name
    bool denyAllAccess = false;  // opening with KEY_ALL_ACCESS fails with ERROR_ACCESS_DENIED
};

struct SimRegistry {
    std::map<ULONG_PTR, SimKeyNode> roots;  // by the value of HKEY_CURRENT_USER, ...
    int openKeys = 0;                       // handles open now
};

// ---- shell -------------------------------------------------------------------------------------

struct SimShell {
    std::string programsFolder =
        "C:\\WINDOWS\\Profiles\\User\\Start Menu\\Programs";          // CSIDL_PROGRAMS
    std::string commonProgramsFolder =
        "C:\\WINDOWS\\All Users\\Start Menu\\Programs";               // CSIDL_COMMON_PROGRAMS
    int allocatorRefs = 0;   // references held on the shell's allocator
    int itemListsLive = 0;   // item lists handed out and not yet freed
    int foreignFrees = 0;    // IMalloc::Free calls with a block this allocator never handed out
};

// ---- user interface ---------------------------------------------------------------------------

// The one device context of a window, as the dialog procedures see it in the WM_CTLCOLOR*
// messages. A fresh context has a white background, as on Windows.
struct HDC__ {
    COLORREF backgroundColour = 0x00FFFFFF;  // SetBkColor
};

// One control or window; dialogs own their controls.
struct SimWindowState {
    std::string className;  // "#32770" for dialogs, "Static", "Button", "msctls_progress32"
    std::string text;
    int id = 0;
    DWORD style = 0, exStyle = 0;
    RECT rect = {0, 0, 0, 0};  // screen coordinates
    bool visible = false;
    bool destroyed = false;
    int progressPos = 0, progressMin = 0, progressMax = 100;
    std::vector<HWND> children;
    HWND parent = nullptr;
    DLGPROC procedure = nullptr;
    bool dialogEnded = false;
    INT_PTR dialogResult = 0;
    std::string templateName;  // the resource name a dialog was made from, as stored
    // What the user saw change after creation, in order: every text set (WM_SETTEXT,
    // SetDlgItemTextA) and, for a progress bar, the position after each PBM_SETPOS.
    std::vector<std::string> textHistory;
    std::vector<int> positionHistory;
    // A dialog's messages handed to its procedure, in order (WM_SETFONT, WM_INITDIALOG,
    // WM_SHOWWINDOW, WM_COMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY and what tests send).
    std::vector<UINT> procedureMessages;
    HWND focus = nullptr;  // a dialog's control with the keyboard focus, NULL when none
    SimDeviceContext deviceContext;
};

// What a user saw and did: one row per message box or modal dialog.
struct SimUiEvent {
    std::string kind;     // "MessageBox" or "Dialog"
    HWND owner = nullptr;
    std::string caption;
    std::string text;     // a dialog's control texts, joined with " | "
    UINT type = 0;        // a message box's type
    INT_PTR answer = 0;   // the result handed back
    int openStreams = 0;  // C streams open while a message box was up
};

// Keys a scripted user presses, beside the control ids that stand for clicks.
enum SimKeyPress : INT_PTR {
    SimKeyEscape = -1,
    SimKeyEnter = -2,
    SimKeyCloseBox = -3,  // the caption's close box: WM_SYSCOMMAND SC_CLOSE
};
// Alt with a letter: the control whose text marks that letter with '&'.
inline INT_PTR SimKeyAlt(char letter)
{
    return -0x100 - (unsigned char)letter;
}

struct SimUi {
    // Answers for message boxes and modal dialogs, taken in order until the prompt ends. For a
    // message box, the button clicked (IDYES, IDNO, IDOK...), a SimKeyPress, or 0 for a box that
    // fails to appear. For a dialog, the control id to press (a WM_COMMAND with BN_CLICKED) or a
    // SimKeyPress. A press the prompt ignores (the greyed close box) lets the next answer follow.
    std::vector<INT_PTR> answers;
    size_t nextAnswer = 0;
    // Standing answers by a message box's text or a dialog's caption, given every time that
    // prompt appears, before the answers in order are consulted.
    std::map<std::string, INT_PTR> answersByText;
    std::vector<SimUiEvent> journal;
    int unscriptedPrompts = 0;  // prompts that found no answer: a test failure
    int screenWidth = 1024, screenHeight = 768;
    bool commonControlsRegistered = false;  // "msctls_progress32" exists once InitCommonControls ran
    std::vector<SimWindowState*> windows;   // every window created, owned by the machine
    bool exitWindowsSucceeds = true;         // the system accepts a restart request
};

// ---- faults -----------------------------------------------------------------------------------

enum SimFaultKind {
    SimFaultError,      // the operation fails with its documented failure result
    SimFaultShortRead,  // a read delivers fewer bytes than asked (streams) or data cut short
    SimFaultNullHandle, // the operation returns a null handle or pointer
    SimFaultNoNul,      // string data fills the buffer without a terminating NUL
    SimFaultTaken,      // a name to be made is taken already (ERROR_ALREADY_EXISTS)
};

struct SimFault {
    std::string operation;  // e.g. "DeleteFileA"
    std::string argument;   // the first string argument must equal this (case-insensitive); empty: any
    int occurrence = 0;     // the n-th matching call fails (1-based); 0: every matching call
    SimFaultKind kind = SimFaultError;
    int seen = 0;           // matching calls so far
};

// ---- heap ------------------------------------------------------------------------------------

struct SimHeap {
    long liveBlocks = 0;   // HeapAlloc blocks not yet freed: a leak shows here
    long allocations = 0;  // HeapAlloc calls that succeeded
};

// ---- the machine ------------------------------------------------------------------------------

// The width of Windows. On 64-bit Windows the uninstaller, a 32-bit program, runs under WoW64.
enum SimWindowsWidth { SimWindows32, SimWindows64 };

struct SimMachine {
    SimWindowsWidth width = SimWindows32;
    SimProcess process;
    SimToken token;
    SimDisk disk;
    SimRegistry registry;
    SimShell shell;
    SimUi ui;
    SimHeap heap;
    SimObjects objects;
    std::vector<SimFault> faults;
    // Every platform call in order: "Operation(argument) = result".
    std::vector<std::string> calls;
};

// The machine the platform calls act on.
SimMachine& Machine();

// Replaces the machine by a fresh one of the given line: VER_PLATFORM_WIN32_NT (Windows XP, or
// Windows XP x64 when 64-bit) or VER_PLATFORM_WIN32_WINDOWS (Windows 98, never 64-bit). The fresh
// machine has the Windows and system folders, the user's Programs folder, and the registry roots.
void ResetMachine(DWORD platformId = VER_PLATFORM_WIN32_NT, SimWindowsWidth width = SimWindows32);

// The instance handle whose resources are the uninstaller's own dialog templates.
HINSTANCE SimInstance();

// Faults. The n-th call of operation whose first string argument equals argument fails.
void FailCall(const std::string& operation, int occurrence = 1, SimFaultKind kind = SimFaultError,
              const std::string& argument = "");

// Disk helpers for tests (they write no journal entries).
void AddFolder(const std::string& path);  // creates missing parents as well
void AddFile(const std::string& path, const std::string& data = "");  // parents as well
// Where a 32-bit program's call reaches, in the helpers' own view, that of the machine: the
// same path on 32-bit Windows; under WoW64 the 32-bit system folder for the system folder, and
// HKLM\Software\Wow6432Node for HKLM\Software except the keys both views share.
std::string RedirectedPath(const std::string& path);
bool PathExists(const std::string& path);
bool IsFolder(const std::string& path);
std::string FileData(const std::string& path);
void SetInUse(const std::string& path, bool inUse = true);
void SetShortName(const std::string& path, const std::string& shortName);
std::vector<std::string> ListPaths();  // every file and folder, sorted, original case
// A link at path to the folder target (which may be missing), its parents made as AddFolder does.
void AddLink(const std::string& path, const std::string& target);
void SetSecurity(const std::string& path, const SimSecurity& security);
void SwapFolderForLink(const std::string& operation, const std::string& argument,
                       const std::string& folder, const std::string& target, int occurrence = 1);
// Likewise another program renames the file at path away (to path ".moved") and puts a new one with
// data in its place,
// unless a handle held without delete sharing (or a running image) keeps it.
void ReplaceFileBefore(const std::string& operation, const std::string& argument, const std::string& path,
                       const std::string& data, int occurrence = 1);

// Process helpers for tests. A process the machine knows of, ended or still running (endsAtMs:
// when it ends of itself; -1 never), and a handle of this process that names it.
DWORD AddProcess(bool ended, DWORD exitCode = 0, long long endsAtMs = -1);
HANDLE AddProcessHandle(DWORD processId, DWORD access, bool inheritable);
// An inheritable pipe as the standard output and error, as a caller that reads them gives.
HANDLE GiveStandardOutputPipe();
// The process at index (1: the first this one started) takes over: this process ends with
// exitCode, and the machine becomes that process with only the handles it inherited, its
// application as the module path and its working folder.
void BecomeStartedProcess(size_t index, DWORD exitCode = 0);
// The handles this process holds open now, of the given kind.
int OpenHandles(SimObjectKind kind);

// Registry helpers for tests. keyPath is below root; value name "" is the default value.
void AddKey(HKEY root, const std::string& keyPath);
void SetValue(HKEY root, const std::string& keyPath, const std::string& name, DWORD type,
              const std::string& data);
void SetString(HKEY root, const std::string& keyPath, const std::string& name,
               const std::string& text, DWORD type = REG_SZ);  // stores text and its NUL
void SetDword(HKEY root, const std::string& keyPath, const std::string& name, DWORD value);
std::string RedirectedKeyPath(HKEY root, const std::string& keyPath);  // as RedirectedPath
bool KeyExists(HKEY root, const std::string& keyPath);
bool ValueExists(HKEY root, const std::string& keyPath, const std::string& name);
std::string ValueData(HKEY root, const std::string& keyPath, const std::string& name);
void DenyAllAccess(HKEY root, const std::string& keyPath);
std::vector<std::string> ListRegistry();  // "ROOT\\key" and "ROOT\\key : name = type:hex" rows

// INI files live on the simulated disk in the Windows folder; these read and write them whole.
void SetIniFile(const std::string& fileName, const std::string& text);
std::string IniFile(const std::string& fileName);

// UI helpers.
// Replaces the scripted answers; the next prompt takes the first.
void ScriptAnswers(const std::vector<INT_PTR>& answers);
// The state of any window this machine created, destroyed ones included; NULL for other handles.
SimWindowState* WindowState(HWND hwnd);
// Sends a message straight to a live dialog's procedure, as SendMessage would; 0 for a handle
// that is not a live dialog.
LRESULT SendToDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The device context of a live window, to pass in wParam of a WM_CTLCOLOR* message.
HDC SimDeviceContextFor(HWND window);
// The background colour last set on a device context (white when never set).
COLORREF SimBackgroundColour(HDC hdc);
// Acts on a live dialog as the user would, with a control id or a SimKeyPress, for a modeless dialog
// that no DialogBoxParamA answers for. False when the action is impossible: a code that is no
// key, or the close box of a dialog without one.
bool PressInDialog(HWND dialog, INT_PTR answer);

#endif
