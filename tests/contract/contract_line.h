// The host's choice of the simulated line that the contract rows run on.
#ifndef TESTS_CONTRACT_CONTRACT_LINE_H
#define TESTS_CONTRACT_CONTRACT_LINE_H

#include "platform/platform.h"

// VER_PLATFORM_WIN32_NT or VER_PLATFORM_WIN32_WINDOWS; the next BeginRow builds that machine.
void SelectContractLine(DWORD platformId);

#endif
