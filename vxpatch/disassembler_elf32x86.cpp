#include "vxpatch/disassembler_elf32x86.h"

namespace vxpatch {

namespace {
constexpr uint64_t kRelative386 = 8;
}

bool DisassemblerElf32X86::RelocationToRva(uint64_t offset, uint64_t info, uint32_t *rva) const
{
    *rva = static_cast<uint32_t>(offset);
    return info == kRelative386;
}

bool DisassemblerElf32X86::EmitRelocationSection(const Section &section, ParsedProgram *program)
{
    const GrowableArray<uint32_t> &locations = Abs32Locations();
    const size_t count = RelocationCount(section);
    bool match = !locations.Empty() && count >= locations.Size();
    for (size_t i = 0; match && i < locations.Size(); ++i) {
        uint64_t offset, info;
        ReadRelocation(section, i, &offset, &info);
        match = info == kRelative386 && offset == locations[i];
    }
    const uint64_t end = section.offset + section.size;
    if (!match)
        return EmitFileBytes(program, section.offset, end);
    return program->EmitElfRelocs() &&
           EmitFileBytes(program, section.offset + locations.Size() * RelocationSize(), end);
}

} // namespace vxpatch
