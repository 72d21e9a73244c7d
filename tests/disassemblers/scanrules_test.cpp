// The rules that decide which bytes become references. Patches are made by running the same
// rules over the old file, so a rule applied one byte differently breaks every patch: each
// test pins one rule with the smallest image that shows it.
#include "imagebuilder.h"
#include "readers.h"
#include "roundtrip.h"

#include "vxpatch/armbranch.h"
#include "vxpatch/disassembler_elf32arm.h"
#include "vxpatch/disassembler_elf32x86.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vxtest;
using vxpatch::InsnAbs32;
using vxpatch::InsnRel32;
using vxpatch::InsnRel32Arm;
using vxpatch::ParsedProgram;

constexpr size_t kCodeOffset = 0x400;

// An image of the reader's format whose one code section holds `code` at file offset 0x400;
// `codeRva` receives the RVA of its first byte.
Bytes WrapCode(Reader reader, const Bytes &code, uint32_t *codeRva)
{
    Bytes image;
    const uint32_t size = static_cast<uint32_t>(code.size());
    switch (reader) {
    case Reader::MachO: {
        MachoImage m;
        m.is64 = false;
        m.cputype = 7;
        m.segments = {{0x1000, 0x1000, 0, 0x1000, {{0x1000 + kCodeOffset, size, kCodeOffset}}}};
        image = BuildMacho(m);
        *codeRva = kCodeOffset; // addresses count from the lowest segment
        break;
    }
    case Reader::Elf32X86:
    case Reader::Elf64X64:
    case Reader::Elf32Arm: {
        ElfImage e;
        e.is64 = reader == Reader::Elf64X64;
        e.machine = reader == Reader::Elf32X86 ? 3 : reader == Reader::Elf64X64 ? 62 : 40;
        e.segments = {{1, 0, 0x1000, 0x1000, 0x1000}};
        e.sections = {{1, 0x1000 + kCodeOffset, kCodeOffset, size, 0}};
        image = BuildElf(e);
        *codeRva = 0x1000 + kCodeOffset;
        break;
    }
    case Reader::Win32X86:
    case Reader::Win32X64: {
        PeImage p;
        p.plus = reader == Reader::Win32X64;
        p.sections = {{".text", 0x1000, 0x1000, size, kCodeOffset}};
        image = BuildPe(p);
        *codeRva = 0x1000;
        break;
    }
    }
    std::copy(code.begin(), code.end(), image.begin() + kCodeOffset);
    return image;
}

// A Mach-O reader given x86-64 code: the 64-bit form of WrapCode's Mach-O image.
Bytes WrapMacho64(const Bytes &code, uint32_t *codeRva)
{
    MachoImage m;
    m.segments = {{0x1000, 0x1000, 0, 0x1000, {{0x1000 + kCodeOffset, code.size(), kCodeOffset}}}};
    Bytes image = BuildMacho(m);
    std::copy(code.begin(), code.end(), image.begin() + kCodeOffset);
    *codeRva = kCodeOffset;
    return image;
}

struct Disassembled {
    std::unique_ptr<vxpatch::Disassembler> reader;
    std::unique_ptr<ParsedProgram> program;
    bool ok = false;
};

Disassembled Disassemble(Reader kind, const Bytes &image)
{
    Disassembled d;
    d.reader = MakeReader(kind, image);
    d.program = std::make_unique<ParsedProgram>(d.reader->Type());
    d.ok = d.reader->CheckHeader() && d.reader->Disassemble(d.program.get());
    return d;
}

std::vector<uint32_t> Offsets(const std::vector<uint32_t> &rvas, uint32_t base)
{
    std::vector<uint32_t> offsets;
    for (uint32_t rva : rvas)
        offsets.push_back(rva - base);
    return offsets;
}

struct X86Case {
    const char *name;
    Bytes code;
    std::vector<uint32_t> fields32; // displacement fields found in 32-bit code
    std::vector<uint32_t> fields64; // and in 64-bit code
};

const X86Case kX86Cases[] = {
    {"Call", {0xE8, 0, 0, 0, 0}, {1}, {1}},
    {"CallInLastFourBytes", {0x90, 0x90, 0x90, 0x90, 0xE8, 0, 0, 0}, {}, {}},
    {"CallEndingTheSection", {0x90, 0x90, 0x90, 0xE8, 0, 0, 0, 0}, {4}, {4}},
    {"Jump", {0xE9, 0xFB, 0xFF, 0xFF, 0xFF}, {1}, {1}},
    {"ParityJumpsAreNotBranches", {0x0F, 0x8A, 0, 0, 0, 0, 0x0F, 0x8B, 0, 0, 0, 0, 0x0F, 0x84, 0, 0, 0, 0}, {14}, {14}},
    {"RipRelativeLoad", {0x48, 0x8D, 0x05, 0, 0, 0, 0}, {}, {3}},
    {"RipRelativeLoadRexB", {0x49, 0x8B, 0x05, 0, 0, 0, 0}, {}, {3}},
    {"IndirectCall", {0xFF, 0x15, 0, 0, 0, 0}, {}, {2}},
    {"IndirectJump", {0xFF, 0x25, 0, 0, 0, 0}, {}, {2}},
    {"StackRelativeIsNoCandidate", {0x48, 0x8D, 0x45, 0x10, 0x90, 0x90, 0x90}, {}, {}},
    {"DisplacementIsNotRescanned", {0xE8, 0xE8, 0, 0, 0, 0}, {1}, {1}},
    {"TargetOutsideImage", {0xE8, 0, 0, 0, 0x10}, {}, {}},
};

TEST(X86Scan, EveryReaderFindsTheSameForms)
{
    const Reader readers[] = {Reader::MachO, Reader::Elf32X86, Reader::Elf64X64, Reader::Win32X86, Reader::Win32X64};
    for (const X86Case &c : kX86Cases) {
        for (Reader reader : readers) {
            SCOPED_TRACE(std::string(c.name) + " reader " + std::to_string(static_cast<int>(reader)));
            uint32_t codeRva = 0;
            const Bytes image = WrapCode(reader, c.code, &codeRva);
            Disassembled d = Disassemble(reader, image);
            ASSERT_TRUE(d.ok) << d.reader->FailureMessage();
            const bool x64 = reader == Reader::Elf64X64 || reader == Reader::Win32X64;
            EXPECT_EQ(Offsets(Rel32Positions(*d.program), codeRva), x64 ? c.fields64 : c.fields32);
            const RoundTrip trip = Reassemble(d.program.get(), false);
            ASSERT_EQ(trip.failure, "");
            EXPECT_EQ(trip.assembled, Bytes(image.begin(), image.begin() + d.reader->Length()));
        }
        SCOPED_TRACE(std::string(c.name) + " Mach-O x86-64");
        uint32_t codeRva = 0;
        Disassembled d = Disassemble(Reader::MachO, WrapMacho64(c.code, &codeRva));
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(Offsets(Rel32Positions(*d.program), codeRva), c.fields64);
    }
}

TEST(X86Scan, ElfDataSectionsAreScannedToo)
{
    ElfImage e;
    e.segments = {{1, 0, 0, 0x1000, 0x1000}};
    e.sections = {{1, 0x400, 0x400, 0x10, 0}, {1, 0x800, 0x800, 0x10, 0}};
    Bytes image = BuildElf(e);
    PutBytes(image, 0x800, {0xE8, 0xF0, 0xFF, 0xFF, 0xFF});
    Disassembled d = Disassemble(Reader::Elf32X86, image);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(References(*d.program), (std::vector<Reference>{{InsnRel32, 0x801, 0x7F5}}));
}

TEST(X86Scan, PeBranchesStayInTextButRipRelativeLoadsReachData)
{
    PeImage p;
    p.sections = {{".text", 0x1000, 0x1000, 0x200, 0x400}, {".data", 0x1000, 0x3000, 0x200, 0x600}};
    const uint8_t callData[] = {0xE8, 0xFB, 0x1F, 0, 0};          // 0x1005 + 0x1FFB = 0x3000
    const uint8_t loadData[] = {0x48, 0x8D, 0x05, 0xF9, 0x1F, 0, 0}; // 0x1007 + 0x1FF9 = 0x3000
    for (bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        p.plus = plus;
        Bytes call = BuildPe(p), load = BuildPe(p);
        std::copy(std::begin(callData), std::end(callData), call.begin() + 0x400);
        std::copy(std::begin(loadData), std::end(loadData), load.begin() + 0x400);
        const Reader reader = plus ? Reader::Win32X64 : Reader::Win32X86;
        Disassembled d = Disassemble(reader, call);
        ASSERT_TRUE(d.ok);
        EXPECT_TRUE(Rel32Positions(*d.program).empty());
        d = Disassemble(reader, load);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(Rel32Positions(*d.program), plus ? std::vector<uint32_t>{0x1003} : std::vector<uint32_t>{});
    }
}

TEST(MachoLayout, PageZeroAndLinkEditStayOutsideTheImage)
{
    MachoImage m;
    m.segments = {{0, 0x100000000ull, 0, 0, {}},
                  {0x100000000ull, 0x1000, 0, 0x1000, {{0x100000400ull, 8, 0x400}}},
                  {0x100001000ull, 0x1000, 0x1000, 0x800, {}}};
    m.fileSize = 0x1800;
    Bytes image = BuildMacho(m);
    PutBytes(image, 0x400, {0xE8, 0xFB, 0xFF, 0xFF, 0xFF});
    Disassembled d = Disassemble(Reader::MachO, image);
    ASSERT_TRUE(d.ok) << d.reader->FailureMessage();
    EXPECT_EQ(d.reader->Length(), 0x1000u);
    EXPECT_EQ(References(*d.program), (std::vector<Reference>{{InsnRel32, 0x401, 0x400}}));
}

TEST(MachoLayout, EmptyAndOverlappingCodeSectionsEndTheWalk)
{
    MachoImage m;
    m.segments = {{0x1000, 0x1000, 0, 0x1000,
                   {{0x1400, 0, 0x400}, {0x1400, 0x20, 0x400}, {0x1410, 0x20, 0x410}, {0x1500, 0, 0x500}}}};
    Bytes image = BuildMacho(m);
    Disassembled d = Disassemble(Reader::MachO, image);
    ASSERT_TRUE(d.ok);
    const RoundTrip trip = Reassemble(d.program.get(), false);
    ASSERT_EQ(trip.failure, "");
    EXPECT_EQ(trip.assembled, image);
}

// ARM and Thumb branches as they lie in the image, with where they sit and where they go.
struct ArmCase {
    const char *name;
    Bytes bytes;
    uint32_t rva;
    int type;
    uint32_t target;
};

const ArmCase kArmCases[] = {
    {"ThumbConditional", {0xFE, 0xD1}, 0x1000, 0, 0x1000},
    {"ThumbConditionalForward", {0x7F, 0xD0}, 0x1000, 0, 0x1102},
    {"ThumbBranch", {0xFE, 0xE7}, 0x1000, 1, 0x1000},
    {"ThumbBranchForward", {0xFF, 0xE3}, 0x1000, 1, 0x1802},
    {"ArmBranchAndLink", {0xFE, 0xFF, 0xFF, 0xEB}, 0x1000, 2, 0x1000},
    {"ArmConditionalBranch", {0x10, 0x00, 0x00, 0x1A}, 0x1000, 2, 0x1048},
    {"Thumb2BlWithZeroOffset", {0x00, 0xF0, 0x00, 0xF8}, 0x1000, 3, 0x1004},
    {"Thumb2BlBackward", {0xFF, 0xF7, 0xFE, 0xFF}, 0x2000, 3, 0x2000},
    {"Thumb2BlxFromHalfwordAddress", {0x00, 0xF0, 0x02, 0xE8}, 0x1002, 3, 0x1008},
    {"Thumb2BlxFromWordAddress", {0x00, 0xF0, 0x02, 0xE8}, 0x1004, 3, 0x100C},
    {"Thumb2WideBranch", {0x00, 0xF0, 0x10, 0xB8}, 0x1000, 3, 0x1024},
    {"Thumb2ConditionalWide", {0x40, 0xF0, 0x10, 0x80}, 0x1000, 4, 0x1024},
    {"Thumb2ConditionalBackward", {0x7F, 0xF4, 0xFE, 0xAF}, 0x3000, 4, 0x3000},
};

TEST(ArmBranches, CompressAndRebuildToTheSameInstruction)
{
    for (const ArmCase &c : kArmCases) {
        SCOPED_TRACE(c.name);
        vxpatch::TypedRVAARM branch(c.type, c.rva);
        ASSERT_TRUE(branch.ComputeTarget(c.bytes.data()));
        EXPECT_EQ(branch.CompressedOpcode() >> 12, c.type + 1);
        EXPECT_EQ(branch.OperandSize(), c.bytes.size());
        EXPECT_EQ(c.rva + branch.RelativeTarget(), c.target);
        uint8_t rebuilt[4] = {};
        ASSERT_EQ(vxpatch::RebuildArmBranch(branch.CompressedOpcode(), c.target - c.rva, rebuilt), c.bytes.size());
        EXPECT_EQ(Bytes(rebuilt, rebuilt + c.bytes.size()), c.bytes);
    }
}

TEST(ArmBranches, ThumbBlAtPageStartIsFoundByTheScan)
{
    uint32_t codeRva = 0;
    Bytes image = WrapCode(Reader::Elf32Arm, {0x00, 0xF0, 0x00, 0xF8, 0, 0, 0, 0}, &codeRva);
    Disassembled d = Disassemble(Reader::Elf32Arm, image);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(References(*d.program), (std::vector<Reference>{{InsnRel32Arm, codeRva, codeRva + 4}}));
}

TEST(ArmBranches, ArmBranchOnlyWhereThePhaseFlagHolds)
{
    const Bytes branch = {0xFE, 0xFF, 0xFF, 0xEB};
    Bytes inPhase = branch;
    inPhase.resize(8);
    Bytes outOfPhase = {0x00, 0x00};
    outOfPhase.insert(outOfPhase.end(), branch.begin(), branch.end());
    outOfPhase.resize(8);
    uint32_t codeRva = 0;
    Disassembled d = Disassemble(Reader::Elf32Arm, WrapCode(Reader::Elf32Arm, inPhase, &codeRva));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(Offsets(Rel32Positions(*d.program), codeRva), std::vector<uint32_t>{0});
    d = Disassemble(Reader::Elf32Arm, WrapCode(Reader::Elf32Arm, outOfPhase, &codeRva));
    ASSERT_TRUE(d.ok);
    EXPECT_TRUE(Rel32Positions(*d.program).empty());
}

// An x86 ELF image with a data section of three pointers and a relocation section.
Bytes ElfWithRelocations(const std::vector<std::pair<uint32_t, uint32_t>> &entries)
{
    ElfImage e;
    e.segments = {{1, 0, 0, 0x1000, 0x1000}};
    e.sections = {{1, 0x500, 0x500, 12, 0}, {9, 0x600, 0x600, 8 * entries.size(), 8}};
    Bytes image = BuildElf(e);
    PutLE32(image, 0x500, 0x400);
    PutLE32(image, 0x504, 0x404);
    PutLE32(image, 0x508, 0x408);
    for (size_t i = 0; i < entries.size(); ++i) {
        PutLE32(image, 0x600 + 8 * i, entries[i].first);
        PutLE32(image, 0x604 + 8 * i, entries[i].second);
    }
    return image;
}

TEST(ElfRelocations, OnlyRelativeEntriesWithoutSymbolAreAbsolute)
{
    struct Case {
        const char *name;
        std::vector<std::pair<uint32_t, uint32_t>> entries;
        bool regenerated;
    };
    const Case cases[] = {
        {"SymbolEntryBetween", {{0x500, 8}, {0x504, 0x108}, {0x508, 8}}, false},
        {"SymbolEntryAfter", {{0x500, 8}, {0x508, 8}, {0x504, 0x108}}, true},
        {"OtherTypeFirst", {{0x504, 7}, {0x500, 8}, {0x508, 8}}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes image = ElfWithRelocations(c.entries);
        Disassembled d = Disassemble(Reader::Elf32X86, image);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(References(*d.program),
                  (std::vector<Reference>{{InsnAbs32, 0x500, 0x400}, {InsnAbs32, 0x508, 0x408}}));
        bool marker = false;
        for (const vxpatch::Instruction &insn : d.program->Instructions())
            marker = marker || insn.kind == vxpatch::InsnElfRelocs;
        EXPECT_EQ(marker, c.regenerated);
        const RoundTrip trip = Reassemble(d.program.get(), false);
        ASSERT_EQ(trip.failure, "");
        EXPECT_EQ(trip.assembled, Bytes(image.begin(), image.begin() + d.reader->Length()));
    }
}

TEST(ElfLayout, HeaderAloneIsAnEmptyImage)
{
    ElfImage e;
    e.fileSize = 52;
    Disassembled d = Disassemble(Reader::Elf32X86, BuildElf(e));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.reader->Length(), 0u);
    EXPECT_TRUE(d.program->Instructions().Empty());
}

TEST(ElfLayout, SectionWithoutDataBehindTheWalkDoesNotMoveItBack)
{
    // .text, then a note lying before it, then a string table: the note's bytes were already
    // covered, and covering them again would make the program longer than the image.
    ElfImage e;
    e.segments = {{1, 0, 0, 0x1000, 0x1000}};
    e.sections = {{1, 0x400, 0x400, 0x10, 0}, {7, 0x100, 0x100, 0x10, 0}, {3, 0, 0x800, 0x10, 0}};
    Bytes image = BuildElf(e);
    for (size_t i = 0x100; i < 0x810; ++i)
        image[i] = static_cast<uint8_t>(i * 7);
    Disassembled d = Disassemble(Reader::Elf32X86, image);
    ASSERT_TRUE(d.ok);
    const RoundTrip trip = Reassemble(d.program.get(), false);
    ASSERT_EQ(trip.failure, "");
    EXPECT_EQ(trip.assembled, image);
}

TEST(ElfLayout, SectionWithoutDataPastTheFileEndsTheGapAtTheImage)
{
    ElfImage e;
    e.segments = {{1, 0, 0, 0x1000, 0x2000}};
    e.sections = {{1, 0x400, 0x400, 0x10, 0}, {8, 0x1800, 0x1800, 0x100, 0}};
    const Bytes image = BuildElf(e);
    Disassembled d = Disassemble(Reader::Elf32X86, image);
    ASSERT_TRUE(d.ok);
    const RoundTrip trip = Reassemble(d.program.get(), false);
    ASSERT_EQ(trip.failure, "");
    EXPECT_EQ(trip.assembled, Bytes(image.begin(), image.begin() + d.reader->Length()));
}

TEST(ElfLayout, MalformedSectionsAreRefusedOrSkipped)
{
    struct Case {
        const char *name;
        std::vector<ElfSection> sections;
        bool disassembles;
    };
    const Case cases[] = {
        {"RelocationEntrySizeZero", {{1, 0x400, 0x400, 0x10, 0}, {9, 0x600, 0x600, 0x10, 0}}, true},
        {"RelocationEntryLargerThanSection", {{1, 0x400, 0x400, 0x10, 0}, {9, 0x600, 0x600, 4, 4}}, true},
        {"CodePastTheFile", {{1, 0x400, 0xFF0, 0x20, 0}}, false},
        {"RelocationsPastTheFile", {{9, 0x400, 0xFFC, 0x10, 8}}, false},
        {"CodeAtHugeOffset", {{1, 0x400, 0xFFFFFFF0, 0x20, 0}}, false},
        {"ManyOverlappingCopies", std::vector<ElfSection>(40, ElfSection{1, 0, 0x400, 0x400, 0}), false},
        {"EmptyCodeSection", {{1, 0x400, 0x400, 0, 0}}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ElfImage e;
        e.segments = {{1, 0, 0, 0x1000, 0x1000}};
        e.sections = c.sections;
        Bytes image = BuildElf(e);
        PutLE32(image, 0x600, 0x400);
        PutLE32(image, 0x604, 8);
        Disassembled d = Disassemble(Reader::Elf32X86, image);
        EXPECT_EQ(d.ok, c.disassembles);
    }
}

TEST(ElfLayout, ProgramHeaderFloodIsRefused)
{
    ElfImage e;
    e.segments.assign(1025, ElfSegment{1, 0, 0, 0x10, 0x10});
    e.sections = {{1, 0x8800, 0x8800, 0x10, 0}};
    e.fileSize = 0x9000;
    Disassembled d = Disassemble(Reader::Elf32X86, BuildElf(e));
    EXPECT_FALSE(d.ok);
    e.segments.resize(1024);
    d = Disassemble(Reader::Elf32X86, BuildElf(e));
    EXPECT_TRUE(d.ok);
}

// A PE32 image with .text at 0x1000 (file 0x400) holding the pointer 0x401010 at 0x1004,
// and a relocation table of the given bytes at 0x2000 (file 0x600).
Bytes PeWithRelocations(const Bytes &table, bool plus = false)
{
    PeImage p;
    p.plus = plus;
    p.relocRva = 0x2000;
    p.relocSize = static_cast<uint32_t>(table.size());
    p.sections = {{".text", 0x200, 0x1000, 0x200, 0x400}, {".reloc", 0x200, 0x2000, 0x200, 0x600}};
    Bytes image = BuildPe(p);
    PutLE32(image, 0x404, 0x401010);
    std::copy(table.begin(), table.end(), image.begin() + 0x600);
    return image;
}

TEST(PeRelocations, BlocksNameTheirLocations)
{
    const Bytes image = PeWithRelocations({0x00, 0x10, 0, 0, 12, 0, 0, 0, 0x04, 0x30, 0x00, 0x00});
    Disassembled d = Disassemble(Reader::Win32X86, image);
    ASSERT_TRUE(d.ok) << d.reader->FailureMessage();
    EXPECT_EQ(References(*d.program), (std::vector<Reference>{{InsnAbs32, 0x1004, 0x1010}}));
    const RoundTrip trip = Reassemble(d.program.get(), false);
    ASSERT_EQ(trip.failure, "");
    EXPECT_EQ(trip.assembled, Bytes(image.begin(), image.begin() + d.reader->Length()));
}

TEST(PeRelocations, MalformedTablesAreRefused)
{
    struct Case {
        const char *name;
        Bytes table;
        bool plus;
        const char *message;
    };
    const Case cases[] = {
        {"BlockOfSizeTen", {0x00, 0x10, 0, 0, 10, 0, 0, 0, 0x04, 0x30, 0, 0}, false, "unreasonable relocs block"},
        {"BlockBelowHeaderSize", {0x00, 0x10, 0, 0, 4, 0, 0, 0, 0x04, 0x30, 0, 0}, false, "unreasonable relocs block"},
        {"SixtyFourBitEntryIn32BitImage", {0x00, 0x10, 0, 0, 12, 0, 0, 0, 0x04, 0xA0, 0, 0}, false, "unknown type of reloc"},
        {"ThirtyTwoBitEntryIn64BitImage", {0x00, 0x10, 0, 0, 12, 0, 0, 0, 0x04, 0x30, 0, 0}, true, "unknown type of reloc"},
        {"BlockBeyondFile", {0x00, 0x10, 0, 0, 0, 0x10, 0, 0, 0x04, 0x30, 0, 0}, false, ".relocs block outside image"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Disassembled d = Disassemble(c.plus ? Reader::Win32X64 : Reader::Win32X86, PeWithRelocations(c.table, c.plus));
        EXPECT_FALSE(d.ok);
        EXPECT_STREQ(d.reader->FailureMessage(), c.message);
    }
}

TEST(PeRelocations, TableOutsideEverySectionIsRefused)
{
    PeImage p;
    p.relocRva = 0x8000;
    p.relocSize = 12;
    p.sections = {{".text", 0x200, 0x1000, 0x200, 0x400}};
    Disassembled d = Disassemble(Reader::Win32X86, BuildPe(p));
    EXPECT_FALSE(d.ok);
    EXPECT_STREQ(d.reader->FailureMessage(), ".relocs outside image");
}

TEST(PeRelocations, BranchOverlappingAnAbsoluteAddressIsData)
{
    // E8 at 0x1000 has its field at 0x1001..0x1004, which overlaps the pointer at 0x1004.
    Bytes image = PeWithRelocations({0x00, 0x10, 0, 0, 12, 0, 0, 0, 0x04, 0x30, 0x00, 0x00});
    image[0x400] = 0xE8;
    Disassembled d = Disassemble(Reader::Win32X86, image);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(References(*d.program), (std::vector<Reference>{{InsnAbs32, 0x1004, 0x1010}}));
}

} // namespace
