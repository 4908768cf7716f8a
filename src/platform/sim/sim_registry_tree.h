// The key tree the simulated registry's calls and its test helpers share; not for the logic.
#ifndef PLATFORM_SIM_SIM_REGISTRY_TREE_H
#define PLATFORM_SIM_SIM_REGISTRY_TREE_H

#include <string>
#include <vector>

#include "platform/sim/sim_internal.h"

// A key path's components, as written; a forward slash is part of a name.
std::vector<std::string> SplitKeyPath(const std::string& path);
// The path below root that a 32-bit program with this access reaches, WoW64 applied.
std::vector<std::string> Wow64View(ULONG_PTR root, std::vector<std::string> path, REGSAM access);
// The key at path below root, or NULL; components compared folded.
SimKeyNode* FindNode(ULONG_PTR root, const std::vector<std::string>& path);

#endif
