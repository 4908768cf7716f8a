// The simulated loader: where a DLL asked for by name is found, what the system's DLLs ask for
// in turn, and how SetDefaultDllDirectories and SetDllDirectoryA narrow the search.
#include "platform/sim/sim_internal.h"

// The copy that the manifest's Common-Controls 6 dependency names, from XP on.
static const char kSideBySideCommonControls[] =
    "C:\\WINDOWS\\WinSxS\\x86_Microsoft.Windows.Common-Controls_6595b64144ccf1df_6.0.2600.2180_x-ww_a84f1ff9"
    "\\comctl32.dll";

static const DWORD kSearchApplicationDir = 0x00000200;  // LOAD_LIBRARY_SEARCH_APPLICATION_DIR
static const DWORD kSearchUserDirs = 0x00000400;        // LOAD_LIBRARY_SEARCH_USER_DIRS
static const DWORD kSearchDefaultDirs = 0x00001000;     // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS

// Handles are tags: the n-th DLL mapped gets the n-th.
static HMODULE HandleOf(size_t index)
{
    return (HMODULE)(ULONG_PTR)(0x10000000u + 0x10000u * (index + 1));
}

static bool IsXpOrLater()
{
    const SimProcess& p = Machine().process;
    return p.platformId == VER_PLATFORM_WIN32_NT &&
           (p.majorVersion > 5 || (p.majorVersion == 5 && p.minorVersion >= 1));
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

// The system's own DLLs, which need no file on the simulated disk: comctl32 and msimg32 in
// the system folder on every line, uxtheme from XP on, the side-by-side comctl32 from XP on.
static bool IsSystemDll(const std::string& path)
{
    std::string folded = FoldCase(path);
    if (IsXpOrLater() && folded == FoldCase(kSideBySideCommonControls))
        return true;
    if (FoldCase(FolderOf(path)) != FoldCase(SystemFolder()))
        return false;
    std::string name = FoldCase(BaseName(path));
    return name == "comctl32.dll" || name == "msimg32.dll" || (name == "uxtheme.dll" && IsXpOrLater());
}

static bool DllExists(const std::string& path)
{
    return IsSystemDll(path) || (PathExists(path) && !IsFolder(path));
}

// Where a bare name is found. Windows searches without SafeDllSearchMode (XP before SP2, the
// consumer line) the working folder right after the program's folder, with it after the
// Windows folder; the earlier place is the one a planted DLL can reach on more systems.
// delayed: Wine resolves a delayed import with the program's folder first even after
// SetDefaultDllDirectories.
static std::string FindDll(const std::string& name, bool delayed)
{
    const SimProcess& p = Machine().process;
    if (IsXpOrLater() && FoldCase(name) == "comctl32.dll")
        return kSideBySideCommonControls;
    std::string program = FolderOf(p.loadedModulePath.empty() ? p.modulePath : p.loadedModulePath);
    std::vector<std::string> folders;
    DWORD flags = p.defaultDllDirectories;
    if (flags == 0 || delayed) {
        folders.push_back(program);
        if (!p.dllDirectorySet)
            folders.push_back(Machine().disk.currentFolder);
        else if (!p.dllDirectory.empty())
            folders.push_back(p.dllDirectory);
        folders.push_back(SystemFolder());
        folders.push_back(Machine().disk.windowsFolder);
    } else {
        if (flags & (kSearchApplicationDir | kSearchDefaultDirs))
            folders.push_back(program);
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

static HMODULE LoadDll(const std::string& name, bool delayed);

// Maps the DLL at path, or finds it mapped. The system's DLLs bring their own imports along;
// a foreign DLL in their place brings none.
static HMODULE MapDll(const std::string& path)
{
    std::vector<std::string>& loaded = Machine().process.loadedDlls;
    for (size_t i = 0; i < loaded.size(); i++) {
        if (FoldCase(loaded[i]) == FoldCase(path))
            return HandleOf(i);
    }
    loaded.push_back(path);
    HMODULE module = HandleOf(loaded.size() - 1);
    if (IsSystemDll(path)) {
        std::string name = FoldCase(BaseName(path));
        // comctl32 6 imports uxtheme; uxtheme's delayed import of msimg32 is resolved here at
        // once, never later than Windows and Wine resolve it at its first call.
        if (name == "comctl32.dll" && IsXpOrLater())
            LoadDll("uxtheme.dll", false);
        if (name == "uxtheme.dll")
            LoadDll("msimg32.dll", true);
    }
    return module;
}

// A name with a path is that file; a bare name is first matched against the DLLs mapped.
static HMODULE LoadDll(const std::string& name, bool delayed)
{
    if (name.find_first_of("\\/") != std::string::npos)
        return DllExists(name) ? MapDll(name) : NULL;
    const std::vector<std::string>& loaded = Machine().process.loadedDlls;
    for (size_t i = 0; i < loaded.size(); i++) {
        if (FoldCase(BaseName(loaded[i])) == FoldCase(name))
            return HandleOf(i);
    }
    std::string path = FindDll(name, delayed);
    return path.empty() ? NULL : MapDll(path);
}

HMODULE SimLoadLibrary(const std::string& name)
{
    HMODULE module = LoadDll(name, false);
    if (module == NULL)
        return (HMODULE)(ULONG_PTR)SimFail("LoadLibraryA", name, ERROR_MOD_NOT_FOUND);
    SimRecordCall("LoadLibraryA", name, 1);
    return module;
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
