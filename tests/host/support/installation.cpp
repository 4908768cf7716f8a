// The installation the scenario tests uninstall.
#include "support/installation.h"

#include <algorithm>

#include "foundation/fixed_names.h"
#include "platform/sim/sim.h"
#include "support/log_builder.h"

const char kInstallFolder[] = "C:\\Program Files\\Plexitone";
const char* const kDriverName = kPipeDriverFileName;
const char kProgramsFolder[] = "C:\\WINDOWS\\Profiles\\User\\Start Menu\\Programs";

std::vector<std::string> ShortcutNames()
{
    return {kAppShortcut, kHelpShortcut, kLicenseShortcut, kHomePageShortcut, kUninstallShortcut};
}

// The installer is a 32-bit program as well: under WoW64 what it makes lies where its calls
// reach, so each machine-wide key and the system folder go through the redirection.
static void SetMachineString(const std::string& keyPath, const std::string& name,
                             const std::string& text)
{
    SetString(HKEY_LOCAL_MACHINE, RedirectedKeyPath(HKEY_LOCAL_MACHINE, keyPath), name, text);
}

void StageInstallation(DWORD sharedUseCount)
{
    const std::string folder = kInstallFolder;
    AddFile(folder + "\\" + kUninstallerFileName, "MZ");
    AddFile(folder + "\\" + kAppFileName, "MZ");
    AddFile(folder + "\\Sounds\\Drums\\kick.wav", "RIFF");
    AddFile(folder + "\\Sounds\\piano.sf2", "sf");
    AddFile(folder + "\\readme.txt", "hello");
    // Folders first, so that the pass, newest first, empties each before its turn.
    AddFile(folder + "\\" + kLogFileName, LogBuilder()
                                           .Header(6)
                                           .Folder(folder + "\\Sounds")
                                           .Folder(folder + "\\Sounds\\Drums")
                                           .File(folder + "\\" + kAppFileName)
                                           .File(folder + "\\Sounds\\Drums\\kick.wav")
                                           .File(folder + "\\Sounds\\piano.sf2")
                                           .File(folder + "\\readme.txt")
                                           .Bytes());

    for (const std::string& name : ShortcutNames())
        AddFile(std::string(kProgramsFolder) + "\\" + kGroupName + "\\" + name, "L");

    SetMachineString(kAppPathKey, "", folder + "\\" + kAppFileName);
    for (const char* key : {kAudioSettingsKey, kMidiSettingsKey, kRecentFilesKey, kOfflineRenderingKey})
        SetString(HKEY_CURRENT_USER, key, "x", "1");
    bool nt = Machine().process.platformId == VER_PLATFORM_WIN32_NT;
    if (nt)
        SetString(HKEY_CURRENT_USER, kUninstallKey, "DisplayName", "Plexitone");
    else
        SetMachineString(kUninstallKey, "DisplayName", "Plexitone");

    SetMachineString(kProductKey, kPipeDriverValue, kDriverName);
    SetDword(HKEY_LOCAL_MACHINE, RedirectedKeyPath(HKEY_LOCAL_MACHINE, kSharedDllsKey), kDriverName,
             sharedUseCount);
    const std::string systemFolder =
        nt ? Machine().disk.systemFolderNt : Machine().disk.systemFolderConsumer;
    AddFile(RedirectedPath(systemFolder + "\\" + kDriverName), "driver");
    if (nt) {
        // Another program's driver holds the first name, as in the Wine prefixes.
        SetMachineString(kDrivers32Key, kDriverListName, "other.drv");
        SetMachineString(kDrivers32Key, std::string(kDriverListName) + "1", kDriverName);
        // The description the installer's kit writes.
        SetMachineString(kDriversDescKey, kDriverName, "Plexitone MIDI Pipe");
    } else {
        SetIniFile(kSystemIniFile, std::string("[boot]\r\nshell=Explorer.exe\r\n[") + kSystemIniDrivers +
                                       "]\r\nwave=mmdrv.dll\r\n" + kSystemIniDriverKey + "=" +
                                       kDriverName + "\r\n");
    }
}

std::vector<std::string> PathsUnder(const std::string& prefix)
{
    std::vector<std::string> paths;
    for (const std::string& path : ListPaths())
        if (path.compare(0, prefix.size(), prefix) == 0)
            paths.push_back(path);
    std::sort(paths.begin(), paths.end());  // byte order, whatever the machine's own order
    return paths;
}
