// What tests put on the simulated disk and read back from it.
#include <stdio.h>

#include <vector>

#include "platform/sim/sim_disk_paths.h"

static void HelperMisuse(const char* helper, const std::string& path)
{
    fprintf(stderr, "%s: no item at %s on the simulated disk\n", helper, path.c_str());
    abort();
}

void PutDiskItem(const std::string& key, const std::string& path, bool isFolder,
                 const std::string& data)
{
    SimDiskItem& item = Machine().disk.items[key];
    bool isNew = item.path.empty();
    if (isNew)
        item.path = path;
    item.isFolder = isFolder;
    item.data = data;
    SimStampItem(&item, isNew);
}

static void AddItem(const std::string& path, bool isFolder, const std::string& data)
{
    std::string normal = NormalPath(path);
    std::string key = FoldCase(normal);
    std::string parent = ParentKey(key);
    if (!parent.empty() && !IsDriveRoot(parent) && !FindItem(parent))
        AddItem(normal.substr(0, parent.size()), true, "");
    PutDiskItem(key, normal, isFolder, data);
}

void AddFolder(const std::string& path)
{
    AddItem(path, true, "");
}

void AddFile(const std::string& path, const std::string& data)
{
    AddItem(path, false, data);
}

bool PathExists(const std::string& path)
{
    return FindItem(PathKey(path)) != nullptr;
}

bool IsFolder(const std::string& path)
{
    SimDiskItem* item = FindItem(PathKey(path));
    return item && item->isFolder;
}

std::string FileData(const std::string& path)
{
    SimDiskItem* item = FindItem(PathKey(path));
    return item && !item->isFolder ? item->data : std::string();
}

void SetInUse(const std::string& path, bool inUse)
{
    SimDiskItem* item = FindItem(PathKey(path));
    if (!item)
        HelperMisuse("SetInUse", path);
    item->inUse = inUse;
}

void SetShortName(const std::string& path, const std::string& shortName)
{
    SimDiskItem* item = FindItem(PathKey(path));
    if (!item)
        HelperMisuse("SetShortName", path);
    item->shortName = shortName;
}

std::string RedirectedPath(const std::string& path)
{
    std::string normal = NormalPath(path);
    if (Wow64Key(FoldCase(normal)) == FoldCase(normal))
        return normal;
    return Machine().disk.systemFolderWow64 + normal.substr(Machine().disk.systemFolderNt.size());
}

std::vector<std::string> ListPaths()
{
    std::vector<std::string> paths;
    for (const auto& item : Machine().disk.items)
        paths.push_back(item.second.path);
    return paths;
}
