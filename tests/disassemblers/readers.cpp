#include "readers.h"

#include "vxpatch/disassembler_elf32arm.h"
#include "vxpatch/disassembler_elf32x86.h"
#include "vxpatch/disassembler_elf64x64.h"
#include "vxpatch/disassembler_macho.h"
#include "vxpatch/disassembler_win32x64.h"
#include "vxpatch/disassembler_win32x86.h"

namespace vxtest {

using namespace vxpatch;

std::unique_ptr<Disassembler> MakeReader(Reader reader, const std::vector<uint8_t> &bytes)
{
    const uint8_t *data = bytes.data();
    const size_t size = bytes.size();
    switch (reader) {
    case Reader::MachO: return std::make_unique<DisassemblerMacho>(data, size);
    case Reader::Elf32X86: return std::make_unique<DisassemblerElf32X86>(data, size);
    case Reader::Elf64X64: return std::make_unique<DisassemblerElf64X64>(data, size);
    case Reader::Elf32Arm: return std::make_unique<DisassemblerElf32ARM>(data, size);
    case Reader::Win32X86: return std::make_unique<DisassemblerWin32X86>(data, size);
    case Reader::Win32X64: return std::make_unique<DisassemblerWin32X64>(data, size);
    }
    return nullptr;
}

std::vector<Reference> References(const ParsedProgram &program)
{
    std::vector<Reference> references;
    uint32_t rva = 0;
    for (const Instruction &insn : program.Instructions()) {
        switch (insn.kind) {
        case InsnOrigin: rva = insn.value; break;
        case InsnByte:
        case InsnBytes: rva += insn.value; break;
        case InsnRel32:
        case InsnAbs32:
            references.push_back({insn.kind, rva, insn.label->rva});
            rva += 4;
            break;
        case InsnRel32Arm:
            references.push_back({insn.kind, rva, insn.label->rva});
            rva += insn.value;
            break;
        default: break;
        }
    }
    return references;
}

std::vector<uint32_t> Rel32Positions(const ParsedProgram &program)
{
    std::vector<uint32_t> positions;
    for (const Reference &reference : References(program)) {
        if (reference.kind != InsnAbs32)
            positions.push_back(reference.at);
    }
    return positions;
}

} // namespace vxtest
