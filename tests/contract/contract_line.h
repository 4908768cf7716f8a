// The host's choice of the simulated machine that the contract rows run on.
#ifndef TESTS_CONTRACT_CONTRACT_LINE_H
#define TESTS_CONTRACT_CONTRACT_LINE_H

#include "platform/sim/sim.h"

// VER_PLATFORM_WIN32_NT or VER_PLATFORM_WIN32_WINDOWS, and the width of Windows; the next
// BeginRow builds that machine.
void SelectContractMachine(DWORD platformId, SimWindowsWidth width);

#endif
