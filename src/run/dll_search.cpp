// The DLLs the run loads itself, and where the loader may look for the ones it loads by name.
//
// The run is elevated and its folder may be writable by every user: a DLL that Windows looks for
// by name there, before its system folder, would run as the administrator. KnownDLLs always come
// from the system folder; the others are kept out of reach here, before anything loads them.
#include "run/dll_search.h"

#include "foundation/paths.h"
#include "platform/platform.h"

// No KnownDLLs, and asked for by bare name after the start by the system DLLs of the run's own
// calls on XP to 7, where nothing narrows the search that late. Once mapped, a request by name
// finds the loaded module. A name the system lacks fails to load, which is no loss: then nothing
// of the system asks for it either.
static const char* const kLoadedByNameLater[] = {
    "dwmapi.dll",   // by uxtheme from Vista on, when it first draws: mapped before uxtheme
    "msimg32.dll",  // by uxtheme, a delayed import that Wine resolves with the program's folder first
    "uxtheme.dll",  // by comctl32 6, its import
    "userenv.dll",  // by shell32, for the profile that holds the user's Programs folder
    "oleacc.dll",   // by comctl32, when an accessibility aid asks the progress bar
    // By shell32, ole32 and advapi32 on Vista and 7 (the compatibility database, the known folders,
    // COM objects, the access-control calls), as NSIS's stub found them; not all of them are
    // among the calls of this run on every system, and a preload costs one mapping.
    "setupapi.dll", "apphelp.dll", "propsys.dll", "cryptbase.dll", "clbcatq.dll", "ntmarta.dll",
};

// The program's own manifest, in the resource every program's manifest has.
static const WORD kManifestResourceId = 1;  // CREATEPROCESS_MANIFEST_RESOURCE_ID

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryAFunction)(LPCSTR);
typedef HANDLE(WINAPI* CreateActCtxAFunction)(const ACTCTXA*);
typedef BOOL(WINAPI* ActivateActCtxFunction)(HANDLE, ULONG_PTR*);
typedef BOOL(WINAPI* InitCommonControlsExFunction)(const INITCOMMONCONTROLSEX*);
typedef void(WINAPI* InitCommonControlsFunction)(void);

// By full path from the system folder. The altered search makes the DLL's own imports come from
// its folder too, where a plain load would look for them by name, program's folder first.
static HMODULE LoadFromSystemFolder(const char* name)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length > MAX_PATH - 1 || !AppendPathComponent(path, name))
        return NULL;
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void RestrictDllSearch(void)
{
    // Looked up, not imported: Windows 95 to 2000 have neither function and would refuse to start
    // a program that imports them. kernel32 is mapped in every process.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel != NULL) {
        // Windows 8 on, Vista and 7 with the update that brings it: the system folder alone.
        SetDefaultDllDirectoriesFunction setDefaultDllDirectories =
            (SetDefaultDllDirectoriesFunction)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories");
        if (setDefaultDllDirectories != NULL)
            setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
        // XP SP1 on: an empty DLL folder takes the working folder out of the search; the
        // program's folder stays first, which the loads below by full path answer. Also after
        // SetDefaultDllDirectories, which Wine's delayed imports do not follow.
        SetDllDirectoryAFunction setDllDirectory =
            (SetDllDirectoryAFunction)(void*)GetProcAddress(kernel, "SetDllDirectoryA");
        if (setDllDirectory != NULL)
            setDllDirectory("");
    }
    // Never freed: they must stay mapped for the later requests by name to find them.
    for (const char* name : kLoadedByNameLater)
        LoadFromSystemFolder(name);
}

// XP on: the program's own manifest sends comctl32 to the side-by-side store, whatever a file
// "pxunins.exe.manifest" beside the exe says, which XP would prefer for the process's default.
// Activated for the rest of the run: every window resolves its classes through the context active
// when it is made, the progress bar's and, from the common controls 6, the buttons' of each
// dialog and message box. 0 when the system has no activation contexts or refuses this one.
static int ActivateOwnManifest(HINSTANCE instance)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == NULL)
        return 0;
    CreateActCtxAFunction createActCtx = (CreateActCtxAFunction)(void*)GetProcAddress(kernel, "CreateActCtxA");
    ActivateActCtxFunction activateActCtx =
        (ActivateActCtxFunction)(void*)GetProcAddress(kernel, "ActivateActCtx");
    if (createActCtx == NULL || activateActCtx == NULL)
        return 0;
    // The path too, for a system that reads the manifest from the file rather than the module.
    char modulePath[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, modulePath, sizeof modulePath);
    ACTCTXA context;
    memset(&context, 0, sizeof context);
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
    context.lpSource = length != 0 && length < sizeof modulePath ? modulePath : NULL;
    context.lpResourceName = MAKEINTRESOURCEA(kManifestResourceId);
    context.hModule = instance;
    HANDLE ownManifest = createActCtx(&context);
    if (ownManifest == INVALID_HANDLE_VALUE)
        return 0;
    // Never deactivated nor released: the process ends with it.
    ULONG_PTR cookie;
    return activateActCtx(ownManifest, &cookie) ? 1 : 0;
}

void LoadCommonControls(HINSTANCE instance)
{
    // By name under the program's own manifest, so that it comes from the side-by-side store (a
    // full path would skip the redirection). Without activation contexts, before XP, or when the
    // context cannot be made: the system folder's copy by full path, never one from beside the exe.
    HMODULE controls =
        ActivateOwnManifest(instance) ? LoadLibraryA("comctl32.dll") : LoadFromSystemFolder("comctl32.dll");
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
