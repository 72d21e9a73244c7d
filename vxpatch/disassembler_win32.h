// Common reader of PE images, 32-bit (PE32) and 64-bit (PE32+). Absolute references come
// from the base relocation table, which assembly regenerates; relative references are found
// by scanning the .text section. The two image kinds differ only in the header layout, the
// relocation entry type and the RIP-relative forms of 64-bit code.
#pragma once

#include "vxpatch/disassembler.h"
#include "vxpatch/growablearray.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

class DisassemblerWin32 : public Disassembler {
public:
    bool CheckHeader() override;
    bool Disassemble(ParsedProgram *program) override;

protected:
    DisassemblerWin32(const uint8_t *start, size_t length, bool x64);

private:
    struct Section {
        uint32_t virtualSize, virtualAddress, rawSize, rawOffset;
        uint32_t index; // in the section table, to order sections that share an offset
    };

    bool CheckOptionalHeader(size_t optionalHeader, size_t optionalSize);
    bool CheckDataDirectories(size_t optionalHeader, size_t optionalSize, size_t directories);
    bool ReadSectionTable(size_t table, size_t count);

    uint32_t FileOffsetToRva(uint32_t offset) const;
    bool RvaToFileOffset(uint32_t rva, uint32_t *offset) const;

    bool ParseRelocations();
    bool ParseRelocationBlock(size_t block, size_t size);
    bool FindRel32Locations();
    bool EmitSection(const Section &section, ParsedProgram *program, uint64_t *position);

    const bool m_X64;
    bool m_IsPe32Plus = false;
    uint64_t m_ImageBase = 0;
    uint32_t m_SizeOfImage = 0;
    uint32_t m_RelocRva = 0;
    uint32_t m_RelocSize = 0;
    GrowableArray<Section> m_Sections;       // in table order
    GrowableArray<Section> m_FileOrder;      // sections with raw data, by raw offset
    bool m_HasText = false;
    Section m_Text = {};
    GrowableArray<uint32_t> m_Abs32Locations;
    GrowableArray<uint32_t> m_Rel32Locations;
};

} // namespace vxpatch
