#include "vxpatch/streams.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Checksum, MatchesTheJamcrcCheckValues)
{
    const struct {
        const char *text;
        uint32_t checksum;
    } cases[] = {
        {"", 0xFFFFFFFFu},
        {"123456789", 0x340BC6D9u},
        {"abc", 0xCADBBE3Du},
    };
    for (const auto &c : cases)
        EXPECT_EQ(vxpatch::ComputeChecksum(c.text, std::strlen(c.text)), c.checksum) << c.text;
}

} // namespace
