// Encoding turns instructions into tables; the merging of literal bytes and the filling of
// unused address table entries decide the encoded bytes the patch formats depend on.
#include "programtestsupport.h"

#include "vxpatch/labelindexes.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace vxpatch;
using vxtest::toVector;

namespace {

const uint8_t kImage[] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15};

struct LiteralCase {
    const char *name;
    std::function<void(ParsedProgram &)> emit;
    std::vector<uint32_t> ops;
    std::vector<uint32_t> copyCounts;
    std::vector<uint8_t> copyBytes;
};

class LiteralMerging : public testing::TestWithParam<LiteralCase> {};

// Encoding a program that is given up reuses its literal buffer for the copy bytes; the
// tables must not differ from those of a program that is kept.
TEST_P(LiteralMerging, ProducesTheExpectedTables)
{
    const LiteralCase &c = GetParam();
    ParsedProgram program(EXE_ELF_32_X86);
    c.emit(program);
    NumberLabelsInOrder(&program);
    auto given = std::make_unique<ParsedProgram>(EXE_ELF_32_X86);
    c.emit(*given);
    NumberLabelsInOrder(given.get());
    EncodedProgram encoded, encodedFromGiven;
    ASSERT_EQ(EncodeProgram(program, &encoded), StatusOk);
    ASSERT_EQ(EncodeProgram(std::move(given), &encodedFromGiven), StatusOk);
    for (const EncodedProgram *e : {&encoded, &encodedFromGiven}) {
        EXPECT_EQ(toVector(e->ops), c.ops);
        EXPECT_EQ(toVector(e->copyCounts), c.copyCounts);
        EXPECT_EQ(toVector(e->copyBytes), c.copyBytes);
        EXPECT_EQ(toVector(e->rel32Ix), toVector(encoded.rel32Ix));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LiteralMerging,
    testing::Values(
        LiteralCase{"ImageWithoutReferences",
                    [](ParsedProgram &p) {
                        p.EmitOrigin(0x1000);
                        p.EmitBytes(kImage, 6);
                    },
                    {OpOrigin, OpCopy}, {6}, {0x10, 0x11, 0x12, 0x13, 0x14, 0x15}},
        LiteralCase{"OneByteIsCopy1", [](ParsedProgram &p) { p.EmitByte(7); }, {OpCopy1}, {}, {7}},
        LiteralCase{"TwoAdjacentBytesMergeIntoOneCopy",
                    [](ParsedProgram &p) {
                        p.EmitByte(7);
                        p.EmitByte(8);
                    },
                    {OpCopy}, {2}, {7, 8}},
        LiteralCase{"BytesAndRunsMergeAcrossInstructions",
                    [](ParsedProgram &p) {
                        p.EmitByte(1);
                        p.EmitBytes(kImage, 2);
                        p.EmitByte(2);
                    },
                    {OpCopy}, {4}, {1, 0x10, 0x11, 2}},
        LiteralCase{"ByteRunsMoveBehindImageRunsInOrder",
                    [](ParsedProgram &p) {
                        p.EmitByte(1);
                        p.EmitBytes(kImage, 3);
                        p.EmitByte(2);
                        p.EmitByte(3);
                        p.EmitRel32(p.Rel32LabelAt(0x40));
                        p.EmitBytes(kImage + 3, 3);
                        p.EmitByte(4);
                    },
                    {OpCopy, OpRel32, OpCopy}, {6, 4},
                    {1, 0x10, 0x11, 0x12, 2, 3, 0x13, 0x14, 0x15, 4}},
        LiteralCase{"ReferenceSplitsRuns",
                    [](ParsedProgram &p) {
                        p.EmitByte(1);
                        p.EmitRel32(p.Rel32LabelAt(0x40));
                        p.EmitByte(2);
                        p.EmitByte(3);
                        p.EmitOrigin(0x50);
                        p.EmitByte(4);
                    },
                    {OpCopy1, OpRel32, OpCopy, OpOrigin, OpCopy1}, {2}, {1, 2, 3, 4}},
        LiteralCase{"EmptyRunAfterMarkerIsAnEmptyCopy",
                    [](ParsedProgram &p) {
                        p.EmitElfRelocs();
                        p.EmitBytes(kImage, 0);
                        p.EmitByte(9);
                    },
                    {OpElfRelocs, OpCopy}, {1}, {9}},
        LiteralCase{"EmptyRunTurnsCopy1IntoCopy",
                    [](ParsedProgram &p) {
                        p.EmitByte(9);
                        p.EmitBytes(kImage, 0);
                    },
                    {OpCopy}, {1}, {9}}),
    [](const testing::TestParamInfo<LiteralCase> &info) { return info.param.name; });

TEST(EncodeProgram, TranslatesEveryInstructionKind)
{
    const uint8_t arm[2] = {0xFE, 0xE7};
    ParsedProgram program(EXE_ELF_32_ARM);
    program.SetImageBase(0x1234567800400000ull);
    program.EmitOrigin(0x2000);
    program.EmitAbs32(program.Abs32LabelAt(0x3000));
    program.EmitAbs32(program.Abs32LabelAt(0x2000));
    program.EmitRel32(program.Rel32LabelAt(0x2100));
    program.EmitRel32Arm(0x201C, program.Rel32LabelAt(0x2000), arm, 2);
    program.EmitElfArmRelocs();
    NumberLabelsInOrder(&program);

    EncodedProgram encoded;
    ASSERT_EQ(EncodeProgram(program, &encoded), StatusOk);
    EXPECT_EQ(encoded.imageBase, 0x1234567800400000ull);
    EXPECT_EQ(toVector(encoded.ops),
              (std::vector<uint32_t>{OpOrigin, OpAbs32, OpAbs32, OpRel32, 0x201C, OpElfArmRelocs}));
    EXPECT_EQ(toVector(encoded.origins), std::vector<uint32_t>{0x2000});
    EXPECT_EQ(toVector(encoded.abs32Rvas), (std::vector<uint32_t>{0x2000, 0x3000}));
    EXPECT_EQ(toVector(encoded.abs32Ix), (std::vector<uint32_t>{1, 0}));
    EXPECT_EQ(toVector(encoded.rel32Rvas), (std::vector<uint32_t>{0x2000, 0x2100}));
    EXPECT_EQ(toVector(encoded.rel32Ix), (std::vector<uint32_t>{1, 0}));
}

TEST(EncodeProgram, PeMarkerFollowsTheProgramType)
{
    const std::pair<ExecutableType, uint32_t> cases[] = {
        {EXE_WIN_32_X86, OpPeRelocs}, {EXE_WIN_32_X64, OpPe64Relocs}, {EXE_UNKNOWN, OpPe64Relocs}};
    for (const auto &c : cases) {
        ParsedProgram program(c.first);
        program.EmitPeRelocs();
        EncodedProgram encoded;
        ASSERT_EQ(EncodeProgram(program, &encoded), StatusOk);
        EXPECT_EQ(toVector(encoded.ops), std::vector<uint32_t>{c.second}) << c.first;
    }
}

TEST(EncodeProgram, UnusedAddressEntriesRepeatThePreviousOne)
{
    ParsedProgram program(EXE_WIN_32_X86);
    program.Rel32LabelAt(0x500)->index = 0;
    program.Rel32LabelAt(0x700)->index = 2;
    program.Abs32LabelAt(0x900)->index = 2;
    EncodedProgram encoded;
    ASSERT_EQ(EncodeProgram(program, &encoded), StatusOk);
    EXPECT_EQ(toVector(encoded.rel32Rvas), (std::vector<uint32_t>{0x500, 0x500, 0x700}));
    // Without an earlier entry the gap counts from 0.
    EXPECT_EQ(toVector(encoded.abs32Rvas), (std::vector<uint32_t>{0, 0, 0x900}));
}

// A label left without an index would be written as index 0xFFFFFFFF (or crash the table
// growth); the encoding refuses it instead.
TEST(EncodeProgram, LabelWithoutIndexFailsAndLeavesNothing)
{
    ParsedProgram program(EXE_WIN_32_X86);
    program.EmitByte(1);
    program.EmitRel32(program.Rel32LabelAt(0x10));
    EncodedProgram encoded;
    EXPECT_EQ(EncodeProgram(program, &encoded), StatusGeneralError);
    EXPECT_TRUE(encoded.ops.Empty());
    EXPECT_TRUE(encoded.copyBytes.Empty());
}

TEST(ParsedProgram, MalformedReferencesAreRefused)
{
    const uint8_t bytes[4] = {};
    ParsedProgram program(EXE_ELF_32_ARM);
    EXPECT_FALSE(program.EmitRel32(nullptr));
    EXPECT_FALSE(program.EmitAbs32(nullptr));
    EXPECT_FALSE(program.EmitRel32Arm(0x4000, nullptr, bytes, 4));
    Label *label = program.Rel32LabelAt(0x10);
    EXPECT_FALSE(program.EmitRel32Arm(OpAbs32, label, bytes, 4)) << "would assemble as abs32";
    EXPECT_FALSE(program.EmitRel32Arm(0x6000, label, bytes, 4));
    EXPECT_TRUE(program.Instructions().Empty());
}

TEST(ParsedProgram, LookupsCountEveryReference)
{
    ParsedProgram program(EXE_ELF_32_X86);
    Label *first = program.Rel32LabelAt(0x40);
    EXPECT_EQ(program.Rel32LabelAt(0x40), first);
    EXPECT_EQ(first->count, 2);
    EXPECT_EQ(first->index, -1);
    EXPECT_EQ(program.Abs32LabelAt(0x40)->count, 1) << "the two maps are separate";
}

} // namespace
