// Names every executable reader for table-driven tests, and walks a program back into the
// positions of its references, so tests can say where references were found.
#pragma once

#include "vxpatch/assemblyprogram.h"
#include "vxpatch/disassembler.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vxtest {

enum class Reader { MachO, Elf32X86, Elf64X64, Elf32Arm, Win32X86, Win32X64 };

std::unique_ptr<vxpatch::Disassembler> MakeReader(Reader reader, const std::vector<uint8_t> &bytes);

struct Reference {
    vxpatch::InstructionKind kind;
    uint32_t at;     // RVA of the field or instruction
    uint32_t target; // RVA of its label
    bool operator==(const Reference &other) const
    {
        return kind == other.kind && at == other.at && target == other.target;
    }
};

// Every reference of the program with the RVA it sits at, in program order.
std::vector<Reference> References(const vxpatch::ParsedProgram &program);
// The RVAs of the relative references only.
std::vector<uint32_t> Rel32Positions(const vxpatch::ParsedProgram &program);

} // namespace vxtest
