// The program group "Plexitone" in the current user's start menu: five shortcuts and the folder.
#include "cleanup/start_menu.h"

#include "foundation/paths.h"
#include "foundation/run_report.h"
#include "platform/platform.h"

#include "foundation/fixed_names.h"

// In the order the installer created them; the group folder goes after them.
static const char* const kShortcuts[] = {
    kAppShortcut,
    kHelpShortcut,
    kLicenseShortcut,
    kHomePageShortcut,
    kUninstallShortcut,
};

int GetProgramsFolder(char* path)
{
    LPMALLOC allocator;
    if (FAILED(SHGetMalloc(&allocator)))
        return 0;

    // The current user's Programs folder only: the group shared by all users is not ours.
    int result = 0;
    LPITEMIDLIST itemList = NULL;
    if (SUCCEEDED(SHGetSpecialFolderLocation(NULL, CSIDL_PROGRAMS, &itemList))) {
        result = SHGetPathFromIDListA(itemList, path) ? 1 : 0;
        allocator->Free(itemList);
    }
    allocator->Release();
    return result;
}

void DeleteFileIn(const char* folder, const char* name)
{
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s", folder);
    if (!AppendPathComponent(path, name)) {
        ReportItem(ReportLeft, "shortcut", name, "its path would pass 259 characters");
        return;
    }
    // A shortcut the user already deleted is no failure here.
    BOOL deleted = DeleteFileA(path);
    ReportRemoval("shortcut", path, deleted ? 0 : GetLastError());
}

int RemoveStartMenuGroup(void)
{
    char group[MAX_PATH];
    if (!GetProgramsFolder(group)) {
        ReportItem(ReportLeft, "start-menu group", kGroupName, "the user's Programs folder is unknown");
        return 0;
    }
    if (!AppendPathComponent(group, kGroupName)) {
        ReportItem(ReportLeft, "start-menu group", kGroupName, "its path would pass 259 characters");
        return 0;
    }
    for (size_t i = 0; i < sizeof kShortcuts / sizeof kShortcuts[0]; i++)
        DeleteFileIn(group, kShortcuts[i]);
    // Removes only an empty folder: anything of the user's keeps the group, and is kept.
    BOOL removed = RemoveDirectoryA(group);
    ReportRemoval("folder", group, removed ? 0 : GetLastError());
    return 1;
}
