// The DLLs the run loads itself, and where the loader may look for the ones it loads by name.
//
// The run is elevated and its folder may be writable by every user: a DLL that Windows looks for
// by name there, before its system folder, would run as the administrator. KnownDLLs always come
// from the system folder; the others are kept out of reach here, before anything loads them.
#include "run/dll_search.h"

#include "foundation/paths.h"
#include "platform/platform.h"

// Asked for by bare name after the start, and no KnownDLLs: uxtheme by the import of comctl32,
// msimg32 by a delayed import of uxtheme, which Wine resolves with the program's folder first
// even after SetDefaultDllDirectories. Once mapped, a request by name finds the loaded module.
// Older systems lack uxtheme, and with it what would ask for it: a failed load is no loss.
static const char* const kLoadedByNameLater[] = {"msimg32.dll", "uxtheme.dll"};

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryAFunction)(LPCSTR);
typedef BOOL(WINAPI* InitCommonControlsExFunction)(const INITCOMMONCONTROLSEX*);
typedef void(WINAPI* InitCommonControlsFunction)(void);

void RestrictDllSearch(void)
{
    // Looked up, not imported: Windows 95 to 2000 have neither function and would refuse to start
    // a program that imports them. kernel32 is mapped in every process.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel != NULL) {
        // Windows 8 on, Vista and 7 with the update that brings it: the system folder alone.
        SetDefaultDllDirectoriesFunction setDefaultDllDirectories =
            (SetDefaultDllDirectoriesFunction)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories");
        if (setDefaultDllDirectories == NULL ||
            !setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
            // XP SP1 on: an empty DLL folder takes the working folder out of the search; the
            // program's folder stays first, which the loads below by full path answer.
            SetDllDirectoryAFunction setDllDirectory =
                (SetDllDirectoryAFunction)(void*)GetProcAddress(kernel, "SetDllDirectoryA");
            if (setDllDirectory != NULL)
                setDllDirectory("");
        }
    }

    char systemFolder[MAX_PATH];
    UINT length = GetSystemDirectoryA(systemFolder, sizeof systemFolder);
    if (length == 0 || length > MAX_PATH - 1)
        return;
    // Never freed: they must stay mapped for the later requests by name to find them.
    for (const char* name : kLoadedByNameLater) {
        char path[MAX_PATH];
        memcpy(path, systemFolder, sizeof path);
        if (AppendPathComponent(path, name))
            LoadLibraryA(path);
    }
}

void LoadCommonControls(void)
{
    // By name, so that the manifest's Common-Controls 6 dependency sends the request to the
    // side-by-side store (a full path would skip the redirection). Without one, before XP, the
    // search goes as it went for the import this load replaces.
    HMODULE controls = LoadLibraryA("comctl32.dll");
    if (controls == NULL)
        return;  // the progress dialog then cannot be created, and the run says so
    InitCommonControlsExFunction initCommonControlsEx =
        (InitCommonControlsExFunction)(void*)GetProcAddress(controls, "InitCommonControlsEx");
    if (initCommonControlsEx != NULL) {
        INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
        if (initCommonControlsEx(&classes))
            return;
    }
    // The comctl32 of Windows 95 before 4.70 has only the call that registers every class.
    InitCommonControlsFunction initCommonControls =
        (InitCommonControlsFunction)(void*)GetProcAddress(controls, "InitCommonControls");
    if (initCommonControls != NULL)
        initCommonControls();
}
