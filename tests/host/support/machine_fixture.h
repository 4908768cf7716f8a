// A fresh simulated machine and fresh process state for every test of the logic.
#ifndef TESTS_HOST_SUPPORT_MACHINE_FIXTURE_H
#define TESTS_HOST_SUPPORT_MACHINE_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim.h"

// Empties the process's removal list and shared state, then builds a fresh machine.
void ResetProcess(DWORD platformId, SimWindowsWidth width = SimWindows32);

// Runs the uninstaller's entry point on the current machine with the command line after the
// program's name; its result.
int RunUninstaller(const std::string& arguments = "");

// The UI journal as rows "MessageBox owner=none caption=... text=... type=0x104 answer=6".
std::vector<std::string> UiRows();

// The calls journal rows whose operation is one of names, in order.
std::vector<std::string> CallsOf(const std::vector<std::string>& names);

class MachineTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetProcess(VER_PLATFORM_WIN32_NT); }
    void TearDown() override
    {
        EXPECT_EQ(Machine().ui.unscriptedPrompts, 0) << "a prompt had no scripted answer";
    }
};

#endif
