// Windows path text as the uninstaller sees it: ANSI bytes, backslashes, case folded A-Z only.
#include "path_text.h"

#include <stdio.h>

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

std::string PathKey(const std::string& path)
{
    return FoldCase(TrimTrailingSeparators(path));
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

int IsAbsoluteWindowsPath(const std::string& path)
{
    if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') {
        char drive = path[0];
        return (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    }
    return path.compare(0, 2, "\\\\") == 0;
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
