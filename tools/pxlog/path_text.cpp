// Windows path text as the uninstaller sees it: ANSI bytes, backslashes, case folded A-Z only.
#include "path_text.h"

#include <stdio.h>

#include <vector>

#include "foundation/paths.h"

std::string FoldCase(const std::string& path)
{
    std::string folded = path;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return folded;
}

static int IsDriveRoot(const std::string& path)
{
    return path.size() == 3 && path[1] == ':' && path[2] == '\\';
}

std::string TrimTrailingSeparators(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '\\' && !IsDriveRoot(trimmed))
        trimmed.pop_back();
    return trimmed;
}

static int IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Where the root of a full path ends: after "C:\", or after "\\server\share\", which ".."
// cannot climb above either.
static size_t RootLength(const std::string& path)
{
    if (!IsSeparator(path[0]))
        return 3;
    size_t end = 2;
    for (int part = 0; part < 2; part++) {
        while (end < path.size() && !IsSeparator(path[end]))
            end++;
        while (end < path.size() && IsSeparator(path[end]))
            end++;
    }
    return end;
}

std::string ResolveFullPath(const std::string& path)
{
    size_t rootLength = RootLength(path);
    std::vector<std::string> names;
    for (size_t start = rootLength; start < path.size();) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            end++;
        std::string name = path.substr(start, end - start);
        if (name == "..") {
            if (!names.empty())
                names.pop_back();
        } else if (!name.empty() && name != ".") {
            names.push_back(name);
        }
        start = end + 1;
    }
    std::string resolved = path.substr(0, rootLength);
    for (char& c : resolved)
        if (c == '/')
            c = '\\';
    for (size_t i = 0; i < names.size(); i++)
        resolved += (i > 0 ? "\\" : "") + names[i];
    return TrimTrailingSeparators(resolved);
}

std::string PathKey(const std::string& path)
{
    // A path that is not full is never handed to Windows; its key is its text.
    if (!IsFullPath(path.c_str()))
        return FoldCase(TrimTrailingSeparators(path));
    return FoldCase(ResolveFullPath(path));
}

int IsInsideKey(const std::string& pathKey, const std::string& folderKey)
{
    if (folderKey.empty() || pathKey.size() <= folderKey.size())
        return 0;
    if (pathKey.compare(0, folderKey.size(), folderKey) != 0)
        return 0;
    // "C:\" already ends in its separator; every other folder key does not.
    return folderKey.back() == '\\' || pathKey[folderKey.size()] == '\\';
}

std::string LastComponent(const std::string& path)
{
    size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string JoinWindowsPath(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    if (folder.back() == '\\')
        return folder + name;
    return folder + "\\" + name;
}

std::string ShowPathBytes(const std::string& bytes)
{
    std::string shown;
    for (unsigned char c : bytes) {
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "<%02X>", c);
            shown += escaped;
        } else {
            shown += (char)c;
        }
    }
    return shown;
}
