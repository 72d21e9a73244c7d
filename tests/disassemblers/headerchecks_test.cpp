// Every reason a reader gives for refusing an image, one row per rule, each row bending one
// field of an otherwise acceptable image. Detection depends on these refusals: a reader
// that accepts the wrong bytes takes them away from the readers after it.
#include "imagebuilder.h"
#include "readers.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using namespace vxtest;

struct HeaderCase {
    const char *name;
    Reader reader;
    std::function<Bytes()> image;
    const char *message; // null: the header check passes
};

MachoImage GoodMacho(bool is64)
{
    MachoImage image;
    image.is64 = is64;
    image.cputype = is64 ? 0x01000007 : 7;
    image.segments = {{0x1000, 0x1000, 0, 0x1000, {{0x1400, 0x40, 0x400}}}};
    return image;
}

ElfImage GoodElf(bool is64, uint16_t machine)
{
    ElfImage image;
    image.is64 = is64;
    image.machine = machine;
    image.segments = {{1, 0, 0, 0x1000, 0x1000}};
    image.sections = {{1, 0x400, 0x400, 0x40, 0}};
    return image;
}

PeImage GoodPe(bool plus)
{
    PeImage image;
    image.plus = plus;
    image.sections = {{".text", 0x1000, 0x1000, 0x200, 0x400}};
    return image;
}

Bytes Patched(Bytes bytes, size_t offset, uint32_t value, int width = 4)
{
    if (width == 2)
        PutLE16(bytes, offset, static_cast<uint16_t>(value));
    else
        PutLE32(bytes, offset, value);
    return bytes;
}

const size_t kOpt = PeOptionalHeaderOffset();

const HeaderCase kCases[] = {
    // Mach-O
    {"MachoGood64", Reader::MachO, [] { return BuildMacho(GoodMacho(true)); }, nullptr},
    {"MachoGood32", Reader::MachO, [] { return BuildMacho(GoodMacho(false)); }, nullptr},
    {"MachoTooSmall", Reader::MachO, [] { return Bytes(31); }, "Too small"},
    {"MachoBigEndianMagic", Reader::MachO, [] { return Patched(BuildMacho(GoodMacho(false)), 0, 0xCEFAEDFE); }, "Unknown magic type"},
    {"Macho64WithX86Cpu", Reader::MachO, [] { return Patched(BuildMacho(GoodMacho(true)), 4, 7); }, "unsupported cpu type"},
    {"MachoObjectFile", Reader::MachO, [] { return Patched(BuildMacho(GoodMacho(true)), 12, 1); }, "Unsupported filetype in header"},
    {"MachoNoCommands", Reader::MachO, [] { Bytes b(32); PutLE32(b, 0, 0xFEEDFACE); PutLE32(b, 4, 7); PutLE32(b, 12, 2); return b; },
     "Resource-only executables are not yet supported"},
    {"MachoCommandHeadPastEnd", Reader::MachO, [] { Bytes b(36); PutLE32(b, 0, 0xFEEDFACF); PutLE32(b, 4, 0x01000007); PutLE32(b, 12, 2); PutLE32(b, 16, 1); return b; },
     "file to small in load commands"},
    {"MachoCommandPastEnd", Reader::MachO, [] { return Patched(BuildMacho(GoodMacho(true)), 32 + 4, 0x2000); }, "file to small in load commands"},
    {"MachoCommandSizeZero", Reader::MachO, [] { return Patched(BuildMacho(GoodMacho(true)), 32 + 4, 0); }, "load command too small"},
    {"Macho32WithSegment64", Reader::MachO, [] { MachoImage i = GoodMacho(false); return Patched(BuildMacho(i), 28, 25); }, "LC_SEGMENT_64 not supported"},
    {"Macho64WithSegment32", Reader::MachO, [] { return Patched(BuildMacho(GoodMacho(true)), 32, 1); }, "LC_SEGMENT not supported"},
    {"MachoShortSegment", Reader::MachO, [] { return Patched(BuildMacho(GoodMacho(false)), 28 + 4, 55); }, "bad LC_SEGMENT"},
    {"MachoShortSegment64", Reader::MachO, [] { return Patched(BuildMacho(GoodMacho(true)), 32 + 4, 71); }, "bad LC_SEGMENT_64"},
    {"MachoSegmentPastEnd", Reader::MachO, [] { MachoImage i = GoodMacho(true); i.segments[0].filesize = 0x1001; return BuildMacho(i); }, "segment too large"},
    {"MachoWrappedSegmentEnd", Reader::MachO, [] { MachoImage i = GoodMacho(true); i.segments[0].fileoff = 0xFFFFFFFF; i.segments[0].filesize = 2; return BuildMacho(i); }, "segment too large"},
    {"MachoHugeSegment64", Reader::MachO, [] { MachoImage i = GoodMacho(true); i.segments[0].vmsize = 1ull << 32; return BuildMacho(i); }, "overflow"},
    {"MachoRebasedOverflow", Reader::MachO, [] { MachoImage i = GoodMacho(true); i.segments.push_back({0x100000000ull, 0x1000, 0, 0, {{0x100000000ull, 0, 0}}}); return BuildMacho(i); }, "overflow"},
    {"MachoSectionsTooSmall", Reader::MachO, [] { return Patched(BuildMacho(GoodMacho(true)), 32 + 64, 2); }, "sections too small"},
    {"MachoSectionBelowSegment", Reader::MachO, [] { MachoImage i = GoodMacho(true); i.segments[0].sections[0].addr = 0xF00; return BuildMacho(i); }, "section larger than segment"},
    {"MachoSectionBeyondSegment", Reader::MachO, [] { MachoImage i = GoodMacho(true); i.segments[0].sections[0].size = 0xC01; return BuildMacho(i); }, "section larger than segment"},
    {"MachoSectionPastFile", Reader::MachO, [] { MachoImage i = GoodMacho(true); i.segments[0].sections[0].offset = 0xFF0; return BuildMacho(i); }, "section outside file"},
    {"MachoTooManySegments", Reader::MachO, [] { MachoImage i = GoodMacho(false); i.segments.assign(1025, {0x1000, 0x10, 0, 0x10, {}}); i.fileSize = 0x10000; return BuildMacho(i); },
     "too many segments"},
    {"MachoOnlyDataSections", Reader::MachO, [] { MachoImage i = GoodMacho(true); i.segments[0].sections[0].flags = 0; return BuildMacho(i); },
     "Resource-only executables are not yet supported"},

    // ELF
    {"ElfGood32", Reader::Elf32X86, [] { return BuildElf(GoodElf(false, 3)); }, nullptr},
    {"ElfGood64", Reader::Elf64X64, [] { return BuildElf(GoodElf(true, 62)); }, nullptr},
    {"ElfGoodArm", Reader::Elf32Arm, [] { return BuildElf(GoodElf(false, 40)); }, nullptr},
    {"ElfSharedObject", Reader::Elf32X86, [] { ElfImage i = GoodElf(false, 3); i.type = 3; return BuildElf(i); }, nullptr},
    {"ElfTooSmall", Reader::Elf32X86, [] { Bytes b = BuildElf(GoodElf(false, 3)); b.resize(51); return b; }, "Too small"},
    {"Elf64TooSmall", Reader::Elf64X64, [] { Bytes b = BuildElf(GoodElf(true, 62)); b.resize(63); return b; }, "Too small"},
    {"ElfNoMagic", Reader::Elf32X86, [] { return Patched(BuildElf(GoodElf(false, 3)), 0, 0x464C457E); }, "No Magic Number"},
    {"ElfRelocatable", Reader::Elf32X86, [] { ElfImage i = GoodElf(false, 3); i.type = 1; return BuildElf(i); }, "Not an executable file or shared library"},
    {"ElfArmToX86", Reader::Elf32X86, [] { return BuildElf(GoodElf(false, 40)); }, "Not a supported architecture"},
    {"ElfVersion", Reader::Elf32X86, [] { return Patched(BuildElf(GoodElf(false, 3)), 20, 2); }, "Unknown file version"},
    {"ElfSectionEntrySize", Reader::Elf64X64, [] { return Patched(BuildElf(GoodElf(true, 62)), 58, 40, 2); }, "Unexpected section header size"},
    {"ElfSectionTableOffset", Reader::Elf32X86, [] { return Patched(BuildElf(GoodElf(false, 3)), 32, 0x1000); }, "Out of bounds section header table offset"},
    {"ElfSectionTablePastEnd", Reader::Elf32X86, [] { return Patched(BuildElf(GoodElf(false, 3)), 48, 200, 2); }, "Out of bounds section header table"},
    {"ElfProgramTableOffset", Reader::Elf64X64, [] { Bytes b = BuildElf(GoodElf(true, 62)); PutLE64(b, 32, 0x1000); return b; }, "Out of bounds program header table offset"},
    {"ElfProgramTablePastEnd", Reader::Elf32X86, [] { return Patched(BuildElf(GoodElf(false, 3)), 44, 200, 2); }, "Out of bounds program header table"},

    // PE
    {"PeGood32", Reader::Win32X86, [] { return BuildPe(GoodPe(false)); }, nullptr},
    {"PeGood64", Reader::Win32X64, [] { return BuildPe(GoodPe(true)); }, nullptr},
    {"PeTooSmall", Reader::Win32X86, [] { Bytes b = BuildPe(GoodPe(false)); b.resize(63); return b; }, "Too small"},
    {"PeNotMz", Reader::Win32X86, [] { return Patched(BuildPe(GoodPe(false)), 0, 'Z' | ('M' << 8), 2); }, "Not MZ"},
    {"PeOffsetZero", Reader::Win32X86, [] { return Patched(BuildPe(GoodPe(false)), 60, 0); }, "Bad offset to PE header"},
    {"PeOffsetPastEnd", Reader::Win32X86, [] { return Patched(BuildPe(GoodPe(false)), 60, 0x1000); }, "Bad offset to PE header"},
    {"PeOffsetNearEnd", Reader::Win32X86, [] { return Patched(BuildPe(GoodPe(false)), 60, 0x1000 - 24); }, "Bad offset to PE header"},
    {"PeMisaligned", Reader::Win32X86, [] { return Patched(BuildPe(GoodPe(false)), 60, 0x41); }, "Misaligned PE header"},
    {"PeNoSignature", Reader::Win32X86, [] { return Patched(BuildPe(GoodPe(false)), kPeHeader, 0x4E45); }, "no PE signature"},
    {"PeOptionalPastEnd", Reader::Win32X86, [] { return Patched(BuildPe(GoodPe(false)), kPeHeader + 20, 0x1000 - kOpt, 2); }, "optional header past end of file"},
    {"PeOptionalNoMagic", Reader::Win32X86, [] { return Patched(BuildPe(GoodPe(false)), kPeHeader + 20, 1, 2); }, "optional header no magic"},
    {"PeUnknownMagic", Reader::Win32X86, [] { return Patched(BuildPe(GoodPe(false)), kOpt, 0x107, 2); }, "unrecognized magic"},
    {"PeOptionalTooShort", Reader::Win32X64, [] { return Patched(BuildPe(GoodPe(true)), kPeHeader + 20, 100, 2); }, "optional header too short"},
    {"PeDirectoryBeyondHeader", Reader::Win32X86, [] { return Patched(BuildPe(GoodPe(false)), kPeHeader + 20, 96 + 8 * 5, 2); }, "malformed data directory"},
    {"PeDirectoryTooBig", Reader::Win32X86, [] { PeImage i = GoodPe(false); i.relocSize = 0x10001; return BuildPe(i); }, "malformed data directory"},
    {"Pe64ToX86", Reader::Win32X86, [] { return BuildPe(GoodPe(true)); }, "64 bit executables are not supported by this disassembler"},
    {"Pe32ToX64", Reader::Win32X64, [] { return BuildPe(GoodPe(false)); }, "32 bit executables are not supported by this disassembler"},
    {"PeOnlyData", Reader::Win32X86, [] { PeImage i = GoodPe(false); i.sections[0].name = ".data"; return BuildPe(i); },
     "Resource-only executables are not yet supported"},
    {"PeTextPrefixOnly", Reader::Win32X86, [] { PeImage i = GoodPe(false); i.sections[0].name = ".textbss"; return BuildPe(i); },
     "Resource-only executables are not yet supported"},
    {"PeSectionTablePastEnd", Reader::Win32X86, [] { return Patched(BuildPe(GoodPe(false)), kPeHeader + 6, 100, 2); }, "section table past end of file"},
    {"PeSectionPastEnd", Reader::Win32X86, [] { PeImage i = GoodPe(false); i.sections[0].rawOffset = 0xF00; return BuildPe(i); }, "section outside image"},
};

class HeaderCheck : public testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderCheck, RefusesWithItsReason)
{
    const HeaderCase &c = GetParam();
    const Bytes bytes = c.image();
    auto reader = MakeReader(c.reader, bytes);
    ASSERT_STREQ(reader->FailureMessage(), "uninitialized");
    EXPECT_EQ(reader->CheckHeader(), c.message == nullptr);
    if (c.message)
        EXPECT_STREQ(reader->FailureMessage(), c.message);
    else
        EXPECT_EQ(reader->FailureMessage(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Readers, HeaderCheck, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<HeaderCase> &info) { return std::string(info.param.name); });

} // namespace
