// What a run left of the machine, judged against what the uninstaller may remove: the logged
// paths, the start-menu group, the registry entries of the clean-up and the pipe driver's.
#ifndef TESTS_HOST_SUPPORT_END_STATE_H
#define TESTS_HOST_SUPPORT_END_STATE_H

#include <set>
#include <string>
#include <vector>

#include "platform/sim/sim.h"

// The texts of every message box the uninstaller can show.
const std::set<std::string>& OwnTexts();

// The paths the staged installation's log names.
std::vector<std::string> StagedLogPaths();

// The registry rows, paths and file contents of the machine now.
struct MachineImage {
    std::vector<std::string> registry;
    std::vector<std::string> paths;
    std::vector<std::string> data;  // each file's path and bytes
};
MachineImage Image();

// One line per thing the run changed that it had no right to, given the paths its log named;
// also messages and dialogs that are not the uninstaller's own, and unanswered prompts.
std::vector<std::string> Violations(const MachineImage& before, DWORD line,
                                    const std::vector<std::string>& logged);

#endif
