// The byte buffer's changes of size, its refusal of a negative size, and a heap without room.
#include <gtest/gtest.h>

#include <string>

#include "foundation/memory.h"
#include "support/machine_fixture.h"

namespace {

class ByteBufferTest : public MachineTest {};

struct SizeRow {
    const char* name;
    std::string before;   // bytes held before; empty means null and 0
    int32_t newSize;
    bool heapFails;
    int32_t sizeAfter;
    std::string keptPrefix;  // the bytes that must survive
    bool samePointer;
};

TEST_F(ByteBufferTest, ChangesSizeByTakingANewBlock)
{
    const SizeRow rows[] = {
        {"0 on empty allocates nothing", "", 0, false, 0, "", true},
        {"32000 on empty", "", 32000, false, 32000, "", false},
        {"same size keeps the block", "abcd", 4, false, 4, "abcd", true},
        {"shrink keeps the first bytes", "0123456789", 4, false, 4, "0123", false},
        {"grow keeps the old bytes", "0123", 10, false, 10, "0123", false},
        {"to 0 releases", "0123", 0, false, 0, "", false},
        {"no room leaves it as it was", "0123", 10, true, 4, "0123", true},
        {"no room on empty stays empty", "", 32000, true, 0, "", true},
    };
    for (const SizeRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(VER_PLATFORM_WIN32_NT);
        ByteBuffer buffer = {NULL, 0};
        if (!row.before.empty()) {
            SetSize(&buffer, (int32_t)row.before.size());
            memcpy(buffer.data, row.before.data(), row.before.size());
        }
        unsigned char* oldData = buffer.data;
        if (row.heapFails)
            FailCall("HeapAlloc");
        SetSize(&buffer, row.newSize);
        EXPECT_EQ(buffer.size, row.sizeAfter);
        EXPECT_EQ(buffer.data == oldData, row.samePointer);
        EXPECT_EQ(buffer.data == NULL, buffer.size == 0);
        EXPECT_EQ(std::string((const char*)buffer.data, row.keptPrefix.size()), row.keptPrefix);
        FreeIfSet(buffer.data);
        EXPECT_EQ(Machine().heap.liveBlocks, 0);
    }
}

void SetANegativeSize()
{
    ResetProcess(VER_PLATFORM_WIN32_NT);
    ScriptAnswers({IDOK});
    ByteBuffer buffer = {NULL, 0};
    SetSize(&buffer, -1);
}

TEST(ByteBufferDeathTest, ANegativeSizeIsAnInternalError)
{
    EXPECT_EXIT(SetANegativeSize(), ::testing::ExitedWithCode(1), "File 10\\s+Line 802");
}

TEST_F(ByteBufferTest, FreeIfSetOfNullDoesNothing)
{
    FreeIfSet(NULL);
    EXPECT_EQ(Machine().heap.liveBlocks, 0);
}

}  // namespace
