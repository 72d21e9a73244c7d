#include "vxpatch/detection.h"

#include "vxpatch/disassembler_elf32arm.h"
#include "vxpatch/disassembler_elf32x86.h"
#include "vxpatch/disassembler_elf64x64.h"
#include "vxpatch/disassembler_macho.h"
#include "vxpatch/disassembler_win32x64.h"
#include "vxpatch/disassembler_win32x86.h"

#include <new>

namespace vxpatch {

namespace {

using Factory = Disassembler *(*)(const uint8_t *start, size_t length);

template <typename T>
Disassembler *Make(const uint8_t *start, size_t length)
{
    return new (std::nothrow) T(start, length);
}

// Detection order: PE x86, PE x64, ELF x86, ELF x86-64, ELF ARM, Mach-O. Ends with null.
const Factory kDetectionOrder[] = {
    Make<DisassemblerWin32X86>,
    Make<DisassemblerWin32X64>,
    Make<DisassemblerElf32X86>,
    Make<DisassemblerElf64X64>,
    Make<DisassemblerElf32ARM>,
    Make<DisassemblerMacho>,
    nullptr,
};

} // namespace

std::unique_ptr<Disassembler> FindDisassembler(const uint8_t *start, size_t length)
{
    for (const Factory *make = kDetectionOrder; *make; ++make) {
        std::unique_ptr<Disassembler> candidate((*make)(start, length));
        if (candidate && candidate->CheckHeader())
            return candidate;
    }
    return nullptr;
}

Status DisassembleElement(const uint8_t *start, size_t length,
                          std::unique_ptr<ParsedProgram> *out)
{
    out->reset();
    std::unique_ptr<Disassembler> disassembler = FindDisassembler(start, length);
    if (!disassembler)
        return StatusInputNotRecognized;
    std::unique_ptr<ParsedProgram> program(new (std::nothrow) ParsedProgram(disassembler->Type()));
    if (!program || !disassembler->Disassemble(program.get()))
        return StatusDisassemblyFailed;
    *out = std::move(program);
    return StatusOk;
}

Status IdentifyExecutable(const uint8_t *start, size_t length, ExecutableType *type,
                          size_t *imageLength)
{
    std::unique_ptr<Disassembler> disassembler = FindDisassembler(start, length);
    *type = disassembler ? disassembler->Type() : EXE_UNKNOWN;
    *imageLength = disassembler ? disassembler->Length() : 0;
    return disassembler ? StatusOk : StatusInputNotRecognized;
}

} // namespace vxpatch
