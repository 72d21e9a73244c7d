#include "vxpatch/armbranch.h"
#include "vxpatch/encodedprogram.h"
#include "vxpatch/programslices.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

using namespace vxpatch;

namespace {

template <typename T>
void Fill(GrowableArray<T> *table, std::initializer_list<T> values)
{
    table->Clear();
    for (T value : values)
        table->Push(value);
}

// Header bytes, then three sections: code with a call and a Thumb branch, data without
// references, and data with one absolute address.
void BuildProgram(EncodedProgram *program)
{
    Fill<uint32_t>(&program->ops, {OpCopy, OpOrigin, OpCopy1, OpRel32, 0x2000, OpCopy, OpOrigin,
                                   OpCopy, OpOrigin, OpAbs32, OpCopy1});
    Fill<uint32_t>(&program->origins, {0x1000, 0x2000, 0x3000});
    Fill<uint32_t>(&program->copyCounts, {3, 2, 5});
    Fill<uint8_t>(&program->copyBytes, {'h', 'd', 'r', 0xE8, 'c', 'c', 'd', 'a', 't', 'a', '!', 'z'});
    Fill<uint32_t>(&program->rel32Ix, {0, 0});
    Fill<uint32_t>(&program->abs32Ix, {0});
    Fill<uint32_t>(&program->rel32Rvas, {0x1040});
    Fill<uint32_t>(&program->abs32Rvas, {0x2000});
    program->imageBase = 0x400000;
}

std::string Assembled(const EncodedProgram &program)
{
    ByteSink out;
    EXPECT_EQ(StatusOk, AssembleProgram(program, &out));
    return std::string(reinterpret_cast<const char *>(out.Data()), out.Size());
}

TEST(ProgramSlicesTest, CutsAtOriginsAndKeepsAnySubsetAssemblingToItsOwnBytes)
{
    EncodedProgram program;
    BuildProgram(&program);
    const std::string whole = Assembled(program);
    GrowableArray<ProgramSlice> slices;
    ASSERT_TRUE(SliceProgram(program, &slices));
    ASSERT_EQ(4u, slices.Size());
    const size_t lengths[] = {3, 1 + 4 + 2 + 2, 5, 4 + 1};
    const size_t references[] = {0, 2, 0, 1};
    size_t offset = 0;
    for (size_t i = 0; i < slices.Size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(offset, slices[i].outputOffset);
        EXPECT_EQ(lengths[i], slices[i].outputLength);
        EXPECT_EQ(references[i], slices[i].references);
        EXPECT_FALSE(slices[i].fixed);
        offset += lengths[i];
    }
    EXPECT_EQ(whole.size(), offset);
    for (unsigned mask = 0; mask < 16; ++mask) {
        SCOPED_TRACE(mask);
        GrowableArray<uint8_t> keep;
        std::string expected;
        for (size_t i = 0; i < slices.Size(); ++i) {
            keep.Push((mask >> i) & 1);
            if (keep[i])
                expected += whole.substr(slices[i].outputOffset, slices[i].outputLength);
        }
        EncodedProgram kept;
        ASSERT_TRUE(KeepSlices(program, slices, keep, &kept));
        EXPECT_EQ(expected, Assembled(kept));
    }
}

// A generated relocation table lists every absolute reference and lands ahead of what
// follows its marker: the slices it depends on stay, and the ones behind it are marked.
TEST(ProgramSlicesTest, RelocationTablesFixTheSlicesTheyDependOn)
{
    EncodedProgram program;
    BuildProgram(&program);
    program.ops.Push(OpOrigin);
    program.origins.Push(0x4000);
    program.ops.Push(OpPeRelocs);
    program.ops.Push(OpCopy1);
    program.copyBytes.Push('r');
    GrowableArray<ProgramSlice> slices;
    ASSERT_TRUE(SliceProgram(program, &slices));
    ASSERT_EQ(5u, slices.Size());
    const bool fixed[] = {false, false, false, true, true};
    for (size_t i = 0; i < slices.Size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fixed[i], slices[i].fixed);
        EXPECT_EQ(i == 4, slices[i].behindMarker);
    }
    GrowableArray<uint8_t> keepNone;
    keepNone.GrowTo(slices.Size(), 0);
    EncodedProgram kept;
    ASSERT_TRUE(KeepSlices(program, slices, keepNone, &kept));
    const std::string whole = Assembled(program);
    EXPECT_EQ(whole.substr(slices[3].outputOffset), Assembled(kept));
}

TEST(ProgramSlicesTest, InconsistentTablesAreRefused)
{
    const struct {
        const char *name;
        void (*spoil)(EncodedProgram *);
    } cases[] = {
        {"copy count past the copy bytes", [](EncodedProgram *p) { p->copyCounts[2] = 50; }},
        {"copy without a count", [](EncodedProgram *p) { p->copyCounts.Truncate(2); }},
        {"reference without an index", [](EncodedProgram *p) { p->rel32Ix.Truncate(1); }},
        {"absolute reference without an index", [](EncodedProgram *p) { p->abs32Ix.Clear(); }},
        {"origin without an address", [](EncodedProgram *p) { p->origins.Truncate(2); }},
        {"unknown opcode", [](EncodedProgram *p) { p->ops[2] = 9; }},
        {"opcode beyond the ARM range", [](EncodedProgram *p) { p->ops[4] = kArmOpLast + 1; }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EncodedProgram program;
        BuildProgram(&program);
        c.spoil(&program);
        GrowableArray<ProgramSlice> slices;
        EXPECT_FALSE(SliceProgram(program, &slices));
    }
}

} // namespace
