// Where the entries of a new log come from: a typed list, or a local folder tree.
#include "entry_sources.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "path_text.h"
#include "uninstall_log/removal_list.h"

namespace fs = std::filesystem;

static std::string TrimSpaces(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return "";
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

static int ReadLine(FILE* stream, std::string* line)
{
    line->clear();
    int c;
    while ((c = fgetc(stream)) != EOF && c != '\n')
        line->push_back((char)c);
    return c != EOF || !line->empty();
}

// Parses one meaningful line. 1 with the entry; 0 with why the line is not one.
static int ParseListLine(const std::string& text, PlannedEntry* entry, std::string* why)
{
    size_t gap = text.find_first_of(" \t");
    std::string keyword = text.substr(0, gap);
    std::string path = gap == std::string::npos ? "" : TrimSpaces(text.substr(gap));
    if (keyword == "file")
        entry->kind = EntryKindFile;
    else if (keyword == "dir")
        entry->kind = EntryKindDirectory;
    else {
        *why = "expected \"file PATH\" or \"dir PATH\", got \"" + ShowPathBytes(text) + "\"";
        return 0;
    }
    if (path.empty()) {
        *why = "\"" + keyword + "\" without a path";
        return 0;
    }
    entry->path = path;
    return 1;
}

int ReadEntryList(FILE* stream, std::vector<PlannedEntry>* entries, std::string* error)
{
    std::string line;
    for (int number = 1; ReadLine(stream, &line); number++) {
        std::string text = TrimSpaces(line);
        if (text.empty() || text[0] == '#')
            continue;
        PlannedEntry entry;
        std::string why;
        if (!ParseListLine(text, &entry, &why) || !(why = CheckLoggablePath(entry.path)).empty()) {
            *error = "line " + std::to_string(number) + ": " + why;
            return 0;
        }
        entries->push_back(entry);
    }
    return 1;
}

// The names in a local folder, sorted case-insensitively (ties by bytes) so the log does not
// depend on the order the file system happens to return.
static int ListFolderSorted(const fs::path& folder, std::vector<fs::directory_entry>* children,
                            std::string* error)
{
    std::error_code code;
    fs::directory_iterator it(folder, code);
    for (; !code && it != fs::directory_iterator(); it.increment(code))
        children->push_back(*it);
    if (code) {
        *error = "cannot list " + folder.string() + ": " + code.message();
        return 0;
    }
    std::sort(children->begin(), children->end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) {
                  std::string nameA = a.path().filename().string();
                  std::string nameB = b.path().filename().string();
                  std::string foldedA = FoldCase(nameA), foldedB = FoldCase(nameB);
                  return foldedA != foldedB ? foldedA < foldedB : nameA < nameB;
              });
    return 1;
}

static int CollectFolder(const fs::path& folder, const std::string& windowsDir,
                         std::vector<PlannedEntry>* entries, std::string* error)
{
    std::vector<fs::directory_entry> children;
    if (!ListFolderSorted(folder, &children, error))
        return 0;
    for (const fs::directory_entry& child : children) {
        std::string windowsPath = JoinWindowsPath(windowsDir, child.path().filename().string());
        std::error_code code;
        // A link to a folder is listed as what it is, a link, and not followed.
        int isFolder = child.is_directory(code) && !child.is_symlink(code);
        entries->push_back({isFolder ? (uint32_t)EntryKindDirectory : (uint32_t)EntryKindFile,
                            windowsPath});
        if (isFolder && !CollectFolder(child.path(), windowsPath, entries, error))
            return 0;
    }
    return 1;
}

int CollectTreeEntries(const std::string& localDir, const std::string& windowsDir,
                       int includeRoot, std::vector<PlannedEntry>* entries, std::string* error)
{
    std::error_code code;
    if (!fs::is_directory(localDir, code)) {
        *error = localDir + " is not a folder";
        return 0;
    }
    std::string root = TrimTrailingSeparators(windowsDir);
    if (includeRoot)
        entries->push_back({EntryKindDirectory, root});
    return CollectFolder(fs::path(localDir), root, entries, error);
}
