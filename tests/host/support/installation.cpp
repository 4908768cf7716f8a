// The installation the scenario tests uninstall.
#include "support/installation.h"

#include <algorithm>

#include "platform/sim/sim.h"
#include "support/log_builder.h"

const char kInstallFolder[] = "C:\\Program Files\\Plexitone";
const char kDriverName[] = "pxpipe.drv";
const char kProgramsFolder[] = "C:\\WINDOWS\\Profiles\\User\\Start Menu\\Programs";

std::vector<std::string> ShortcutNames()
{
    return {"Plexitone.lnk", "Plexitone Help.lnk", "Plexitone License.lnk",
            "Plexitone Home Page.lnk", "Uninstall Plexitone.lnk"};
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
    AddFile(folder + "\\pxunins.exe", "MZ");
    AddFile(folder + "\\px.exe", "MZ");
    AddFile(folder + "\\Sounds\\Drums\\kick.wav", "RIFF");
    AddFile(folder + "\\Sounds\\piano.sf2", "sf");
    AddFile(folder + "\\readme.txt", "hello");
    // Folders first, so that the pass, newest first, empties each before its turn.
    AddFile(folder + "\\_pxunins.dat", LogBuilder()
                                           .Header(6)
                                           .Folder(folder + "\\Sounds")
                                           .Folder(folder + "\\Sounds\\Drums")
                                           .File(folder + "\\px.exe")
                                           .File(folder + "\\Sounds\\Drums\\kick.wav")
                                           .File(folder + "\\Sounds\\piano.sf2")
                                           .File(folder + "\\readme.txt")
                                           .Bytes());

    for (const std::string& name : ShortcutNames())
        AddFile(std::string(kProgramsFolder) + "\\Plexitone\\" + name, "L");

    SetMachineString("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\px.exe", "",
                     folder + "\\px.exe");
    for (const char* key : {"Audio", "MIDI", "Recent Files", "Offline Rendering"})
        SetString(HKEY_CURRENT_USER, std::string("SOFTWARE\\Morvaine\\Plexitone\\") + key, "x", "1");
    bool nt = Machine().process.platformId == VER_PLATFORM_WIN32_NT;
    const char uninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plexitone";
    if (nt)
        SetString(HKEY_CURRENT_USER, uninstallKey, "DisplayName", "Plexitone");
    else
        SetMachineString(uninstallKey, "DisplayName", "Plexitone");

    SetMachineString("SOFTWARE\\Morvaine\\Plexitone", "PlexitonePipe", kDriverName);
    SetDword(HKEY_LOCAL_MACHINE,
             RedirectedKeyPath(HKEY_LOCAL_MACHINE,
                               "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"),
             kDriverName, sharedUseCount);
    const std::string systemFolder =
        nt ? Machine().disk.systemFolderNt : Machine().disk.systemFolderConsumer;
    AddFile(RedirectedPath(systemFolder + "\\" + kDriverName), "driver");
    if (nt) {
        SetMachineString("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi",
                         "other.drv");
        SetMachineString("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi1",
                         kDriverName);
        SetMachineString("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc",
                         kDriverName, "Plexitone Pipe");
    } else {
        SetIniFile("system.ini", "[boot]\r\nshell=Explorer.exe\r\n[drivers]\r\nwave=mmdrv.dll\r\nMIDIPlexitone=pxpipe.drv\r\n");
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
