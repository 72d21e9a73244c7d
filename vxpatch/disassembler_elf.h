// Common reader of ELF images, 32- and 64-bit. Absolute references come from the image's
// own relative-relocation entries; relative references are found by scanning every
// section of program data for the branch forms of the architecture. What differs between
// architectures (machine number, which relocations count, how the relocation section is
// re-emitted, which forms the scan looks for) is left to the subclasses; what differs
// between 32- and 64-bit images is only the width of the structures read.
//
// Patches are made by running exactly this reading over the old image, so the walk keeps
// even its odd rules; only input that would make it read outside the image or work without
// bound is refused.
#pragma once

#include "vxpatch/disassembler.h"
#include "vxpatch/growablearray.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

class DisassemblerElf : public Disassembler {
public:
    bool CheckHeader() override;
    bool Disassemble(ParsedProgram *program) override;

protected:
    struct Section {
        uint32_t type;
        uint64_t addr, offset, size, entsize;
    };

    // One relative reference the scan found. Large images hold millions of them, so they
    // are kept by value, and what an instruction set needs beyond this is read again from
    // the image bytes at `scanOffset`. `fileOffset` is where the walk meets the reference;
    // it differs from `scanOffset` only where section and program headers disagree.
    struct Rel32Candidate {
        uint32_t rva;
        uint32_t relativeTarget;
        uint64_t scanOffset;
        uint64_t fileOffset;
    };

    DisassemblerElf(const uint8_t *start, size_t length, bool is64);

    virtual uint16_t MachineType() const = 0;
    // The RVA a relocation entry makes absolute, when it is one the architecture counts.
    virtual bool RelocationToRva(uint64_t offset, uint64_t info, uint32_t *rva) const = 0;
    virtual bool EmitRelocationSection(const Section &section, ParsedProgram *program) = 0;
    virtual bool ScanSectionForRel32(const Section &section) = 0;
    // How a found reference goes into the program and how many bytes it covers; the x86
    // and x86-64 form unless overridden.
    virtual bool EmitRel32Reference(const Rel32Candidate &rel, uint32_t target, ParsedProgram *program);
    virtual uint16_t Rel32Size(const Rel32Candidate &rel) const;

    // The scan shared by the x86 and x86-64 readers.
    bool ScanX86Section(const Section &section, bool x64);
    bool TargetInLoadedSegment(uint32_t rva) const;
    // Adds a reference at `rva`, read at `scanOffset`, to the list of relative references.
    bool AddRel32(uint32_t rva, uint32_t relativeTarget, uint64_t scanOffset);

    // Entries of a relocation section that lie wholly inside it; 0 for entry size 0.
    size_t RelocationCount(const Section &section) const;
    void ReadRelocation(const Section &section, size_t index, uint64_t *offset, uint64_t *info) const;
    size_t RelocationSize() const { return m_Is64 ? 16 : 8; }
    const GrowableArray<uint32_t> &Abs32Locations() const { return m_Abs32Locations; }
    // Emits the bytes of [from, to) of the image as one literal run; no-op when empty.
    bool EmitFileBytes(ParsedProgram *program, uint64_t from, uint64_t to);

private:
    Section SectionAt(size_t index) const;
    void ProgramHeaderAt(size_t index, uint32_t *type, uint64_t *offset, uint64_t *vaddr,
                         uint64_t *filesz, uint64_t *memsz) const;
    bool RvaToFileOffset(uint32_t rva, uint64_t *offset) const;
    bool SectionsInsideImage() const;
    bool InCodeOrRelocationSection(uint64_t fileOffset) const;

    bool FindAbs32Locations();
    bool FindRel32Locations();
    bool WalkFile(ParsedProgram *program);
    bool WalkSection(const Section &section, uint64_t *position, ParsedProgram *program);
    bool EmitProgBits(const Section &section, ParsedProgram *program);
    void SkipDropped();
    uint64_t NextAbs32Offset();

    const bool m_Is64;
    uint64_t m_SectionTable = 0;
    size_t m_SectionCount = 0;
    uint64_t m_ProgramTable = 0;
    size_t m_ProgramCount = 0;

    GrowableArray<uint32_t> m_Abs32Locations;  // sorted RVAs
    GrowableArray<uint64_t> m_Abs32Offsets;    // their file offsets during the walk
    GrowableArray<Rel32Candidate> m_Rel32Locations; // sorted by RVA, stable
    size_t m_NextAbs32 = 0;
    size_t m_NextRel32 = 0;
    uint64_t m_Emitted = 0;
};

// The 32-bit twin: 52-byte header, 40-byte sections, 32-byte program headers, 8-byte
// relocations.
class DisassemblerElf32 : public DisassemblerElf {
protected:
    DisassemblerElf32(const uint8_t *start, size_t length) : DisassemblerElf(start, length, false) {}
};

// The 64-bit twin: 64-byte header, 64-byte sections, 56-byte program headers, 16-byte
// relocations; RVAs are the low 32 bits of virtual addresses.
class DisassemblerElf64 : public DisassemblerElf {
protected:
    DisassemblerElf64(const uint8_t *start, size_t length) : DisassemblerElf(start, length, true) {}
};

} // namespace vxpatch
