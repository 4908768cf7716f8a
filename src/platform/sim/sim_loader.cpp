// The simulated loader: where a DLL asked for by name is found, what the system's DLLs ask for
// in turn, how SetDefaultDllDirectories and SetDllDirectoryA narrow the search, and the
// activation contexts that send comctl32 to the side-by-side store.
#include "platform/sim/sim_internal.h"

// The copy that the manifest's Common-Controls 6 dependency names, from XP on.
static const char kSideBySideCommonControls[] =
    "C:\\WINDOWS\\WinSxS\\x86_Microsoft.Windows.Common-Controls_6595b64144ccf1df_6.0.2600.2180_x-ww_a84f1ff9"
    "\\comctl32.dll";

static const DWORD kSearchApplicationDir = 0x00000200;  // LOAD_LIBRARY_SEARCH_APPLICATION_DIR
static const DWORD kSearchUserDirs = 0x00000400;        // LOAD_LIBRARY_SEARCH_USER_DIRS
static const DWORD kSearchDefaultDirs = 0x00001000;     // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
static const DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;

// The system's own DLLs besides KnownDLLs, which need no file on the simulated disk, and the
// Windows version (major * 100 + minor) each comes with; ntOnly: none on the consumer line.
static const struct {
    const char* name;
    DWORD since;
    bool ntOnly;
} kSystemDlls[] = {
    {"comctl32.dll", 0, false},  {"msimg32.dll", 0, false},   {"oleacc.dll", 0, false},
    {"userenv.dll", 500, true},  {"setupapi.dll", 500, true}, {"clbcatq.dll", 500, true},
    {"ntmarta.dll", 500, true},  {"uxtheme.dll", 501, true},  {"apphelp.dll", 501, true},
    {"dwmapi.dll", 600, true},   {"propsys.dll", 600, true},  {"cryptbase.dll", 601, true},
    {"profapi.dll", 601, true},
};

// What a system DLL asks for by name once mapped: its imports, resolved as it maps, and its
// delayed imports, resolved at their first call with the program's folder first.
static const struct {
    const char* importer;
    const char* imported;
    DWORD since;
    bool delayed;
} kImportsByName[] = {
    {"comctl32.dll", "uxtheme.dll", 501, false},  // comctl32 6, the side-by-side copy
    {"uxtheme.dll", "msimg32.dll", 501, true},
    {"uxtheme.dll", "dwmapi.dll", 600, true},
    {"userenv.dll", "profapi.dll", 601, false},  // Windows 7 moved the profile calls there
};

// Handles are tags: the n-th DLL mapped gets the n-th; activation contexts get their own.
static HMODULE HandleOf(size_t index)
{
    return (HMODULE)(ULONG_PTR)(0x10000000u + 0x10000u * (index + 1));
}

static DWORD Version()
{
    const SimProcess& p = Machine().process;
    return p.majorVersion * 100 + p.minorVersion;
}

static bool IsXpOrLater()
{
    return Machine().process.platformId == VER_PLATFORM_WIN32_NT && Version() >= 501;
}

static std::string SystemFolder()
{
    const SimDisk& disk = Machine().disk;
    return Machine().process.platformId == VER_PLATFORM_WIN32_NT ? disk.systemFolderNt
                                                                 : disk.systemFolderConsumer;
}

static std::string FolderOf(const std::string& path)
{
    size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? "" : path.substr(0, separator);
}

static std::string BaseName(const std::string& path)
{
    return path.substr(path.find_last_of("\\/") + 1);
}

static std::string ProgramPath()
{
    const SimProcess& p = Machine().process;
    return p.loadedModulePath.empty() ? p.modulePath : p.loadedModulePath;
}

static bool IsSideBySideCommonControls(const std::string& path)
{
    return IsXpOrLater() && FoldCase(path) == FoldCase(kSideBySideCommonControls);
}

static bool IsSystemDll(const std::string& path)
{
    if (IsSideBySideCommonControls(path))
        return true;
    if (FoldCase(FolderOf(path)) != FoldCase(SystemFolder()))
        return false;
    bool nt = Machine().process.platformId == VER_PLATFORM_WIN32_NT;
    for (const auto& dll : kSystemDlls) {
        if (FoldCase(BaseName(path)) == dll.name && (nt || !dll.ntOnly) && Version() >= dll.since)
            return true;
    }
    return false;
}

static bool DllExists(const std::string& path)
{
    return IsSystemDll(path) || (PathExists(path) && !IsFolder(path));
}

// Where comctl32 asked for by name goes: the active activation context, or without one the
// process's default, made at the start from the manifest. XP and Server 2003 take a file
// "pxunins.exe.manifest" beside the exe over the embedded manifest, later Windows the embedded
// one; such a file that names comctl32 as a file of its own sends it to the program's folder.
// "" when nothing redirects it.
static std::string CommonControlsByContext()
{
    if (!IsXpOrLater())
        return "";
    if (!Machine().process.activeContexts.empty())
        return kSideBySideCommonControls;  // every context here is the program's own manifest
    std::string external = ProgramPath() + ".manifest";
    if (Version() < 600 && PathExists(external) && !IsFolder(external)) {
        std::string text = FoldCase(FileData(external));
        if (text.find("<file name=\"comctl32.dll\"") != std::string::npos)
            return FolderOf(ProgramPath()) + "\\comctl32.dll";
        if (text.find("microsoft.windows.common-controls") == std::string::npos)
            return "";
    }
    return kSideBySideCommonControls;
}

// Where a bare name is found. first: the folder searched first, the program's, or under
// LOAD_WITH_ALTERED_SEARCH_PATH the folder of the DLL whose imports these are. Windows searches
// without SafeDllSearchMode (XP before SP2, the consumer line) the working folder right after it,
// with it after the Windows folder; the earlier place is the one a planted DLL can reach on more
// systems. delayed: Wine resolves a delayed import with the program's folder first even after
// SetDefaultDllDirectories.
static std::string FindDll(const std::string& name, const std::string& first, bool delayed)
{
    const SimProcess& p = Machine().process;
    if (FoldCase(name) == "comctl32.dll") {
        std::string redirected = CommonControlsByContext();
        if (!redirected.empty() && DllExists(redirected))
            return redirected;
    }
    std::vector<std::string> folders;
    DWORD flags = p.defaultDllDirectories;
    if (flags == 0 || delayed) {
        folders.push_back(first);
        if (!p.dllDirectorySet)
            folders.push_back(Machine().disk.currentFolder);
        else if (!p.dllDirectory.empty())
            folders.push_back(p.dllDirectory);
        folders.push_back(SystemFolder());
        folders.push_back(Machine().disk.windowsFolder);
    } else {
        if (flags & (kSearchApplicationDir | kSearchDefaultDirs))
            folders.push_back(FolderOf(ProgramPath()));
        if ((flags & (kSearchUserDirs | kSearchDefaultDirs)) && p.dllDirectorySet && !p.dllDirectory.empty())
            folders.push_back(p.dllDirectory);
        folders.push_back(SystemFolder());
    }
    for (const std::string& folder : folders) {
        std::string candidate = folder + "\\" + name;
        if (DllExists(candidate))
            return candidate;
    }
    return "";
}

static HMODULE LoadDll(const std::string& name, const std::string& first, bool delayed);

// Maps the DLL at path, or finds it mapped. The system's DLLs bring what they ask for by name
// along, the delayed imports too, never later than Windows and Wine resolve them; a foreign DLL
// in their place brings none. importsFrom: the folder their imports are searched in first.
static HMODULE MapDll(const std::string& path, const std::string& importsFrom)
{
    std::vector<std::string>& loaded = Machine().process.loadedDlls;
    for (size_t i = 0; i < loaded.size(); i++) {
        if (FoldCase(loaded[i]) == FoldCase(path))
            return HandleOf(i);
    }
    loaded.push_back(path);
    HMODULE module = HandleOf(loaded.size() - 1);
    if (!IsSystemDll(path))
        return module;
    bool sideBySide = IsSideBySideCommonControls(path);
    for (const auto& import : kImportsByName) {
        if (FoldCase(BaseName(path)) != import.importer || Version() < import.since)
            continue;
        if (FoldCase(BaseName(path)) == "comctl32.dll" && !sideBySide)
            continue;  // the system folder's comctl32 5 imports KnownDLLs only
        LoadDll(import.imported, import.delayed ? FolderOf(ProgramPath()) : importsFrom, import.delayed);
    }
    return module;
}

// A name with a path is that file; a bare name is first matched against the DLLs mapped.
static HMODULE LoadDll(const std::string& name, const std::string& first, bool delayed)
{
    if (name.find_first_of("\\/") != std::string::npos)
        return DllExists(name) ? MapDll(name, FolderOf(ProgramPath())) : NULL;
    const std::vector<std::string>& loaded = Machine().process.loadedDlls;
    for (size_t i = 0; i < loaded.size(); i++) {
        if (FoldCase(BaseName(loaded[i])) == FoldCase(name))
            return HandleOf(i);
    }
    std::string path = FindDll(name, first, delayed);
    return path.empty() ? NULL : MapDll(path, FolderOf(ProgramPath()));
}

HMODULE SimLoadLibrary(const std::string& name)
{
    HMODULE module = LoadDll(name, FolderOf(ProgramPath()), false);
    if (module == NULL)
        return (HMODULE)(ULONG_PTR)SimFail("LoadLibraryA", name, ERROR_MOD_NOT_FOUND);
    SimRecordCall("LoadLibraryA", name, 1);
    return module;
}

// LOAD_WITH_ALTERED_SEARCH_PATH with a full path: the DLL's imports are looked for in its own
// folder first instead of the program's.
HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags)
{
    std::string name = lpLibFileName ? lpLibFileName : "";
    if (SimFaultHit("LoadLibraryExA", name.c_str(), nullptr))
        return (HMODULE)(ULONG_PTR)SimFail("LoadLibraryExA", name, ERROR_MOD_NOT_FOUND);
    if (hFile != NULL || (dwFlags & ~LOAD_WITH_ALTERED_SEARCH_PATH) != 0)
        return (HMODULE)(ULONG_PTR)SimFail("LoadLibraryExA", name, ERROR_INVALID_PARAMETER);
    bool hasPath = name.find_first_of("\\/") != std::string::npos;
    HMODULE module;
    if (hasPath && (dwFlags & LOAD_WITH_ALTERED_SEARCH_PATH))
        module = DllExists(name) ? MapDll(name, FolderOf(name)) : NULL;
    else
        module = LoadDll(name, FolderOf(ProgramPath()), false);
    if (module == NULL)
        return (HMODULE)(ULONG_PTR)SimFail("LoadLibraryExA", name, ERROR_MOD_NOT_FOUND);
    SimRecordCall("LoadLibraryExA", name, 1);
    return module;
}

void SimSystemLoadsByName(const std::string& name)
{
    LoadDll(name, FolderOf(ProgramPath()), true);
}

void SimResolveWindowClasses(void)
{
    // From XP on the common controls 6 register the buttons, statics and progress bars that a
    // context names, and user32 maps the comctl32 it names when none is mapped there yet.
    std::string controls = CommonControlsByContext();
    if (!controls.empty() && DllExists(controls))
        MapDll(controls, FolderOf(ProgramPath()));
    std::vector<std::string>& atFirstWindow = Machine().process.loadedByNameAtFirstWindow;
    for (const std::string& name : atFirstWindow)
        SimSystemLoadsByName(name);
    atFirstWindow.clear();
}

FARPROC SimLibraryExport(HMODULE module, const std::string& name)
{
    const std::vector<std::string>& loaded = Machine().process.loadedDlls;
    size_t index = (size_t)(((ULONG_PTR)module - 0x10000000u) / 0x10000u) - 1;
    if ((ULONG_PTR)module < 0x10010000u || index >= loaded.size() || module != HandleOf(index))
        return (FARPROC)(ULONG_PTR)SimFail("GetProcAddress", name, ERROR_INVALID_HANDLE);
    const std::string& path = loaded[index];
    FARPROC found = NULL;
    // Through void (*)(void), the generic function pointer type, as the caller casts it back.
    if (IsSystemDll(path) && FoldCase(BaseName(path)) == "comctl32.dll") {
        if (name == "InitCommonControlsEx")
            found = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&InitCommonControlsEx));
        else if (name == "InitCommonControls")
            found = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&InitCommonControls));
    }
    if (found == NULL)
        return (FARPROC)(ULONG_PTR)SimFail("GetProcAddress", name, ERROR_PROC_NOT_FOUND);
    SimRecordCall("GetProcAddress", name, 1);
    return found;
}

// Only the program's own manifest, from its module or its file, with the resource every
// program's manifest has; another source is refused as a missing resource would be.
static HANDLE WINAPI SimCreateActCtxA(const ACTCTXA* pActCtx)
{
    const DWORD known = 0x01 | 0x02 | 0x04 | ACTCTX_FLAG_RESOURCE_NAME_VALID | 0x10 | 0x20 |
                        ACTCTX_FLAG_HMODULE_VALID;
    if (SimFaultHit("CreateActCtxA", "", nullptr) || pActCtx == NULL ||
        pActCtx->cbSize != sizeof(ACTCTXA) || (pActCtx->dwFlags & ~known) != 0) {
        SimFail("CreateActCtxA", "", ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    DWORD flags = pActCtx->dwFlags;
    bool ownModule = (flags & ACTCTX_FLAG_HMODULE_VALID)
                         ? pActCtx->hModule == SimInstance()
                         : pActCtx->lpSource != NULL && FoldCase(pActCtx->lpSource) == FoldCase(ProgramPath());
    if (!ownModule || !(flags & ACTCTX_FLAG_RESOURCE_NAME_VALID) ||
        pActCtx->lpResourceName != MAKEINTRESOURCEA(1)) {
        SimFail("CreateActCtxA", "", ERROR_RESOURCE_TYPE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<ULONG_PTR>& contexts = Machine().process.activationContexts;
    contexts.push_back(0x5000 + 4 * contexts.size());
    SimRecordCall("CreateActCtxA", "", 1);
    return (HANDLE)contexts.back();
}

static BOOL WINAPI SimActivateActCtx(HANDLE hActCtx, ULONG_PTR* lpCookie)
{
    SimProcess& p = Machine().process;
    bool made = false;
    for (ULONG_PTR context : p.activationContexts)
        made = made || context == (ULONG_PTR)hActCtx;
    if (SimFaultHit("ActivateActCtx", "", nullptr) || !made || lpCookie == NULL)
        return SimFail("ActivateActCtx", "", ERROR_INVALID_PARAMETER);
    p.activeContexts.push_back((ULONG_PTR)hActCtx);
    *lpCookie = p.activeContexts.size();
    SimRecordCall("ActivateActCtx", "", TRUE);
    return TRUE;
}

void (*SimActivationContextExport(const std::string& name))(void)
{
    if (name == "CreateActCtxA")
        return reinterpret_cast<void (*)(void)>(&SimCreateActCtxA);
    if (name == "ActivateActCtx")
        return reinterpret_cast<void (*)(void)>(&SimActivateActCtx);
    return nullptr;
}

BOOL WINAPI SetDefaultDllDirectories(DWORD DirectoryFlags)
{
    if (SimFaultHit("SetDefaultDllDirectories", "", nullptr))
        return SimFail("SetDefaultDllDirectories", "", ERROR_INVALID_PARAMETER);
    const DWORD accepted = kSearchApplicationDir | kSearchUserDirs | LOAD_LIBRARY_SEARCH_SYSTEM32 |
                           kSearchDefaultDirs;
    if (DirectoryFlags == 0 || (DirectoryFlags & ~accepted) != 0)
        return SimFail("SetDefaultDllDirectories", "", ERROR_INVALID_PARAMETER);
    Machine().process.defaultDllDirectories = DirectoryFlags;
    SimRecordCall("SetDefaultDllDirectories", "", TRUE);
    return TRUE;
}

BOOL WINAPI SetDllDirectoryA(LPCSTR lpPathName)
{
    std::string path = lpPathName ? lpPathName : "";
    if (SimFaultHit("SetDllDirectoryA", path.c_str(), nullptr))
        return SimFail("SetDllDirectoryA", path, ERROR_INVALID_PARAMETER);
    // NULL brings the working folder back; any string, "" included, takes it out.
    SimProcess& p = Machine().process;
    p.dllDirectorySet = lpPathName != NULL;
    p.dllDirectory = path;
    SimRecordCall("SetDllDirectoryA", path, TRUE);
    return TRUE;
}
