// The contract's machine operations on the simulated Windows: each row gets a fresh machine of
// the line the host test selected.
#include <sstream>
#include <string>

#include "contract.h"
#include "contract_line.h"
#include "platform/sim/sim.h"

static DWORD g_platformId = VER_PLATFORM_WIN32_NT;
static SimWindowsWidth g_width = SimWindows32;

static const char kScratchFolder[] = "C:\\WINDOWS\\TEMP\\pxcontract";

void SelectContractMachine(DWORD platformId, SimWindowsWidth width)
{
    g_platformId = platformId;
    g_width = width;
}

void BeginRow(void)
{
    ResetMachine(g_platformId, g_width);
    // Wine's kernel32 exports these on every line and version.
    Machine().disk.kernelHasGetFinalPathNameByHandle = true;
    Machine().disk.kernelHasSetFileInformationByHandle = true;
    AddFolder(kScratchFolder);
}

// The next row's ResetMachine discards everything this one made.
void EndRow(void)
{
}

int RunsOnNtLine(void)
{
    return Machine().process.platformId == VER_PLATFORM_WIN32_NT;
}

int RunsUnderWow64(void)
{
    return Machine().width == SimWindows64;
}

static void Join(char* out, size_t size, const std::string& folder, const char* name)
{
    std::string path = *name ? folder + "\\" + name : folder;
    snprintf(out, size, "%s", path.c_str());
}

void ScratchPath(char* out, size_t size, const char* name)
{
    Join(out, size, kScratchFolder, name);
}

void WindowsPath(char* out, size_t size, const char* name)
{
    Join(out, size, Machine().disk.windowsFolder, name);
}

// The helpers see the machine itself; the row's program is a 32-bit one, redirected under WoW64.
void MakeFolder(const char* path)
{
    AddFolder(RedirectedPath(path));
}

void MakeFile(const char* path, const char* bytes, size_t count)
{
    AddFile(RedirectedPath(path), std::string(bytes, count));
}

void HoldOpenWithoutDeleteSharing(const char* path)
{
    SetInUse(RedirectedPath(path));
}

void WorkInFolder(const char* path)
{
    Machine().disk.currentFolder = RedirectedPath(path);
}

void MakeLink(const char* path, const char* target)
{
    AddLink(RedirectedPath(path), RedirectedPath(target));
}

// Modify for Everyone, as Wine reads a mode of o+w.
void MakeWritableByEveryone(const char* path)
{
    const BYTE inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    SimSecurity security;
    security.owner = Machine().objects.userSid;
    security.dacl = {{"S-1-5-18", FILE_ALL_ACCESS, inherited, ACCESS_ALLOWED_ACE_TYPE},
                     {Machine().objects.userSid, FILE_ALL_ACCESS, inherited, ACCESS_ALLOWED_ACE_TYPE},
                     {"S-1-1-0", 0x001301FF, inherited, ACCESS_ALLOWED_ACE_TYPE}};
    SetSecurity(RedirectedPath(path), security);
}

int PathPresent(const char* path)
{
    return PathExists(RedirectedPath(path)) ? 1 : 0;
}

long ReadFileBytes(const char* path, char* out, size_t size)
{
    std::string reached = RedirectedPath(path);
    if (!PathExists(reached) || IsFolder(reached))
        return -1;
    std::string data = FileData(reached);
    size_t count = data.size() < size ? data.size() : size;
    memcpy(out, data.data(), count);
    return (long)count;
}

void MakeKey(HKEY root, const char* path)
{
    AddKey(root, RedirectedKeyPath(root, path));
}

void PutStringValue(HKEY root, const char* path, const char* name, const char* text)
{
    SetString(root, RedirectedKeyPath(root, path), name, text);
}

int KeyPresent(HKEY root, const char* path)
{
    return KeyExists(root, RedirectedKeyPath(root, path)) ? 1 : 0;
}

int PendingDeletion(const char* path)
{
    for (const std::string& pending : Machine().disk.pendingDeletes) {
        if (pending == path)
            return 1;
    }
    return 0;
}

// ---- user32 -----------------------------------------------------------------------------------

// The simulated prompts take their answers from the script: the same presses, by name.
void ScriptPresses(const char* presses)
{
    std::vector<INT_PTR> answers;
    std::stringstream list(presses);
    std::string press;
    while (std::getline(list, press, ',')) {
        if (press == "esc")
            answers.push_back(SimKeyEscape);
        else if (press == "enter")
            answers.push_back(SimKeyEnter);
        else if (press == "close")
            answers.push_back(SimKeyCloseBox);
        else if (press.compare(0, 4, "alt+") == 0 && press.size() == 5)
            answers.push_back(SimKeyAlt(press[4]));
        else
            answers.push_back(atoi(press.c_str()));
    }
    ScriptAnswers(answers);
}

LRESULT SendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendToDialog(window, message, wParam, lParam);
}

HDC DeviceContextOf(HWND window)
{
    return SimDeviceContextFor(window);
}

// A window's one device context lives as long as the window.
void ReleaseDeviceContext(HWND, HDC)
{
}
