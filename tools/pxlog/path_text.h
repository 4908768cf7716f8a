// Windows path text as the uninstaller sees it: ANSI bytes, backslashes, case folded A-Z only.
#ifndef PXLOG_PATH_TEXT_H
#define PXLOG_PATH_TEXT_H

#include <string>

// The path with A-Z turned into a-z and every other byte as it stands, as the uninstaller
// compares names.
std::string FoldCase(const std::string& path);

// The path without trailing backslashes, except the one of a drive's root ("C:\").
std::string TrimTrailingSeparators(const std::string& path);

// A full path (IsFullPath) as Windows resolves it before the file system sees it: "/" and "\"
// both separate, a run of separators counts as one, "." is the folder it stands in and ".." its
// parent, never above the root ("C:\" or "\\server\share"). Backslashes, no trailing one.
std::string ResolveFullPath(const std::string& path);

// The key under which two spellings of one path meet: resolved when full, folded, without
// trailing backslashes.
std::string PathKey(const std::string& path);

// 1 when path lies inside folder (both already keys), below it at any depth.
int IsInsideKey(const std::string& pathKey, const std::string& folderKey);

// The last name of the path, after its last backslash or slash.
std::string LastComponent(const std::string& path);

// The folder and the name joined by one backslash.
std::string JoinWindowsPath(const std::string& folder, const std::string& name);

// The bytes fit for a terminal: control bytes, the NUL among them, become <XX>.
std::string ShowPathBytes(const std::string& bytes);

#endif
