// A complete installation on the simulated machine, as the application's installer leaves it.
#ifndef TESTS_HOST_SUPPORT_INSTALLATION_H
#define TESTS_HOST_SUPPORT_INSTALLATION_H

#include <string>
#include <vector>

#include "platform/platform.h"

extern const char kInstallFolder[];     // "C:\\Program Files\\Plexitone"
extern const char* const kDriverName;    // the pipe driver's file name of the fixed names
extern const char kProgramsFolder[];    // the simulated user's Programs folder

// Files of the installation, the uninstaller and its log, the start-menu group, the registry
// entries and the pipe driver registered for the machine's line, with the given use count.
void StageInstallation(DWORD sharedUseCount = 1);

// The five shortcut names, in the order they are deleted.
std::vector<std::string> ShortcutNames();

// Registry rows and paths of the machine that lie outside what the uninstaller may remove.
std::vector<std::string> PathsUnder(const std::string& prefix);

#endif
