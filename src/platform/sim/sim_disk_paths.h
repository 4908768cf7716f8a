// The path grammar the simulated disk's calls share; not for tests or the logic.
#ifndef PLATFORM_SIM_SIM_DISK_PATHS_H
#define PLATFORM_SIM_SIM_DISK_PATHS_H

#include <string>

#include "platform/sim/sim_internal.h"

// The full path a program's path names, separators made "\\", "." and ".." resolved, no
// trailing separator; letters as written.
std::string NormalPath(const std::string& path);
// The key of the item a path names: NormalPath folded, 8.3 components made long.
std::string PathKey(const std::string& path);
// The key a 32-bit program's call reaches under WoW64: system32 becomes the 32-bit folder.
std::string Wow64Key(const std::string& key);
// The item a file call of the program names: PathKey, then Wow64Key, then the links on the way
// followed (sim_links.cpp).
std::string CallKey(const std::string& path);
std::string ParentKey(const std::string& key);
// A drive root ("c:") always exists and is no item of its own.
bool IsDriveRoot(const std::string& key);
SimDiskItem* FindItem(const std::string& key);
// A folder item, or a drive's root.
bool FolderExists(const std::string& key);
// The error Windows gives for a missing item: the parent decides between the two.
DWORD MissingError(const std::string& key);
bool HasChildren(const std::string& key);
// Puts a file or folder at key, written as path, with data; a new item gets its identity and times.
void PutDiskItem(const std::string& key, const std::string& path, bool isFolder,
                 const std::string& data);

#endif
