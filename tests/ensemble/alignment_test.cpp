#include "vxpatch/assemblyprogram.h"
#include "vxpatch/labelalignment.h"
#include "vxpatch/labelindexes.h"

#include <gtest/gtest.h>

#include <string>

using namespace vxpatch;

namespace {

// Bytes that differ from every other call's, standing for distinct surrounding code.
void EmitCode(ParsedProgram *program, int seed, int count = 24)
{
    for (int i = 0; i < count; ++i)
        program->EmitByte(static_cast<uint8_t>(seed * 37 + i * 11 + (seed ^ i)));
}

// The same program before and after a build that inserted code in front (with a call to a
// new function) and so shifted everything behind by 0x10. `shift` 0 builds the old one.
void BuildProgram(ParsedProgram *program, bool rebuilt)
{
    const uint32_t shift = rebuilt ? 0x10 : 0;
    program->EmitOrigin(0x1000);
    if (rebuilt) {
        EmitCode(program, 90, 11);
        program->EmitRel32(program->Rel32LabelAt(0x1800));
    }
    EmitCode(program, 1);
    program->EmitRel32(program->Rel32LabelAt(0x2000 + shift));
    // Two calls in identical surroundings: neither identifies itself.
    for (int i = 0; i < 2; ++i) {
        EmitCode(program, 2);
        program->EmitRel32(program->Rel32LabelAt(0x2100 + shift));
    }
    EmitCode(program, 2);
    EmitCode(program, 3);
    program->EmitRel32(program->Rel32LabelAt(0x3000 + shift));
    EmitCode(program, 4);
    program->EmitAbs32(program->Abs32LabelAt(0x4000 + shift));
    EmitCode(program, 5);
    NumberLabelsInOrder(program);
}

int32_t IndexAt(LabelMap &labels, uint32_t rva)
{
    const Label *label = labels.Find(rva);
    return label ? label->index : -2;
}

TEST(LabelAlignmentTest, NewLabelsTakeTheIndexesOfTheirOldCounterparts)
{
    ParsedProgram oldProgram(EXE_ELF_64_X64), newProgram(EXE_ELF_64_X64);
    BuildProgram(&oldProgram, false);
    BuildProgram(&newProgram, true);
    AlignmentCounts counts;
    ASSERT_TRUE(AlignLabels(&oldProgram, &newProgram, &counts));

    const struct {
        uint32_t oldRva, newRva;
    } moved[] = {{0x2000, 0x2010}, {0x2100, 0x2110}, {0x3000, 0x3010}};
    for (const auto &m : moved) {
        SCOPED_TRACE(m.newRva);
        EXPECT_EQ(IndexAt(oldProgram.Rel32Labels(), m.oldRva),
                  IndexAt(newProgram.Rel32Labels(), m.newRva));
    }
    EXPECT_EQ(IndexAt(oldProgram.Abs32Labels(), 0x4000), IndexAt(newProgram.Abs32Labels(), 0x4010));
    // The new function's label takes the index no old label had.
    EXPECT_EQ(3, IndexAt(newProgram.Rel32Labels(), 0x1800));
    EXPECT_EQ(3u, counts.voted);
    EXPECT_EQ(1u, counts.shifted);
    EXPECT_EQ(5u, counts.labels);
}

TEST(LabelAlignmentTest, UnrelatedProgramsStillGetDistinctIndexes)
{
    ParsedProgram oldProgram(EXE_ELF_64_X64), newProgram(EXE_ELF_64_X64);
    oldProgram.EmitOrigin(0);
    EmitCode(&oldProgram, 7);
    oldProgram.EmitRel32(oldProgram.Rel32LabelAt(0x10));
    NumberLabelsInOrder(&oldProgram);
    newProgram.EmitOrigin(0);
    for (uint32_t rva = 0x100; rva < 0x180; rva += 8) {
        EmitCode(&newProgram, static_cast<int>(rva), 3);
        newProgram.EmitRel32(newProgram.Rel32LabelAt(rva));
    }
    NumberLabelsInOrder(&newProgram);
    ASSERT_TRUE(AlignLabels(&oldProgram, &newProgram));

    std::string seen(newProgram.Rel32Labels().Size(), '-');
    for (Label *label : newProgram.Rel32Labels()) {
        ASSERT_GE(label->index, 0);
        ASSERT_LT(static_cast<size_t>(label->index), seen.size());
        EXPECT_EQ('-', seen[label->index]) << "index " << label->index << " given twice";
        seen[label->index] = 'x';
    }
}

} // namespace
