// The simulated profile functions' own part: declared faults. What the profile API reads and
// writes is the contract's.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim.h"

namespace {

TEST(SimProfiles, DeclaredFaultLeavesTheFileAlone)
{
    ResetMachine(VER_PLATFORM_WIN32_WINDOWS);
    const std::string list("nul=C:\\A.DLL\0nul=C:\\B.DLL\0\0", 27);
    ASSERT_EQ(WritePrivateProfileSectionA("rename", list.c_str(), "wininit.ini"), TRUE);
    FailCall("WritePrivateProfileSectionA");
    EXPECT_EQ(WritePrivateProfileSectionA("rename", "x=1\0", "wininit.ini"), FALSE);
    EXPECT_EQ(IniFile("wininit.ini"), "[rename]\r\nnul=C:\\A.DLL\r\nnul=C:\\B.DLL\r\n");
}

}  // namespace
