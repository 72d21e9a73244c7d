// Assembly rebuilds image bytes from the tables, including relocation tables, and must
// refuse every inconsistent table set: the tables come from decompressed, patched data.
#include "programtestsupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vxpatch;
using vxtest::bytesOf;
using vxtest::fill;

namespace {

using Bytes = std::vector<uint8_t>;

// Copies `n` filler bytes (0xAA) so that the following field lands at the wanted RVA.
void pad(EncodedProgram &p, uint32_t n)
{
    p.ops.Push(OpCopy);
    p.copyCounts.Push(n);
    for (uint32_t i = 0; i < n; ++i)
        p.copyBytes.Push(0xAA);
}

Bytes padding(size_t n)
{
    return Bytes(n, 0xAA);
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Absolute references at `locations` (each an origin, then OpAbs32 of address 0x1000).
void abs32At(EncodedProgram &p, std::initializer_list<uint32_t> locations)
{
    fill(&p.abs32Rvas, {0x1000u});
    for (uint32_t location : locations) {
        p.ops.Push(OpOrigin);
        p.origins.Push(location);
        p.ops.Push(OpAbs32);
        p.abs32Ix.Push(0);
    }
}

const Bytes kAddress = {0x00, 0x10, 0x00, 0x00};

struct AssembleCase {
    const char *name;
    std::function<void(EncodedProgram &)> build;
    Bytes expected;
};

class Assembles : public testing::TestWithParam<AssembleCase> {};

// Every case runs twice: over the tables in memory and over the same program as stored.
TEST_P(Assembles, TheExpectedBytes)
{
    EncodedProgram program;
    GetParam().build(program);
    ByteSink out, outStored;
    out.WriteBytes("\x55", 1); // assembly appends to what the sink holds
    outStored.WriteBytes("\x55", 1);
    ASSERT_EQ(AssembleProgram(program, &out), StatusOk);
    ASSERT_EQ(vxtest::assembleStored(program, &outStored), StatusOk);
    EXPECT_EQ(bytesOf(out), concat({{0x55}, GetParam().expected}));
    EXPECT_EQ(bytesOf(outStored), bytesOf(out));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Assembles,
    testing::Values(
        AssembleCase{"Copies", [](EncodedProgram &p) {
                         fill(&p.ops, {uint32_t(OpCopy1), uint32_t(OpCopy)});
                         fill(&p.copyCounts, {2u});
                         fill<uint8_t>(&p.copyBytes, {1, 2, 3});
                     },
                     {1, 2, 3}},
        AssembleCase{"Rel32BackwardsFromTheEndOfTheField",
                     [](EncodedProgram &p) {
                         fill(&p.ops, {uint32_t(OpOrigin), uint32_t(OpRel32)});
                         fill(&p.origins, {0x2000u});
                         fill(&p.rel32Rvas, {0x1000u});
                         fill(&p.rel32Ix, {0u});
                     },
                     {0xFC, 0xEF, 0xFF, 0xFF}},
        AssembleCase{"Rel32AfterCopiesCountsTheirBytes",
                     [](EncodedProgram &p) {
                         pad(p, 3);
                         p.ops.Push(OpRel32);
                         fill(&p.rel32Rvas, {0x0u, 0x10u});
                         fill(&p.rel32Ix, {1u});
                     },
                     concat({padding(3), {0x09, 0, 0, 0}})},
        AssembleCase{"Abs32AddsTheLowHalfOfTheImageBase",
                     [](EncodedProgram &p) {
                         p.imageBase = 0x0000000100400000ull;
                         fill(&p.ops, {uint32_t(OpAbs32)});
                         fill(&p.abs32Rvas, {0x1234u});
                         fill(&p.abs32Ix, {0u});
                     },
                     {0x34, 0x12, 0x40, 0x00}},
        AssembleCase{"ArmBranch", [](EncodedProgram &p) {
                         fill(&p.ops, {uint32_t(OpOrigin), 0x44F7u});
                         fill(&p.origins, {0x1000u});
                         fill(&p.rel32Rvas, {0x1004u});
                         fill(&p.rel32Ix, {0u});
                     },
                     {0x00, 0xF0, 0x00, 0xF8}},
        AssembleCase{"EmptyCopyWithoutAnyCopyBytes",
                     [](EncodedProgram &p) {
                         fill(&p.ops, {uint32_t(OpElfRelocs), uint32_t(OpCopy)});
                         fill(&p.copyCounts, {0u});
                     },
                     {}},
        AssembleCase{"LeftoverOriginsAreAllowed", [](EncodedProgram &p) {
                         fill(&p.ops, {uint32_t(OpOrigin), uint32_t(OpCopy1)});
                         fill(&p.origins, {1u, 2u, 3u});
                         fill<uint8_t>(&p.copyBytes, {9});
                     },
                     {9}},
        // Page 0x1000, size 12, entries 0x3004 and 0x3008.
        AssembleCase{"PeTableWithTwoLocationsInOnePage",
                     [](EncodedProgram &p) {
                         p.ops.Push(OpPeRelocs);
                         abs32At(p, {0x1008, 0x1004});
                     },
                     concat({{0x00, 0x10, 0, 0, 12, 0, 0, 0, 0x04, 0x30, 0x08, 0x30}, kAddress,
                             kAddress})},
        AssembleCase{"PeTableWithAnOddCountIsPadded",
                     [](EncodedProgram &p) {
                         p.ops.Push(OpPeRelocs);
                         abs32At(p, {0x1004, 0x1008, 0x1ffc});
                     },
                     concat({{0x00, 0x10, 0, 0, 16, 0, 0, 0, 0x04, 0x30, 0x08, 0x30, 0xFC, 0x3F,
                              0, 0},
                             kAddress, kAddress, kAddress})},
        AssembleCase{"PeTableBlocksPerPageWithoutEmptyPages",
                     [](EncodedProgram &p) {
                         p.ops.Push(OpPe64Relocs);
                         abs32At(p, {0x3010, 0x1000});
                     },
                     concat({{0x00, 0x10, 0, 0, 12, 0, 0, 0, 0x00, 0xA0, 0, 0},
                             {0x00, 0x30, 0, 0, 12, 0, 0, 0, 0x10, 0xA0, 0, 0}, kAddress,
                             kAddress})},
        AssembleCase{"PeTableGoesWhereTheMarkerIs",
                     [](EncodedProgram &p) {
                         p.ops.Push(OpCopy1);
                         p.copyBytes.Push(0x77);
                         p.ops.Push(OpPeRelocs);
                         abs32At(p, {0x2000});
                     },
                     concat({{0x77}, {0x00, 0x20, 0, 0, 12, 0, 0, 0, 0x00, 0x30, 0, 0}, kAddress})},
        AssembleCase{"PeTableWithoutLocationsIsEmpty",
                     [](EncodedProgram &p) {
                         fill(&p.ops, {uint32_t(OpPeRelocs), uint32_t(OpCopy1)});
                         fill<uint8_t>(&p.copyBytes, {5});
                     },
                     {5}},
        AssembleCase{"ElfTableSortedWithType8",
                     [](EncodedProgram &p) {
                         p.ops.Push(OpElfRelocs);
                         abs32At(p, {0x2000, 0x1000});
                     },
                     concat({{0x00, 0x10, 0, 0, 8, 0, 0, 0, 0x00, 0x20, 0, 0, 8, 0, 0, 0},
                             kAddress, kAddress})},
        AssembleCase{"ElfArmTableHasType23",
                     [](EncodedProgram &p) {
                         p.ops.Push(OpElfArmRelocs);
                         abs32At(p, {0x1000});
                     },
                     concat({{0x00, 0x10, 0, 0, 23, 0, 0, 0}, kAddress})},
        // With both markers the PE table comes first, then the ELF table after everything.
        AssembleCase{"PeAndElfTables",
                     [](EncodedProgram &p) {
                         fill(&p.ops, {uint32_t(OpPeRelocs), uint32_t(OpCopy1),
                                       uint32_t(OpElfRelocs), uint32_t(OpCopy1)});
                         fill<uint8_t>(&p.copyBytes, {1, 2});
                     },
                     {1, 2}}),
    [](const testing::TestParamInfo<AssembleCase> &info) { return info.param.name; });

struct FailureCase {
    const char *name;
    std::function<void(EncodedProgram &)> build;
};

class AssemblyFails : public testing::TestWithParam<FailureCase> {};

TEST_P(AssemblyFails, WithAssemblyFailed)
{
    EncodedProgram program;
    GetParam().build(program);
    ByteSink out, outStored;
    EXPECT_EQ(AssembleProgram(program, &out), StatusAssemblyFailed);
    EXPECT_EQ(vxtest::assembleStored(program, &outStored), StatusAssemblyFailed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AssemblyFails,
    testing::Values(
        FailureCase{"OneCopyByteTooMany",
                    [](EncodedProgram &p) {
                        fill(&p.ops, {uint32_t(OpCopy)});
                        fill(&p.copyCounts, {2u});
                        fill<uint8_t>(&p.copyBytes, {1, 2, 3});
                    }},
        FailureCase{"CopyCountBeyondTheBytes",
                    [](EncodedProgram &p) {
                        fill(&p.ops, {uint32_t(OpCopy)});
                        fill(&p.copyCounts, {4u});
                        fill<uint8_t>(&p.copyBytes, {1, 2, 3});
                    }},
        FailureCase{"NoCopyCountLeft", [](EncodedProgram &p) { fill(&p.ops, {uint32_t(OpCopy)}); }},
        FailureCase{"NoOriginLeft", [](EncodedProgram &p) { fill(&p.ops, {uint32_t(OpOrigin)}); }},
        FailureCase{"CopyCountLeftOver", [](EncodedProgram &p) { fill(&p.copyCounts, {0u}); }},
        FailureCase{"Rel32IndexBeyondTheTable",
                    [](EncodedProgram &p) {
                        fill(&p.ops, {uint32_t(OpRel32)});
                        fill(&p.rel32Rvas, {0u});
                        fill(&p.rel32Ix, {1u});
                    }},
        FailureCase{"Rel32IndexLeftOver",
                    [](EncodedProgram &p) {
                        fill(&p.rel32Rvas, {0u});
                        fill(&p.rel32Ix, {0u});
                    }},
        FailureCase{"Abs32IndexBeyondTheTable",
                    [](EncodedProgram &p) {
                        fill(&p.ops, {uint32_t(OpAbs32)});
                        fill(&p.abs32Ix, {0u});
                    }},
        FailureCase{"Abs32IndexLeftOver",
                    [](EncodedProgram &p) {
                        fill(&p.abs32Rvas, {0u});
                        fill(&p.abs32Ix, {0u});
                    }},
        FailureCase{"ArmBranchWithoutIndex", [](EncodedProgram &p) { fill(&p.ops, {0x3000u}); }},
        FailureCase{"UnknownOpcode", [](EncodedProgram &p) { fill(&p.ops, {9u}); }},
        FailureCase{"OpcodeAboveTheArmRange",
                    [](EncodedProgram &p) {
                        fill(&p.ops, {0x6000u});
                        fill(&p.rel32Rvas, {0u});
                        fill(&p.rel32Ix, {0u});
                    }},
        FailureCase{"SecondPeMarker",
                    [](EncodedProgram &p) { fill(&p.ops, {uint32_t(OpPeRelocs), uint32_t(OpPe64Relocs)}); }},
        FailureCase{"SecondElfMarker",
                    [](EncodedProgram &p) {
                        fill(&p.ops, {uint32_t(OpElfArmRelocs), uint32_t(OpElfRelocs)});
                    }},
        // Only repeated locations can put more than 4096 into one page; the block would
        // overflow its page, so the table is refused.
        FailureCase{"PePageWithMoreThan4096Locations",
                    [](EncodedProgram &p) {
                        p.ops.Push(OpPeRelocs);
                        fill(&p.abs32Rvas, {0u});
                        for (int i = 0; i < 4097; ++i) {
                            p.ops.Push(OpOrigin);
                            p.origins.Push(0x1000);
                            p.ops.Push(OpAbs32);
                            p.abs32Ix.Push(0);
                        }
                    }}),
    [](const testing::TestParamInfo<FailureCase> &info) { return info.param.name; });

TEST(AssembleProgram, PePageWithExactly4096LocationsIsOneBlock)
{
    EncodedProgram p;
    p.ops.Push(OpPeRelocs);
    fill(&p.abs32Rvas, {0u});
    for (uint32_t i = 0; i < 4096; ++i) {
        p.ops.Push(OpOrigin);
        p.origins.Push(0x1000 + i);
        p.ops.Push(OpAbs32);
        p.abs32Ix.Push(0);
    }
    ByteSink out;
    ASSERT_EQ(AssembleProgram(p, &out), StatusOk);
    const Bytes bytes = bytesOf(out);
    ASSERT_EQ(bytes.size(), 8 + 2 * 4096 + 4 * 4096u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 8),
              (Bytes{0x00, 0x10, 0, 0, 0x08, 0x20, 0, 0}));
    EXPECT_EQ(bytes[8 + 2 * 4095], 0xFF);
    EXPECT_EQ(bytes[9 + 2 * 4095], 0x3F);
}

} // namespace
