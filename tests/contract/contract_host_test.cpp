// Runs every contract row on the simulated Windows of both lines; the Windows build runs the
// same rows on the real API (contract_main.cpp).
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "contract.h"
#include "contract_line.h"

namespace {

typedef std::tuple<DWORD, size_t> LineAndRow;

class ContractRowTest : public testing::TestWithParam<LineAndRow> {};

TEST_P(ContractRowTest, SimulationAgreesWithWindows)
{
    const DWORD line = std::get<0>(GetParam());
    const ContractRow& row = ContractRowAt(std::get<1>(GetParam()));
    SCOPED_TRACE(row.name);
    SelectContractLine(line);
    Observation seen = {};
    const char* expected = RunContractRow(row, &seen);
    EXPECT_EQ(RunsOnNtLine(), line == VER_PLATFORM_WIN32_NT ? 1 : 0);
    EXPECT_STREQ(seen.text, expected);
}

std::string RowTestName(const testing::TestParamInfo<LineAndRow>& info)
{
    std::string name = std::get<0>(info.param) == VER_PLATFORM_WIN32_NT ? "Nt_" : "Consumer_";
    bool upper = true;
    for (const char* c = ContractRowAt(std::get<1>(info.param)).name; *c; ++c) {
        if ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9')) {
            name += upper && *c >= 'a' && *c <= 'z' ? (char)(*c - 'a' + 'A') : *c;
            upper = false;
        } else {
            upper = true;
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ContractRowTest,
    testing::Combine(testing::Values(VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS),
                     testing::Range<size_t>(0, ContractRowCount())),
    RowTestName);

}  // namespace
