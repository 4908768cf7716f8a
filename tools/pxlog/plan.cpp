// A dry run of the removal pass against a folder tree: nothing on the disk is touched; the
// tree is listed once and the plan removes from that listing as the pass would.
#include "plan.h"

#include <filesystem>
#include <system_error>

#include "foundation/paths.h"
#include "path_text.h"
#include "uninstall_log/removal_list.h"

namespace fs = std::filesystem;

// How many of the items that keep a folder are named in a reason.
enum { kItemsNamed = 3 };

int ParseRootOption(const std::string& option, PlanRoot* root, std::string* error)
{
    size_t equals = option.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == option.size()) {
        *error = "--root wants WINPATH=DIR, for example \"C:\\Program Files\\App=./stage\"; got \"" +
                 option + "\"";
        return 0;
    }
    root->windowsDir = TrimTrailingSeparators(option.substr(0, equals));
    root->localDir = option.substr(equals + 1);
    return 1;
}

static void AddItem(PlanTree* tree, const std::string& shown, int folder)
{
    auto inserted = tree->items.insert({PathKey(shown), {shown, folder, 1}});
    if (!inserted.second && inserted.first->second.shown != shown)
        tree->warnings.push_back("\"" + shown + "\" and \"" + inserted.first->second.shown +
                                 "\" are one name on Windows; the plan keeps the first");
}

static void AddLocalFolder(PlanTree* tree, const fs::path& local, const std::string& shown)
{
    std::error_code code;
    fs::directory_iterator it(local, code);
    for (; !code && it != fs::directory_iterator(); it.increment(code)) {
        std::error_code kindCode;
        // A link to a folder is a link to Windows too: DeleteFileA's business, not followed.
        int folder = it->is_directory(kindCode) && !it->is_symlink(kindCode);
        std::string childShown = JoinWindowsPath(shown, it->path().filename().string());
        AddItem(tree, childShown, folder);
        if (folder)
            AddLocalFolder(tree, it->path(), childShown);
    }
    if (code)
        tree->warnings.push_back("cannot list " + local.string() + ": " + code.message() +
                                 "; the plan takes it as empty");
}

int LoadRootTrees(PlanTree* tree, std::string* error)
{
    for (const PlanRoot& root : tree->roots) {
        std::error_code code;
        if (!fs::is_directory(root.localDir, code)) {
            *error = "--root " + root.windowsDir + "=" + root.localDir + ": " + root.localDir +
                     " is not a folder";
            return 0;
        }
        AddItem(tree, root.windowsDir, 1);
        AddLocalFolder(tree, fs::path(root.localDir), root.windowsDir);
    }
    return 1;
}

void LoadRealDiskTree(const LogReading& reading, PlanTree* tree)
{
    for (const LoggedEntry& entry : reading.entries) {
        // Listed already as part of an earlier folder's tree.
        if (!IsFullPath(entry.path.c_str()) || tree->items.count(PathKey(entry.path)))
            continue;
        std::error_code code;
        fs::file_status status = fs::symlink_status(entry.path, code);
        if (code || !fs::exists(status))
            continue;
        std::string shown = TrimTrailingSeparators(entry.path);
        AddItem(tree, shown, fs::is_directory(status));
        if (fs::is_directory(status))
            AddLocalFolder(tree, fs::path(entry.path), shown);
    }
}

static int IsMapped(const PlanTree& tree, const std::string& path)
{
    if (tree.roots.empty())
        return 1;
    std::string key = PathKey(path);
    for (const PlanRoot& root : tree.roots) {
        std::string rootKey = PathKey(root.windowsDir);
        if (key == rootKey || IsInsideKey(key, rootKey))
            return 1;
    }
    return 0;
}

// The entries that name each key, in file order.
typedef std::map<std::string, std::vector<size_t> > EntryIndex;

// What is still inside a folder at its turn, sorted by what the log says of each item.
struct FolderContents {
    std::vector<std::string> unnamed;  // items the log does not name
    std::vector<size_t> later;         // entries inside it whose turn is still to come
    std::vector<std::string> stayed;   // named items whose turn came and that stayed
};

static FolderContents ListFolderContents(const PlanTree& tree, const EntryIndex& index,
                                         const std::string& folderKey, size_t folderEntry)
{
    FolderContents contents;
    std::string prefix = folderKey.back() == '\\' ? folderKey : folderKey + "\\";
    size_t shownFrom = tree.items.at(folderKey).shown.size() + (folderKey.back() == '\\' ? 0 : 1);
    for (auto it = tree.items.lower_bound(prefix);
         it != tree.items.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        if (!it->second.present)
            continue;
        auto named = index.find(it->first);
        std::string relative = it->second.shown.substr(shownFrom);
        if (named == index.end())
            contents.unnamed.push_back(relative);
        else if (named->second.front() < folderEntry)
            contents.later.push_back(named->second.front());
        else
            contents.stayed.push_back(relative);
    }
    return contents;
}

static std::string NameAFew(const std::vector<std::string>& names)
{
    std::string text;
    for (size_t i = 0; i < names.size() && i < kItemsNamed; i++)
        text += (i > 0 ? ", " : "") + ShowPathBytes(names[i]);
    if (names.size() > kItemsNamed)
        text += ", and " + std::to_string(names.size() - kItemsNamed) + " more";
    return text;
}

static std::string CountItems(size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

static std::string ExplainNotEmpty(const LogReading& reading, const FolderContents& contents)
{
    std::string why = "not empty at its turn:";
    if (!contents.unnamed.empty())
        why += " " + CountItems(contents.unnamed.size(), "item", "items") +
               " the log does not name (" + NameAFew(contents.unnamed) + ");";
    if (!contents.later.empty()) {
        size_t first = contents.later.front();
        why += " its turn comes before " +
               CountItems(contents.later.size(), "entry", "entries") +
               " inside it, listed before it (first: entry " + std::to_string(first + 1) + " \"" +
               ShowPathBytes(reading.entries[first].path) + "\"); list the folder first;";
    }
    if (!contents.stayed.empty())
        why += " " + CountItems(contents.stayed.size(), "item", "items") +
               " inside it stayed at their turn (" + NameAFew(contents.stayed) + ");";
    why.pop_back();
    return why;
}

static PlanStep PlanFile(PlanItem* item, size_t entry)
{
    if (item->folder)
        return {entry, PlanWrongKind, "a folder, listed as a file: DeleteFileA deletes only files"};
    item->present = 0;
    return {entry, PlanRemoved, ""};
}

static PlanStep PlanFolder(const LogReading& reading, PlanTree* tree, const EntryIndex& index,
                           const std::string& key, size_t entry)
{
    PlanItem& item = tree->items.at(key);
    if (!item.folder)
        return {entry, PlanWrongKind,
                "a file, listed as a folder: RemoveDirectoryA removes only folders"};
    FolderContents contents = ListFolderContents(*tree, index, key, entry);
    if (contents.unnamed.empty() && contents.later.empty() && contents.stayed.empty()) {
        item.present = 0;
        return {entry, PlanRemoved, ""};
    }
    return {entry, PlanNotEmpty, ExplainNotEmpty(reading, contents)};
}

static PlanStep PlanEntry(const LogReading& reading, PlanTree* tree, const EntryIndex& index,
                          size_t entry)
{
    const LoggedEntry& logged = reading.entries[entry];
    // The removal pass hands Windows only full paths; the rest it reports and leaves alone.
    if (!IsFullPath(logged.path.c_str()))
        return {entry, PlanNotFullPath, "not a full path"};
    if (!IsMapped(*tree, logged.path))
        return {entry, PlanNotMapped, "not under any --root"};
    std::string key = PathKey(logged.path);
    auto found = tree->items.find(key);
    if (found == tree->items.end() || !found->second.present)
        return {entry, PlanMissing,
                logged.kind == EntryKindDirectory ? "missing: no such folder"
                                                  : "missing: no such file"};
    if (logged.kind == EntryKindFile)
        return PlanFile(&found->second, entry);
    return PlanFolder(reading, tree, index, key, entry);
}

std::vector<PlanStep> PlanRemovalPass(const LogReading& reading, PlanTree* tree)
{
    EntryIndex index;
    for (size_t i = 0; i < reading.entries.size(); i++)
        index[PathKey(reading.entries[i].path)].push_back(i);

    std::vector<PlanStep> steps;
    for (size_t entry = reading.entries.size(); entry-- > 0;)
        steps.push_back(PlanEntry(reading, tree, index, entry));
    return steps;
}
