// What a run left of the machine, judged against what the uninstaller may remove.
#include "support/end_state.h"

#include <set>

#include "support/installation.h"
#include "support/texts.h"

const std::set<std::string>& OwnTexts()
{
    static const std::set<std::string> texts = {
        texts::kConfirm, texts::kRestart, texts::kCorrupt, texts::kComplete,
        texts::kRebootFailed, texts::kNoAdmin, texts::kNoAdminRun, "File 10\nLine 37",
    };
    return texts;
}

std::vector<std::string> StagedLogPaths()
{
    const std::string folder = kInstallFolder;
    return {folder + "\\Sounds", folder + "\\Sounds\\Drums", folder + "\\px.exe",
            folder + "\\Sounds\\Drums\\kick.wav", folder + "\\Sounds\\piano.sf2",
            folder + "\\readme.txt"};
}

static std::string Folded(std::string text)
{
    for (char& c : text)
        c = (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
    return text;
}

static bool StartsWithKey(const std::string& row, const std::string& key)
{
    std::string folded = Folded(row), prefix = Folded(key);
    return folded.compare(0, prefix.size(), prefix) == 0 &&
           (folded.size() == prefix.size() || folded[prefix.size()] == '\\' ||
            folded[prefix.size()] == ' ');
}

// What the uninstaller may take away: the logged files, the start-menu group, the registry
// entries of the clean-up, and the pipe driver's registration.
static bool MayVanish(const std::string& row, DWORD line, const std::vector<std::string>& logged)
{
    const std::string hklm = "HKEY_LOCAL_MACHINE\\", hkcu = "HKEY_CURRENT_USER\\";
    const std::string subtrees[] = {
        hklm + "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\px.exe",
        hkcu + "SOFTWARE\\Morvaine\\Plexitone",
        hklm + "SOFTWARE\\Morvaine\\Plexitone",
        (line == VER_PLATFORM_WIN32_NT ? hkcu : hklm) +
            "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plexitone",
        std::string(kProgramsFolder) + "\\Plexitone",
    };
    for (const std::string& subtree : subtrees)
        if (StartsWithKey(row, subtree))
            return true;
    const std::string exact[] = {
        hkcu + "SOFTWARE\\Morvaine", hklm + "SOFTWARE\\Morvaine",
        hklm + "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs : pxpipe.drv",
        hklm + "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32 : midi1",
        hklm + "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc : pxpipe.drv",
    };
    for (const std::string& key : exact) {
        if (Folded(row) == Folded(key) || Folded(row).compare(0, Folded(key).size() + 3, Folded(key) + " = ") == 0 ||
            (Folded(row).compare(0, Folded(key).size() + 3, Folded(key) + " : ") == 0 &&
             key.find(" : ") == std::string::npos))
            return true;
    }
    for (const std::string& path : logged)
        if (Folded(row) == Folded(path))
            return true;
    return false;
}

MachineImage Image()
{
    MachineImage image{ListRegistry(), ListPaths(), {}};
    for (const std::string& path : image.paths)
        if (!IsFolder(path))
            image.data.push_back(path + "=" + FileData(path));
    return image;
}

// The violations of a finished run, one line each.
std::vector<std::string> Violations(const MachineImage& before, DWORD line,
                                    const std::vector<std::string>& logged)
{
    std::vector<std::string> found;
    MachineImage after = Image();
    auto missing = [](const std::vector<std::string>& from, const std::vector<std::string>& in) {
        std::vector<std::string> out;
        std::set<std::string> present(in.begin(), in.end());
        for (const std::string& row : from)
            if (!present.count(row))
                out.push_back(row);
        return out;
    };
    for (const std::string& row : missing(before.registry, after.registry))
        if (!MayVanish(row, line, logged))
            found.push_back("registry row removed: " + row);
    for (const std::string& row : missing(after.registry, before.registry))
        found.push_back("registry row added: " + row);
    for (const std::string& row : missing(before.paths, after.paths))
        if (!MayVanish(row, line, logged))
            found.push_back("path removed: " + row);
    for (const std::string& row : missing(after.paths, before.paths))
        // The copy the run hands its leftovers to, in its folder or file under the temporary
        // folder, waits there for the next restart.
        if (Folded(row) != "c:\\windows\\wininit.ini" &&
            Folded(row).compare(0, 19, "c:\\windows\\temp\\pxu") != 0)
            found.push_back("path added: " + row);
    for (const std::string& row : missing(before.data, after.data)) {
        std::string path = row.substr(0, row.find('='));
        std::string folded = Folded(path);
        if (!PathExists(path) || folded == "c:\\windows\\wininit.ini")
            continue;
        if (folded == "c:\\windows\\system.ini") {
            if (IniFile("system.ini").find("wave=mmdrv.dll") == std::string::npos)
                found.push_back("system.ini lost an entry not ours");
            continue;
        }
        found.push_back("file changed: " + path);
    }
    // Besides the driver, the restart may delete what the run could not hand to its copy: the
    // uninstaller, its log and (NT line) their folder.
    const std::string folder = kInstallFolder;
    const std::set<std::string> leftovers = {Folded(folder + "\\pxunins.exe"),
                                             Folded(folder + "\\_pxunins.dat"), Folded(folder)};
    for (const std::string& pending : Machine().disk.pendingDeletes)
        if (Folded(pending) != "c:\\windows\\system32\\pxpipe.drv" && !leftovers.count(Folded(pending)))
            found.push_back("pending deletion: " + pending);
    std::string wininit = IniFile("wininit.ini");
    size_t start = wininit.empty() || wininit.compare(0, 10, "[rename]\r\n") != 0 ? 0 : 10;
    for (size_t end; start < wininit.size(); start = end + 2) {
        end = wininit.find("\r\n", start);
        std::string entry = Folded(wininit.substr(start, end - start));
        if (entry.compare(0, 4, "nul=") != 0 ||
            (entry != "nul=c:\\windows\\system\\pxpipe.drv" && !leftovers.count(entry.substr(4)))) {
            found.push_back("wininit.ini: " + wininit);
            break;
        }
    }
    for (const SimUiEvent& event : Machine().ui.journal) {
        if (event.kind == "MessageBox" && !OwnTexts().count(event.text))
            found.push_back("message not ours: " + event.text);
        if (event.kind == "Dialog" && event.caption != "Uninstall Plexitone")
            found.push_back("dialog not ours: " + event.caption);
    }
    if (Machine().ui.unscriptedPrompts != 0)
        found.push_back("a prompt without answer");
    return found;
}

