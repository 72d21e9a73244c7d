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
    // One relative reference: where it starts, how far its target lies from there, and how
    // to put it into a program. One subclass per instruction set.
    class TypedRVA {
    public:
        explicit TypedRVA(uint32_t rva) : m_Rva(rva) {}
        virtual ~TypedRVA() = default;
        // Reads the reference at `bytes` (its first byte in the image) and sets the
        // relative target; false when the bytes are no reference after all.
        virtual bool ComputeTarget(const uint8_t *bytes) = 0;
        virtual bool EmitReference(ParsedProgram *program, uint32_t target) = 0;
        virtual uint16_t OperandSize() const = 0;
        // A copy that the disassembler owns; null when out of memory.
        virtual TypedRVA *Clone() const = 0;

        uint32_t Rva() const { return m_Rva; }
        uint32_t RelativeTarget() const { return m_RelativeTarget; }
        uint64_t FileOffset() const { return m_FileOffset; }
        void SetFileOffset(uint64_t offset) { m_FileOffset = offset; }

    protected:
        uint32_t m_Rva;
        uint32_t m_RelativeTarget = 0;
        uint64_t m_FileOffset = 0;
    };

    ~DisassemblerElf() override;

    bool CheckHeader() override;
    bool Disassemble(ParsedProgram *program) override;

protected:
    struct Section {
        uint32_t type;
        uint64_t addr, offset, size, entsize;
    };

    DisassemblerElf(const uint8_t *start, size_t length, bool is64);

    virtual uint16_t MachineType() const = 0;
    // The RVA a relocation entry makes absolute, when it is one the architecture counts.
    virtual bool RelocationToRva(uint64_t offset, uint64_t info, uint32_t *rva) const = 0;
    virtual bool EmitRelocationSection(const Section &section, ParsedProgram *program) = 0;
    virtual bool ScanSectionForRel32(const Section &section) = 0;

    // The scan shared by the x86 and x86-64 readers.
    bool ScanX86Section(const Section &section, bool x64);
    bool TargetInLoadedSegment(uint32_t rva) const;
    // Takes a copy of `candidate` into the list of relative references.
    bool AddRel32(const TypedRVA &candidate);

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
    void ClearRel32Locations();
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
    GrowableArray<TypedRVA *> m_Rel32Locations; // owned, sorted by RVA
    size_t m_NextAbs32 = 0;
    size_t m_NextRel32 = 0;
    uint64_t m_Emitted = 0;
};

} // namespace vxpatch

namespace vxpatch {

// A 4-byte displacement of an x86 or x86-64 branch or RIP-relative operand, from the end
// of its field. The two instruction sets store it alike.
class TypedRVAX86 : public DisassemblerElf::TypedRVA {
public:
    explicit TypedRVAX86(uint32_t rva) : TypedRVA(rva) {}
    bool ComputeTarget(const uint8_t *bytes) override;
    bool EmitReference(ParsedProgram *program, uint32_t target) override;
    uint16_t OperandSize() const override { return 4; }
    TypedRVA *Clone() const override;
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
