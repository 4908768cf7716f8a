// Runs every contract row on the simulated Windows of both lines and of 64-bit Windows; the
// Windows build runs the same rows on the real API (contract_main.cpp).
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "contract.h"
#include "contract_line.h"

namespace {

// The three machines the rows run on: each line of 32-bit Windows, and 64-bit Windows of the NT
// line, where the rows' program runs under WoW64.
enum Lane { LaneNt, LaneConsumer, LaneNt64 };

typedef std::tuple<Lane, size_t> LaneAndRow;

class ContractRowTest : public testing::TestWithParam<LaneAndRow> {};

TEST_P(ContractRowTest, SimulationAgreesWithWindows)
{
    const Lane lane = std::get<0>(GetParam());
    const ContractRow& row = ContractRowAt(std::get<1>(GetParam()));
    SCOPED_TRACE(row.name);
    SelectContractMachine(lane == LaneConsumer ? VER_PLATFORM_WIN32_WINDOWS : VER_PLATFORM_WIN32_NT,
                          lane == LaneNt64 ? SimWindows64 : SimWindows32);
    Observation seen = {};
    const char* expected = RunContractRow(row, &seen);
    EXPECT_EQ(RunsOnNtLine(), lane == LaneConsumer ? 0 : 1);
    EXPECT_EQ(RunsUnderWow64(), lane == LaneNt64 ? 1 : 0);
    EXPECT_STREQ(seen.text, expected);
}

std::string RowTestName(const testing::TestParamInfo<LaneAndRow>& info)
{
    static const char* const kPrefixes[] = {"Nt_", "Consumer_", "Nt64_"};
    std::string name = kPrefixes[std::get<0>(info.param)];
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
    testing::Combine(testing::Values(LaneNt, LaneConsumer, LaneNt64),
                     testing::Range<size_t>(0, ContractRowCount())),
    RowTestName);

}  // namespace
