// The registry entries of the installation: application path, per-user settings, maker key,
// and the entry in the list of installed programs.
#include "cleanup/registry_cleanup.h"

#include "foundation/paths.h"
#include "foundation/platform_line.h"
#include "foundation/process_state.h"
#include "foundation/run_report.h"
#include "foundation/text.h"

#include "foundation/fixed_names.h"

// The maker key of the machine-wide product key, here under HKEY_CURRENT_USER.
static const char* const kUserMakerKey = kMakerKey;

// The product key goes after the four settings keys it holds: the NT line refuses to delete
// a key that still has subkeys.
static const char* const kUserProductKeys[] = {
    kAudioSettingsKey,
    kMidiSettingsKey,
    kRecentFilesKey,
    kOfflineRenderingKey,
    kProductKey,
};

void DeleteKeyIfNoSubkeys(HKEY root, const char* subkey)
{
    char name[MAX_PATH];
    NameRegistryKey(name, sizeof name, root, subkey);
    HKEY key;
    LSTATUS opened = RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, &key);
    if (opened != ERROR_SUCCESS) {
        ReportRemoval("registry key", name, (DWORD)opened);
        return;
    }
    DWORD subkeys = 0;
    LSTATUS status = RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, NULL, NULL,
                                      NULL, NULL, NULL);
    RegCloseKey(key);
    // The consumer line would delete the subkeys with the key: another product's among them.
    if (status != ERROR_SUCCESS)
        ReportRefusal("registry key", name, (DWORD)status);
    else if (subkeys != 0)
        ReportItem(ReportKept, "registry key", name, "it holds keys of other products");
    else
        ReportRemoval("registry key", name, (DWORD)RegDeleteKeyA(root, subkey));
}

// The application path "px.exe" goes only when it names a program in the folder this
// uninstaller runs from: a registration of another installation stays.
static void RemoveAppPath(void)
{
    char name[MAX_PATH];
    NameRegistryKey(name, sizeof name, HKEY_LOCAL_MACHINE, kAppPathKey);
    HKEY key;
    LSTATUS opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPathKey, 0, KEY_ALL_ACCESS, &key);
    if (opened != ERROR_SUCCESS) {
        ReportRemoval("registry key", name, (DWORD)opened);
        return;
    }
    int match = 0;
    char value[MAX_PATH];
    DWORD type = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, NULL, NULL, &type, (LPBYTE)value, &size) == ERROR_SUCCESS &&
        type == REG_SZ && TerminateRegistryString(value, size, sizeof value)) {
        char folder[MAX_PATH];
        ExtractPathParts(folder, value, PathPartDrive | PathPartDir);
        match = EqualIgnoringAsciiCase(folder, InstallDir);
    }
    RegCloseKey(key);
    if (match)
        ReportRemoval("registry key", name, (DWORD)RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppPathKey));
    else
        ReportItem(ReportKept, "registry key", name, "it names a program outside this installation's folder");
}

// A key of the installation's, deleted whole.
static void DeleteOwnKey(HKEY root, const char* subkey)
{
    char name[MAX_PATH];
    NameRegistryKey(name, sizeof name, root, subkey);
    ReportRemoval("registry key", name, (DWORD)RegDeleteKeyA(root, subkey));
}

void CleanRegistry(void)
{
    // Every step runs whatever became of the one before; only the report hears of the results.
    RemoveAppPath();
    for (size_t i = 0; i < sizeof kUserProductKeys / sizeof kUserProductKeys[0]; i++)
        DeleteOwnKey(HKEY_CURRENT_USER, kUserProductKeys[i]);
    DeleteKeyIfNoSubkeys(HKEY_CURRENT_USER, kUserMakerKey);

    // The NT line lists a per-user installation under the user; the consumer line has only
    // the machine's list.
    DeleteOwnKey(IsNtPlatform() ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, kUninstallKey);
}
