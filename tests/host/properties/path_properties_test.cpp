// Any bytes, any length up to 259, any mask: the path functions stay inside MAX_PATH and give
// what a plain model of their rules gives, with and without a double-byte code page.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "foundation/paths.h"
#include "support/machine_fixture.h"

namespace {

const char kSentinel = '\x7F';
const int kCases = 20000;

// Bytes that make paths interesting: separators, dots, colons, lead and trail bytes, letters.
std::string RandomPath(std::mt19937& random, size_t maxLength)
{
    static const char kAlphabet[] = "\\/.:aZ\x81\x95\x5C\x2E\xE0\xFC\x40 ~";
    std::uniform_int_distribution<size_t> length(0, maxLength);
    std::uniform_int_distribution<int> pick(0, (int)sizeof kAlphabet - 2);
    std::uniform_int_distribution<int> anyByte(1, 255);
    std::string path(length(random), 'x');
    for (char& c : path)
        c = random() % 4 == 0 ? (char)anyByte(random) : kAlphabet[pick(random)];
    return path;
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

TEST(PathProperties, AppendPathComponentNeverPassesMaxPathAndJoinsAsModelled)
{
    std::mt19937 random(20261208);
    for (int i = 0; i < kCases; i++) {
        const std::string path = RandomPath(random, 259);
        const std::string name = RandomPath(random, 270);
        char buffer[MAX_PATH + 16];
        memset(buffer, kSentinel, sizeof buffer);
        memcpy(buffer, path.c_str(), path.size() + 1);

        int result = AppendPathComponent(buffer, name.c_str());

        // The model: one separator unless the path is empty or ends in one; all within 259.
        std::string base = path.c_str();  // up to the first NUL, as the function sees it
        std::string visibleName = name.c_str();
        bool needsSeparator = !base.empty() && !IsSeparator(base.back());
        std::string joined = base + (needsSeparator ? "\\" : "") + visibleName;
        bool fits = joined.size() <= 259 && !(needsSeparator && base.size() >= 259);
        ASSERT_EQ(result, fits ? 1 : 0) << "case " << i;
        if (fits)
            ASSERT_EQ(std::string(buffer), joined) << "case " << i;
        else if (needsSeparator && base.size() < 259)
            ASSERT_EQ(std::string(buffer), base + "\\") << "case " << i;
        else
            ASSERT_EQ(std::string(buffer), base) << "case " << i;
        for (size_t at = MAX_PATH; at < sizeof buffer; at++)
            ASSERT_EQ(buffer[at], kSentinel) << "case " << i << " wrote past MAX_PATH";
    }
}

// The model of ExtractPathParts: the same rules, written as plainly as possible.
std::string ModelExtract(const std::string& src, int mask, bool doubleByte)
{
    auto lead = [&](unsigned char c) {
        return doubleByte && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
    };
    size_t driveLength = src.size() >= 2 && src[1] == ':' ? 2 : 0;
    size_t lastSeparator = std::string::npos, lastDot = std::string::npos;
    for (size_t at = driveLength; at < src.size(); at++) {
        if (lead((unsigned char)src[at]) && at + 1 < src.size()) {
            at++;
            continue;
        }
        if (IsSeparator(src[at]))
            lastSeparator = at;
        else if (src[at] == '.')
            lastDot = at;
    }
    size_t nameStart = lastSeparator == std::string::npos ? driveLength : lastSeparator + 1;
    if (lastDot != std::string::npos && lastDot < nameStart)
        lastDot = std::string::npos;
    size_t nameEnd = lastDot == std::string::npos ? src.size() : lastDot;
    std::string dir = src.substr(driveLength, nameStart - driveLength).substr(0, 255);
    std::string name = src.substr(nameStart, nameEnd - nameStart).substr(0, 255);
    std::string ext = src.substr(nameEnd).substr(0, 255);

    std::string out;
    if ((mask & 0x1000) && driveLength)
        out += std::string(1, src[0]) + ":";
    if ((mask & 0x0100) && !dir.empty())
        out += dir + (IsSeparator(dir.back()) ? "" : "\\");
    if (mask & 0x0010)
        out += name;
    if ((mask & 0x0001) && !ext.empty())
        out += ext;
    return out.substr(0, 259);
}

class PathPropertiesTest : public MachineTest {};

TEST_F(PathPropertiesTest, ExtractPathPartsNeverPassesMaxPathAndKeepsWhatTheMaskSelects)
{
    std::mt19937 random(8122026);
    std::uniform_int_distribution<int> anyMask(0, 0xFFFF);
    for (int i = 0; i < kCases; i++) {
        const bool doubleByte = i % 2 == 0;
        Machine().process.doubleByteCodePage = doubleByte;
        std::string src = RandomPath(random, 259);
        src = src.c_str();
        int mask = anyMask(random) | (0x1111 & (1 << (4 * (i % 4))));  // at least one part
        char dest[MAX_PATH + 16];
        memset(dest, kSentinel, sizeof dest);

        ExtractPathParts(dest, src.c_str(), mask);

        ASSERT_EQ(std::string(dest), ModelExtract(src, mask, doubleByte))
            << "case " << i << " mask " << std::hex << mask;
        ASSERT_LE(strlen(dest), 259u);
        for (size_t at = MAX_PATH; at < sizeof dest; at++)
            ASSERT_EQ(dest[at], kSentinel) << "case " << i << " wrote past MAX_PATH";
    }
}

}  // namespace
