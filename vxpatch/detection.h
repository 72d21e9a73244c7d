// Finding the disassembler for a byte range and running it. Every disassembler is tried in
// one fixed order and the first whose header check passes wins; the order decides the
// executable type of ambiguous bytes, and patches depend on it, so it never changes.
#pragma once

#include "vxpatch/assemblyprogram.h"
#include "vxpatch/disassembler.h"
#include "vxpatch/ensemblestatus.h"
#include "vxpatch/executabletype.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vxpatch {

// The first disassembler in detection order whose CheckHeader accepts the bytes, or null.
std::unique_ptr<Disassembler> FindDisassembler(const uint8_t *start, size_t length);

// StatusOk with the program of the bytes in `out`; StatusInputNotRecognized when no
// disassembler accepts them, StatusDisassemblyFailed when disassembly fails (`out` is then
// empty).
Status DisassembleElement(const uint8_t *start, size_t length,
                          std::unique_ptr<ParsedProgram> *out);

// StatusOk with the type and the length of the image the bytes start with (the length may
// be below `length`); StatusInputNotRecognized with EXE_UNKNOWN and 0.
Status IdentifyExecutable(const uint8_t *start, size_t length, ExecutableType *type,
                          size_t *imageLength);

} // namespace vxpatch
