// Removal of the registry entries the installation made outside the uninstall log.
#ifndef CLEANUP_REGISTRY_CLEANUP_H
#define CLEANUP_REGISTRY_CLEANUP_H

#include "platform/platform.h"

// The eight registry steps, in order; every result is ignored.
void CleanRegistry(void);

// Deletes root\subkey when, and only when, it opens, its subkeys can be counted, and there are
// none. Values do not count.
void DeleteKeyIfNoSubkeys(HKEY root, const char* subkey);

#endif
