// A dry run of the removal pass against a folder tree: what goes, what stays and why.
#ifndef PXLOG_PLAN_H
#define PXLOG_PLAN_H

#include <map>
#include <string>
#include <vector>

#include "log_reader.h"

// A Windows folder and the local folder that stands for it.
struct PlanRoot {
    std::string windowsDir;
    std::string localDir;
};

// One file or folder of the tree, under its Windows path.
struct PlanItem {
    std::string shown;  // the Windows path, spelled as the local names are
    int folder;         // 1 folder, 0 anything else
    int present;        // 0 once the plan has removed it
};

// The tree in memory, keyed by PathKey of the Windows path: Windows matches names without
// regard to case, whatever the local file system does.
struct PlanTree {
    std::map<std::string, PlanItem> items;
    std::vector<PlanRoot> roots;  // empty: the paths are the real disk's own
    std::vector<std::string> warnings;
};

enum PlanVerdict {
    PlanRemoved,
    PlanMissing,
    PlanWrongKind,
    PlanNotEmpty,
    PlanNotFullPath,
    PlanNotMapped,
};

struct PlanStep {
    size_t entry;         // index into the reading's entries
    PlanVerdict verdict;
    std::string why;      // empty when removed
};

// Splits "WINPATH=DIR". 1 on success; 0 with the reason in error.
int ParseRootOption(const std::string& option, PlanRoot* root, std::string* error);

// Lists every root's local folder. 1 on success; 0 when a root is not a folder.
int LoadRootTrees(PlanTree* tree, std::string* error);

// Lists what the log's absolute paths name on this machine's own disk, for a run on Windows.
void LoadRealDiskTree(const LogReading& reading, PlanTree* tree);

// Walks the entries newest first, removing from the tree what the removal pass would.
std::vector<PlanStep> PlanRemovalPass(const LogReading& reading, PlanTree* tree);

#endif
