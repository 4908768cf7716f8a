// The simulated disk's links (junctions, symbolic links and mount points to folders), the
// searches FindFirstFileA opens, and the attributes a program reads.
#include <stdio.h>

#include "platform/sim/sim_disk_paths.h"

static ULONG_PTR g_nextItemHandle = 0x10000;

std::string SimFollowLinks(const std::string& key, bool followLast)
{
    // A link that leads back into itself would never end; Windows gives up after 63 hops.
    std::string resolved = key;
    for (int hops = 0; hops < 63; hops++) {
        size_t end = 0;
        bool replaced = false;
        while (end != std::string::npos) {
            end = resolved.find('\\', end + 1);
            bool last = end == std::string::npos;
            if (last && !followLast)
                break;
            std::string prefix = last ? resolved : resolved.substr(0, end);
            SimDiskItem* item = FindItem(prefix);
            if (item && !item->linkTarget.empty()) {
                resolved = item->linkTarget + (last ? "" : resolved.substr(end));
                replaced = true;
                break;
            }
        }
        if (!replaced)
            return resolved;
    }
    return resolved;
}

static bool IsAtOrBelow(const std::string& key, const std::string& folder)
{
    return key == folder ||
           (key.size() > folder.size() && key.compare(0, folder.size(), folder) == 0 &&
            key[folder.size()] == '\\');
}

// Windows renames no folder while it, or anything in it, is open.
static bool HeldAgainstRename(const std::string& folder)
{
    for (const auto& open : Machine().objects.handles) {
        if (open.second.kind == SimObjectFile && IsAtOrBelow(open.second.key, folder))
            return true;
    }
    return false;
}

static void MoveTree(const std::string& from, const std::string& to)
{
    std::map<std::string, SimDiskItem>& items = Machine().disk.items;
    std::vector<std::string> moving;
    for (const auto& item : items)
        if (IsAtOrBelow(item.first, from))
            moving.push_back(item.first);
    for (const std::string& key : moving) {
        SimDiskItem item = items[key];
        item.path = item.path.substr(0, from.size()) + ".moved" + item.path.substr(from.size());
        items.erase(key);
        items[to + key.substr(from.size())] = item;
    }
}

void SimRunLinkSwaps(const char* operation, const char* argument)
{
    for (SimLinkSwap& swap : Machine().disk.linkSwaps) {
        if (swap.operation != operation || FoldCase(swap.argument) != FoldCase(argument))
            continue;
        if (++swap.seen != swap.occurrence)
            continue;
        std::string folder = PathKey(swap.folder);
        if (swap.replacesFile) {
            if (SimDeletionRefusal(folder) != 0) {
                swap.refused = true;
                continue;
            }
            MoveTree(folder, folder + ".moved");
            AddFile(swap.folder, swap.replacement);
            continue;
        }
        if (HeldAgainstRename(folder)) {
            swap.refused = true;
            continue;
        }
        MoveTree(folder, folder + ".moved");
        AddLink(swap.folder, swap.target);
    }
}

static SimLinkSwap& ArmSwap(const std::string& operation, const std::string& argument,
                            const std::string& path, int occurrence)
{
    SimLinkSwap swap;
    swap.operation = operation;
    swap.argument = argument;
    swap.folder = path;
    swap.occurrence = occurrence;
    Machine().disk.linkSwaps.push_back(swap);
    return Machine().disk.linkSwaps.back();
}

void SwapFolderForLink(const std::string& operation, const std::string& argument,
                       const std::string& folder, const std::string& target, int occurrence)
{
    ArmSwap(operation, argument, folder, occurrence).target = target;
}

void ReplaceFileBefore(const std::string& operation, const std::string& argument, const std::string& path,
                       const std::string& data, int occurrence)
{
    SimLinkSwap& swap = ArmSwap(operation, argument, path, occurrence);
    swap.replacement = data;
    swap.replacesFile = true;
}

void AddLink(const std::string& path, const std::string& target)
{
    std::string key = PathKey(path);
    size_t slash = key.rfind('\\');
    std::string normal = path;
    for (char& c : normal)
        if (c == '/')
            c = '\\';
    if (slash != std::string::npos)
        AddFolder(normal.substr(0, slash));
    SimDiskItem& item = Machine().disk.items[key];
    item = SimDiskItem();
    item.path = normal;
    item.isFolder = true;
    item.linkTarget = PathKey(target);
}

void SetSecurity(const std::string& path, const SimSecurity& security)
{
    SimDiskItem* item = FindItem(PathKey(path));
    if (!item) {
        fprintf(stderr, "SetSecurity: no item at %s on the simulated disk\n", path.c_str());
        abort();
    }
    item->security = security;
}

// A link whose folder is gone: Wine, which asks the Unix file system about the target, then sees
// nothing at all (Windows would still show the junction).
static bool IsDanglingLink(const std::string& key, const SimDiskItem& item)
{
    return !item.linkTarget.empty() && FindItem(SimFollowLinks(key, true)) == nullptr;
}

// What GetFileAttributesA and FindFirstFileA report: a link shows as a folder that is a reparse
// point, as Windows shows a junction and Wine a Unix symbolic link to a folder.
static DWORD AttributesOf(const SimDiskItem& item)
{
    if (!item.linkTarget.empty())
        return FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    return item.isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName)
{
    std::string path = lpFileName ? lpFileName : "";
    if (SimFaultHit("GetFileAttributesA", path.c_str(), nullptr))
    {
        SimFail("GetFileAttributesA", path, ERROR_ACCESS_DENIED);
        return INVALID_FILE_ATTRIBUTES;
    }
    std::string key = CallKey(path);
    if (key.size() == 2 && key[1] == ':') {
        SimRecordCall("GetFileAttributesA", path, FILE_ATTRIBUTE_DIRECTORY);
        return FILE_ATTRIBUTE_DIRECTORY;
    }
    SimDiskItem* item = key.empty() ? nullptr : FindItem(key);
    if (!item || IsDanglingLink(key, *item)) {
        SimFail("GetFileAttributesA", path,
                key.empty() ? ERROR_PATH_NOT_FOUND : item ? ERROR_FILE_NOT_FOUND : MissingError(key));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = AttributesOf(*item);
    SimRecordCall("GetFileAttributesA", path, attributes);
    return attributes;
}

// Exact names only: the program and the contract look up one item, never a pattern.
HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData)
{
    std::string path = lpFileName ? lpFileName : "";
    if (path.find_first_of("*?") != std::string::npos) {
        fprintf(stderr, "FindFirstFileA: the simulated disk serves no pattern (%s)\n", path.c_str());
        abort();
    }
    std::string key = CallKey(path);
    SimDiskItem* item = key.empty() ? nullptr : FindItem(key);
    if (!item || IsDanglingLink(key, *item)) {
        SimFail("FindFirstFileA", path,
                key.empty() ? ERROR_PATH_NOT_FOUND : item ? ERROR_NO_MORE_FILES : MissingError(key));
        return INVALID_HANDLE_VALUE;
    }
    memset(lpFindFileData, 0, sizeof *lpFindFileData);
    lpFindFileData->dwFileAttributes = AttributesOf(*item);
    lpFindFileData->nFileSizeLow = (DWORD)item->data.size();
    std::string name = item->path.substr(item->path.rfind('\\') + 1);
    snprintf(lpFindFileData->cFileName, sizeof lpFindFileData->cFileName, "%s", name.c_str());
    ULONG_PTR handle = g_nextItemHandle += 4;
    Machine().disk.openItems[handle] = {key, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true};
    SimRecordCall("FindFirstFileA", path, 1);
    return (HANDLE)handle;
}

BOOL WINAPI FindClose(HANDLE hFindFile)
{
    auto open = Machine().disk.openItems.find((ULONG_PTR)hFindFile);
    if (open == Machine().disk.openItems.end() || !open->second.search)
        return SimFail("FindClose", "", ERROR_INVALID_HANDLE);
    Machine().disk.openItems.erase(open);
    SimRecordCall("FindClose", "", TRUE);
    return TRUE;
}
