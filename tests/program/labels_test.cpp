// Label bookkeeping: the map's lookups and order, numbering, the patch maker's index
// filling, and the trimming of rare ARM branch targets.
#include "programtestsupport.h"

#include "vxpatch/labelindexes.h"
#include "vxpatch/trimlabels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace vxpatch;
using vxtest::toVector;

namespace {

std::vector<uint32_t> rvasInOrder(const LabelMap &labels)
{
    std::vector<uint32_t> rvas;
    for (const Label *label : labels)
        rvas.push_back(label->rva);
    return rvas;
}

std::vector<int32_t> indexesInOrder(const LabelMap &labels)
{
    std::vector<int32_t> indexes;
    for (const Label *label : labels)
        indexes.push_back(label->index);
    return indexes;
}

TEST(LabelMap, ManyLabelsKeepTheirAddressesAndComeOutInOrder)
{
    std::mt19937 random(7);
    std::vector<uint32_t> rvas;
    for (int i = 0; i < 50000; ++i)
        rvas.push_back(random() & 0xFFFFFFF0); // aligned, as branch targets are
    LabelMap labels;
    std::vector<Label *> made;
    for (uint32_t rva : rvas)
        made.push_back(labels.FindOrAdd(rva));
    for (size_t i = 0; i < rvas.size(); ++i) {
        ASSERT_EQ(labels.Find(rvas[i]), made[i]);
        ASSERT_EQ(made[i]->rva, rvas[i]);
    }
    std::sort(rvas.begin(), rvas.end());
    rvas.erase(std::unique(rvas.begin(), rvas.end()), rvas.end());
    EXPECT_EQ(labels.Size(), rvas.size());
    EXPECT_EQ(rvasInOrder(labels), rvas);
    EXPECT_EQ(labels.Find(1), nullptr);
}

TEST(LabelMap, RemovedLabelsStayValidButAreNotFound)
{
    LabelMap labels;
    Label *kept = labels.FindOrAdd(0x30);
    Label *removed = labels.FindOrAdd(0x10);
    removed->count = 3;
    labels.RemoveIf([](const Label &label) { return label.count == 3; });
    EXPECT_EQ(labels.Find(0x10), nullptr);
    EXPECT_EQ(labels.Find(0x30), kept);
    EXPECT_EQ(removed->rva, 0x10u);
    EXPECT_EQ(rvasInOrder(labels), std::vector<uint32_t>{0x30});
    EXPECT_NE(labels.FindOrAdd(0x10), removed) << "a new lookup makes a new label";
}

// Removed labels leave marks in the lookup table; labels placed behind a mark must still be
// found, a removed address must not, and growing the table drops the marks.
TEST(LabelMap, LookupsStayExactThroughRemovalsAndLaterGrowth)
{
    LabelMap labels;
    std::vector<Label *> made;
    for (uint32_t i = 0; i < 20000; ++i)
        made.push_back(labels.FindOrAdd(i * 16));
    labels.RemoveIf([](const Label &label) { return (label.rva / 16) % 3 == 0; });
    for (uint32_t i = 0; i < 20000; ++i) {
        const bool removed = i % 3 == 0;
        ASSERT_EQ(labels.Find(i * 16), removed ? nullptr : made[i]) << i;
    }
    // Enough new labels to fill the table past its marks several times over.
    for (uint32_t i = 0; i < 60000; ++i)
        ASSERT_NE(labels.FindOrAdd(0x10000000 + i * 4), nullptr);
    size_t found = 0;
    for (uint32_t i = 0; i < 20000; ++i) {
        if (i % 3 != 0) {
            ASSERT_EQ(labels.Find(i * 16), made[i]) << i;
        }
        found += labels.Find(i * 16) != nullptr;
    }
    EXPECT_EQ(found, 20000u - 6667u);
    EXPECT_EQ(labels.Size(), found + 60000);
    EXPECT_EQ(labels.Find(0x10000000 + 59999 * 4)->rva, 0x10000000u + 59999 * 4);
}

TEST(NumberLabelsInOrder, NumbersEachMapFromZeroInAddressOrder)
{
    ParsedProgram program(EXE_ELF_32_X86);
    for (uint32_t rva : {0x300u, 0x100u, 0x200u})
        program.Rel32LabelAt(rva);
    for (uint32_t rva : {0x20u, 0x10u})
        program.Abs32LabelAt(rva);
    NumberLabelsInOrder(&program);
    EXPECT_EQ(indexesInOrder(program.Rel32Labels()), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(indexesInOrder(program.Abs32Labels()), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(program.Rel32Labels().Find(0x100)->index, 0);
}

TEST(NumberLabelsInOrder, RenumbersLabelsThatAlreadyHaveAnIndex)
{
    ParsedProgram program(EXE_ELF_32_X86);
    program.Rel32LabelAt(0x100)->index = 9;
    program.Rel32LabelAt(0x200);
    NumberLabelsInOrder(&program);
    EXPECT_EQ(indexesInOrder(program.Rel32Labels()), (std::vector<int32_t>{0, 1}));
}

struct FillCase {
    const char *name;
    std::vector<int32_t> before; // indexes of labels at RVAs 0x10, 0x20, ... (-1: none)
    std::vector<int32_t> after;
};

class FillsLabelIndexes : public testing::TestWithParam<FillCase> {};

TEST_P(FillsLabelIndexes, AsTheMakerExpects)
{
    LabelMap labels;
    const std::vector<int32_t> &before = GetParam().before;
    for (size_t i = 0; i < before.size(); ++i)
        labels.FindOrAdd(static_cast<uint32_t>(0x10 * (i + 1)))->index = before[i];
    ASSERT_TRUE(FillLabelIndexes(&labels));
    EXPECT_EQ(indexesInOrder(labels), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FillsLabelIndexes,
    testing::Values(FillCase{"NothingAssigned", {-1, -1, -1}, {0, 1, 2}},
                    FillCase{"ForwardFromTheLowerNeighbour", {0, -1, -1, 5}, {0, 1, 2, 5}},
                    FillCase{"BackwardFromTheUpperNeighbour", {0, -1, 3, 1}, {0, 2, 3, 1}},
                    FillCase{"InfillWithTheLowestFreeIndex", {0, -1, 1}, {0, 2, 1}},
                    FillCase{"InfillKeepsGoingUpward", {1, -1, 0, -1, 2}, {1, 3, 0, 4, 2}},
                    FillCase{"HeldIndexBeyondTheMapSize", {-1, 7}, {0, 7}},
                    FillCase{"EmptyMap", {}, {}}),
    [](const testing::TestParamInfo<FillCase> &info) { return info.param.name; });

TEST(ClearLabelIndexes, LeavesEveryLabelWithoutIndex)
{
    ParsedProgram program(EXE_ELF_32_X86);
    program.Rel32LabelAt(0x10);
    program.Rel32LabelAt(0x20);
    NumberLabelsInOrder(&program);
    ClearLabelIndexes(&program.Rel32Labels());
    EXPECT_EQ(indexesInOrder(program.Rel32Labels()), (std::vector<int32_t>{-1, -1}));
}

// An ARM program with two branch targets: one reached by `rare` branches, one by `common`.
struct ArmProgram {
    uint8_t branch[4] = {0x00, 0xF0, 0x00, 0xF8};
    ParsedProgram program{EXE_ELF_32_ARM};

    ArmProgram(int rare, int common, uint16_t size = 4)
    {
        program.EmitOrigin(0);
        for (int i = 0; i < rare; ++i)
            program.EmitRel32Arm(0x44F7, program.Rel32LabelAt(0x100), branch, size);
        for (int i = 0; i < common; ++i)
            program.EmitRel32Arm(0x44F7, program.Rel32LabelAt(0x200), branch, size);
    }
};

TEST(TrimLabels, ArmTargetsReachedFiveTimesBecomeBytesAndSixTimesStay)
{
    ArmProgram arm(5, 6);
    ASSERT_TRUE(TrimLabels(&arm.program));
    EXPECT_EQ(rvasInOrder(arm.program.Rel32Labels()), std::vector<uint32_t>{0x200});
    NumberLabelsInOrder(&arm.program);
    EncodedProgram encoded;
    ASSERT_EQ(EncodeProgram(arm.program, &encoded), StatusOk);
    std::vector<uint32_t> ops = {OpOrigin, OpCopy};
    ops.insert(ops.end(), 6, 0x44F7);
    EXPECT_EQ(toVector(encoded.ops), ops);
    EXPECT_EQ(toVector(encoded.copyCounts), std::vector<uint32_t>{20});
    EXPECT_EQ(toVector(encoded.rel32Rvas), std::vector<uint32_t>{0x200});
}

TEST(TrimLabels, LeavesOtherProgramsAlone)
{
    for (ExecutableType type : {EXE_WIN_32_X86, EXE_ELF_32_X86, EXE_ELF_64_X64, EXE_MACHO_X64}) {
        ParsedProgram program(type);
        program.EmitRel32(program.Rel32LabelAt(0x100));
        ASSERT_TRUE(TrimLabels(&program));
        EXPECT_EQ(program.Rel32Labels().Size(), 1u);
        EXPECT_EQ(program.Instructions()[0].kind, InsnRel32);
    }
}

TEST(TrimLabels, FailsForABranchWithoutBytes)
{
    ArmProgram arm(1, 0, 0);
    EXPECT_FALSE(TrimLabels(&arm.program));
}

} // namespace
