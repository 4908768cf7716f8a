// The simulated disk's path grammar: how a path a program writes names an item, as the Windows
// path parser and WoW64 resolve it.
#include <vector>

#include "platform/sim/sim_disk_paths.h"

static bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// A path that is not full resolves against the working folder, as the Windows path parser
// resolves it: a bare name below it, "\\name" on its drive's root, "X:name" below it when X is
// its drive and on X's root otherwise.
static std::string FullPath(const std::string& path)
{
    const std::string& current = Machine().disk.currentFolder;
    bool drive = path.size() >= 2 && path[1] == ':';
    if (drive && path.size() >= 3 && IsSeparator(path[2]))
        return path;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return path;
    if (!path.empty() && IsSeparator(path[0]))
        return current.substr(0, 2) + path;
    if (drive && FoldCase(path.substr(0, 1)) != FoldCase(current.substr(0, 1)))
        return path.substr(0, 2) + "\\" + path.substr(2);
    return current + "\\" + (drive ? path.substr(2) : path);
}

// "." names the folder it stands in and ".." its parent, which never climbs above the root
// ("C:\\.." is the root), as the Windows path parser resolves them.
static std::string DropDotComponents(const std::string& path)
{
    size_t rootLength = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    std::vector<std::string> kept;
    size_t start = rootLength;
    while (start < path.size()) {
        size_t end = path.find('\\', start + 1);
        if (end == std::string::npos)
            end = path.size();
        std::string component = path.substr(start, end - start);
        if (component == "\\..") {
            if (!kept.empty())
                kept.pop_back();
        } else if (component != "\\.") {
            kept.push_back(component);
        }
        start = end;
    }
    std::string out = path.substr(0, rootLength);
    for (const std::string& component : kept)
        out += component;
    return out;
}

// Both separators are accepted, repeated separators count as one (except the two that open a
// network path) and a trailing separator is dropped, as the Windows path parser does.
std::string NormalPath(const std::string& relativePath)
{
    std::string path = FullPath(relativePath);
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        char c = path[i] == '/' ? '\\' : path[i];
        if (c == '\\' && !out.empty() && out.back() == '\\' && out.size() > 1)
            continue;
        out += c;
    }
    while (out.size() > 1 && out.back() == '\\')
        out.pop_back();
    return DropDotComponents(out);
}

// A component written in its 8.3 form names the same item as its long form, as on Windows.
static std::string LongKeyOf(const std::string& parentKey, const std::string& component)
{
    const std::string prefix = parentKey.empty() ? "" : parentKey + "\\";
    if (component.find('~') == std::string::npos ||
        Machine().disk.items.count(prefix + component) != 0)
        return prefix + component;
    for (const auto& item : Machine().disk.items) {
        if (item.first.size() > prefix.size() && item.first.compare(0, prefix.size(), prefix) == 0 &&
            item.first.find('\\', prefix.size()) == std::string::npos &&
            !item.second.shortName.empty() && FoldCase(item.second.shortName) == component)
            return item.first;
    }
    return prefix + component;
}

std::string PathKey(const std::string& path)
{
    std::string folded = FoldCase(NormalPath(path));
    if (folded.find('~') == std::string::npos)
        return folded;
    std::string key;
    size_t start = 0;
    while (start <= folded.size()) {
        size_t end = folded.find('\\', start);
        if (end == std::string::npos)
            end = folded.size();
        std::string component = folded.substr(start, end - start);
        key = start == 0 ? component : LongKeyOf(key, component);
        start = end + 1;
    }
    return key;
}

// On 64-bit Windows a 32-bit program's calls under the system folder reach the 32-bit one.
std::string Wow64Key(const std::string& key)
{
    if (Machine().width != SimWindows64)
        return key;
    const std::string system = FoldCase(Machine().disk.systemFolderNt);
    if (key.compare(0, system.size(), system) != 0 ||
        (key.size() > system.size() && key[system.size()] != '\\'))
        return key;
    return FoldCase(Machine().disk.systemFolderWow64) + key.substr(system.size());
}

// The item a file call of the program names: the links on the way are followed, the last name
// is the item itself.
std::string CallKey(const std::string& path)
{
    return SimFollowLinks(Wow64Key(PathKey(path)), false);
}

std::string ParentKey(const std::string& key)
{
    size_t slash = key.rfind('\\');
    return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

// A drive root ("c:") always exists and is no item of its own.
bool IsDriveRoot(const std::string& key)
{
    return key.size() == 2 && key[1] == ':';
}

SimDiskItem* FindItem(const std::string& key)
{
    auto item = Machine().disk.items.find(key);
    return item == Machine().disk.items.end() ? nullptr : &item->second;
}

bool FolderExists(const std::string& key)
{
    if (key.empty() || IsDriveRoot(key))
        return true;
    SimDiskItem* item = FindItem(key);
    return item && item->isFolder;
}

// The error Windows gives for a missing item: the parent decides between the two.
DWORD MissingError(const std::string& key)
{
    return FolderExists(ParentKey(key)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

bool HasChildren(const std::string& key)
{
    const auto& items = Machine().disk.items;
    std::string prefix = key + "\\";
    auto next = items.lower_bound(prefix);
    return next != items.end() && next->first.compare(0, prefix.size(), prefix) == 0;
}
