// Reader of thin little-endian Mach-O images (32-bit x86 and x86-64). Mach-O carries no
// relocation table the engine could regenerate, so the program holds no absolute
// references: relative ones are found by scanning the code sections for branch and
// RIP-relative forms. It is the last reader detection tries, and a universal file must be
// split into its slices before it gets here.
#pragma once

#include "vxpatch/disassembler.h"
#include "vxpatch/growablearray.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

class DisassemblerMacho : public Disassembler {
public:
    DisassemblerMacho(const uint8_t *start, size_t length);

    ExecutableType Type() const override { return m_Kind; }
    bool CheckHeader() override;
    bool Disassemble(ParsedProgram *program) override;

private:
    struct Segment {
        uint64_t vmaddr; // relative to the lowest segment address once the header is checked
        uint32_t vmsize;
        uint32_t fileoff;
        uint32_t filesize;
    };
    struct Section {
        uint64_t addr; // rebased like Segment::vmaddr
        uint32_t size;
        uint32_t offset;
        uint32_t order; // position in the load commands, to keep equal offsets in that order
    };
    struct SegmentFields {
        uint64_t vmaddr, vmsize, fileoff, filesize;
        uint32_t nsects;
    };

    bool ReadLoadCommands(size_t headerSize, uint32_t count);
    bool ReadSegment(const uint8_t *command, uint32_t commandSize, bool is64);
    bool ReadSections(const uint8_t *first, uint32_t count, bool is64, const Segment &segment);
    bool Rebase();

    // The segment whose file range holds `fileOffset`, or null.
    const Segment *SegmentAtFileOffset(uint32_t fileOffset) const;
    uint32_t FileOffsetToRva(const Segment *segment, uint32_t fileOffset, uint32_t sectionStart) const;
    bool TargetInSegment(uint32_t rva) const;
    bool ScanSection(const Section &section);
    bool EmitSection(const Section &section, ParsedProgram *program, size_t *nextLocation) const;

    ExecutableType m_Kind = EXE_UNKNOWN;
    GrowableArray<Segment> m_Segments;
    GrowableArray<Section> m_Sections; // code sections, in file order after the header check
    GrowableArray<uint32_t> m_Rel32Locations;
    uint32_t m_ImageEnd = 0;
};

} // namespace vxpatch
