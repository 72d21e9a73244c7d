// Branch instructions rebuilt from a compressed opcode and a distance must be bit-for-bit
// the instructions of the image; the cases are real encodings of each branch form.
#include "vxpatch/armbranch.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vxpatch;

namespace {

struct ArmCase {
    const char *name;
    uint16_t op;
    uint32_t distance; // target minus the instruction's RVA
    std::vector<uint8_t> bytes;
};

class RebuildsArmBranch : public testing::TestWithParam<ArmCase> {};

TEST_P(RebuildsArmBranch, AsItLiesInTheImage)
{
    const ArmCase &c = GetParam();
    uint8_t out[4] = {};
    const uint32_t size = RebuildArmBranch(c.op, c.distance, out);
    ASSERT_EQ(size, c.bytes.size());
    EXPECT_EQ(std::vector<uint8_t>(out, out + size), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RebuildsArmBranch,
    testing::Values(
        // beq . (D0FE) and a beq 0x40 bytes ahead (D01E)
        ArmCase{"ThumbConditionalToItself", 0x10D0, 0, {0xFE, 0xD0}},
        ArmCase{"ThumbConditionalForward", 0x10D0, 0x40, {0x1E, 0xD0}},
        // b . (E7FE) and b back 0x100 bytes (E77E)
        ArmCase{"ThumbBranchToItself", 0x201C, 0, {0xFE, 0xE7}},
        ArmCase{"ThumbBranchBackward", 0x201C, 0xFFFFFF00, {0x7E, 0xE7}},
        // b . (EAFFFFFE) and bl 0x1000 ahead (EB0003FE)
        ArmCase{"ArmBranchToItself", 0x30EA, 0, {0xFE, 0xFF, 0xFF, 0xEA}},
        ArmCase{"ArmCallForward", 0x30EB, 0x1000, {0xFE, 0x03, 0x00, 0xEB}},
        // bl with offsets 0, +0x1000 and -4 (F000 F800, F001 F800, F7FF FFFE)
        ArmCase{"ThumbLongCallNext", 0x44F7, 4, {0x00, 0xF0, 0x00, 0xF8}},
        ArmCase{"ThumbLongCallForward", 0x44F7, 0x1004, {0x01, 0xF0, 0x00, 0xF8}},
        ArmCase{"ThumbLongCallBackward", 0x44F7, 0, {0xFF, 0xF7, 0xFE, 0xFF}},
        // blx from an address that is not a multiple of 4 (adjust 2): F000 E800
        ArmCase{"ThumbLongCallToArm", 0x42F6, 2, {0x00, 0xF0, 0x00, 0xE8}},
        // beq.w with offset 0 (F000 8000)
        ArmCase{"ThumbWideConditional", 0x5000, 4, {0x00, 0xF0, 0x00, 0x80}}),
    [](const testing::TestParamInfo<ArmCase> &info) { return info.param.name; });

TEST(RebuildArmBranch, RefusesOpcodesOutsideTheArmFamilies)
{
    uint8_t out[4];
    for (uint16_t op : {uint16_t(0), uint16_t(0x0FFF), uint16_t(0x6000), uint16_t(0xF000)})
        EXPECT_EQ(RebuildArmBranch(op, 0, out), 0u) << op;
}

} // namespace
