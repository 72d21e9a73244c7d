#include "vxpatch/trimlabels.h"

#include "vxlog/log.h"

#include <string>

namespace vxpatch {

bool TrimLabels(ParsedProgram *program)
{
    if (program->Kind() != EXE_ELF_32_ARM)
        return true;
    vxlog::Log("TrimLabels: threshold " + std::to_string(kTrimThreshold), vxlog::LogLevel_DEBUG);
    const auto rare = [](const Label &label) { return label.count <= kTrimThreshold; };
    program->Rel32Labels().RemoveIf(rare);
    for (Instruction &insn : program->Instructions()) {
        if (insn.kind != InsnRel32Arm || !rare(*insn.label))
            continue;
        if (insn.value == 0)
            return false;
        insn.kind = InsnBytes;
        insn.label = nullptr;
        insn.op = 0;
    }
    return true;
}

} // namespace vxpatch
