// What the container writer chooses on its own: which references keep a label and which
// index each label gets. Whatever it chooses, the stored program must assemble to the very
// bytes the disassembled program did.
#include "vxpatch/armbranch.h"
#include "vxpatch/encodedprogram.h"
#include "vxpatch/labelindexes.h"
#include "vxpatch/labelnumbering.h"
#include "vxpatch/rarereferences.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

using namespace vxpatch;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kRel32 = 0;         // an x86 relative reference
constexpr uint16_t kArmCall = 0x30EB;  // BL
constexpr uint16_t kArmBranchEq = 0x300A; // BEQ
constexpr uint16_t kThumbBranch = 0x201C; // B, 16 bits
constexpr uint16_t kThumb2Call = 0x44F7;  // BL, 32 bits

struct Ref {
    uint16_t op;
    uint32_t target;
    uint32_t gap = 3; // filler bytes before the reference
};

uint32_t sizeOf(uint16_t op)
{
    return op == kRel32 ? 4 : (op & 0xF000) <= 0x2000 ? 2 : 4;
}

// A program of filler bytes and references, with an origin jump and an absolute reference
// halfway so that the RVAs of the later references depend on both. ARM branches point at
// their own instruction bytes, built for the RVA they lie at, as a disassembler's would.
class ProgramBuilder {
public:
    std::unique_ptr<ParsedProgram> Build(ExecutableType kind, const std::vector<Ref> &refs)
    {
        auto program = std::make_unique<ParsedProgram>(kind);
        m_Image.assign(refs.size() * 8, 0);
        uint8_t *image = m_Image.data();
        uint32_t rva = 0x1000;
        EXPECT_TRUE(program->EmitOrigin(rva));
        for (size_t i = 0; i < refs.size(); ++i) {
            if (i == refs.size() / 2) {
                rva = 0x3000;
                EXPECT_TRUE(program->EmitOrigin(rva));
                EXPECT_TRUE(program->EmitAbs32(program->Abs32LabelAt(0x1000)));
                rva += 4;
            }
            for (uint32_t j = 0; j < refs[i].gap; ++j, ++rva)
                EXPECT_TRUE(program->EmitByte(static_cast<uint8_t>(0x90 + j)));
            const Ref &ref = refs[i];
            Label *label = program->Rel32LabelAt(ref.target);
            if (ref.op == kRel32) {
                EXPECT_TRUE(program->EmitRel32(label));
            } else {
                EXPECT_NE(RebuildArmBranch(ref.op, ref.target - rva, image), 0u);
                EXPECT_TRUE(program->EmitRel32Arm(ref.op, label, image, sizeOf(ref.op)));
                image += 4;
            }
            rva += sizeOf(ref.op);
        }
        return program;
    }

private:
    Bytes m_Image;
};

Bytes assemble(const ParsedProgram &program, EncodedProgram *encoded)
{
    ByteSink sink;
    EXPECT_EQ(EncodeProgram(program, encoded), StatusOk);
    EXPECT_EQ(AssembleProgram(*encoded, &sink), StatusOk);
    return Bytes(sink.Data(), sink.Data() + sink.Size());
}

Bytes assembleAsDisassembled(ExecutableType kind, const std::vector<Ref> &refs)
{
    ProgramBuilder builder;
    auto program = builder.Build(kind, refs);
    NumberLabelsInOrder(program.get());
    EncodedProgram encoded;
    return assemble(*program, &encoded);
}

std::set<uint32_t> labelledTargets(const LabelMap &labels)
{
    std::set<uint32_t> targets;
    for (const Label *label : labels)
        targets.insert(label->rva);
    return targets;
}

std::vector<Ref> times(int n, Ref ref)
{
    return std::vector<Ref>(n, ref);
}

std::vector<Ref> join(std::initializer_list<std::vector<Ref>> parts)
{
    std::vector<Ref> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct DropCase {
    const char *name;
    ExecutableType kind;
    std::vector<Ref> refs;
    std::set<uint32_t> labelled;
};

TEST(RareReferences, DroppedReferencesAssembleToTheirOwnBytes)
{
    const DropCase cases[] = {
        {"x86 targets used once, twice and three times, backward and forward", EXE_ELF_32_X86,
         join({times(1, {kRel32, 0x800}), times(2, {kRel32, 0x5000}), times(3, {kRel32, 0x1004}),
               times(3, {kRel32, 0xFFFFFF00})}),
         {0x1004, 0xFFFFFF00}},
        {"x86 program with nothing rare", EXE_WIN_32_X64,
         join({times(4, {kRel32, 0x2000}), times(3, {kRel32, 0x10})}), {0x2000, 0x10}},
        {"ARM calls at word boundaries keep a label, misaligned ones do not count",
         EXE_ELF_32_ARM,
         join({times(3, {kArmCall, 0x8000, 4}), times(3, {kArmCall, 0x9000, 2}),
               times(2, {kArmCall, 0x8000, 4})}),
         {0x8000}},
        {"ARM conditional and Thumb 16-bit branches never count", EXE_ELF_32_ARM,
         join({times(4, {kArmBranchEq, 0x1100, 4}), times(4, {kThumbBranch, 0x1010, 2}),
               times(3, {kThumb2Call, 0x6000, 2})}),
         {0x6000}},
    };
    for (const DropCase &c : cases) {
        SCOPED_TRACE(c.name);
        ProgramBuilder builder;
        auto program = builder.Build(c.kind, c.refs);
        GrowableArray<uint8_t> standIns;
        ASSERT_TRUE(DropRareReferences(program.get(), kRareReferenceLimit, &standIns));
        EXPECT_EQ(labelledTargets(program->Rel32Labels()), c.labelled);
        ASSERT_TRUE(NumberLabelsByUse(&program->Abs32Labels()));
        ASSERT_TRUE(NumberLabelsByUse(&program->Rel32Labels()));
        EncodedProgram encoded;
        EXPECT_EQ(assemble(*program, &encoded), assembleAsDisassembled(c.kind, c.refs));
        EXPECT_EQ(encoded.abs32Ix.Size(), 1u) << "absolute references are never dropped";
    }
}

TEST(RareReferences, ArmBranchWithoutBytesFails)
{
    ParsedProgram program(EXE_ELF_32_ARM);
    ASSERT_TRUE(program.EmitOrigin(0x1000));
    ASSERT_TRUE(program.EmitRel32Arm(kArmBranchEq, program.Rel32LabelAt(0x2000), nullptr, 0));
    GrowableArray<uint8_t> standIns;
    EXPECT_FALSE(DropRareReferences(&program, kRareReferenceLimit, &standIns));
}

TEST(LabelNumbering, MostUsedLabelsTakeTheShortIndexesInAddressOrderPerTier)
{
    // 300 targets in three groups of 100, the later groups used more: the first tier is the
    // last group and the start of the middle one, so both tiers mix distant addresses.
    std::vector<Ref> refs;
    for (uint32_t t = 0; t < 300; ++t)
        for (uint32_t n = 0; n < 3 + t / 100; ++n)
            refs.push_back({kRel32, 0x10000 + t * 16, 1});
    ProgramBuilder builder;
    auto program = builder.Build(EXE_ELF_32_X86, refs);
    ASSERT_TRUE(NumberLabelsByUse(&program->Abs32Labels()));
    ASSERT_TRUE(NumberLabelsByUse(&program->Rel32Labels()));
    int32_t previousIndex = -1;
    for (const Label *label : program->Rel32Labels()) {
        const uint32_t t = (label->rva - 0x10000) / 16;
        // The 100 most used and the first 28 of the next group fill the one-byte indexes.
        const bool mostUsed = t >= 200 || (t >= 100 && t < 128);
        EXPECT_EQ(label->index < static_cast<int32_t>(kOneByteIndexes), mostUsed) << t;
        if (t != 100 && t != 200) {
            EXPECT_GT(label->index, previousIndex) << "address order within a tier, at " << t;
        }
        previousIndex = label->index;
    }
    EncodedProgram encoded;
    EXPECT_EQ(assemble(*program, &encoded), assembleAsDisassembled(EXE_ELF_32_X86, refs));
    EXPECT_EQ(encoded.rel32Rvas.Size(), 300u);
    EXPECT_EQ(encoded.rel32Rvas[0], 0x10000u + 100 * 16);
}

} // namespace
