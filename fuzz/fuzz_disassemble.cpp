// Arbitrary bytes through every executable reader, not only the one detection picks, and
// each accepted program through encode, store, load and assemble: no reader may read outside
// the bytes or stall, and whatever it accepts must encode and assemble.
#include "vxpatch/detection.h"
#include "vxpatch/disassembler_elf32arm.h"
#include "vxpatch/disassembler_elf32x86.h"
#include "vxpatch/disassembler_elf64x64.h"
#include "vxpatch/disassembler_macho.h"
#include "vxpatch/disassembler_win32x64.h"
#include "vxpatch/disassembler_win32x86.h"
#include "vxpatch/encodedprogram.h"
#include "vxpatch/trimlabels.h"

#include <cstdlib>

using namespace vxpatch;

namespace {

template <typename T>
void Read(const uint8_t *data, size_t size)
{
    T reader(data, size);
    if (!reader.CheckHeader())
        return;
    if (reader.Length() > size)
        std::abort();
    ParsedProgram program(reader.Type());
    if (!reader.Disassemble(&program) || !TrimLabels(&program))
        return;
    EncodedProgram encoded;
    if (EncodeProgram(program, &encoded) != StatusOk)
        std::abort();
    ByteSinkSet sinks;
    ByteSink stored, assembled;
    if (StoreEncodedProgram(encoded, &sinks) != StatusOk || !sinks.Combine(&stored))
        std::abort();
    ByteSourceSet sources;
    EncodedProgram loaded;
    if (!sources.Parse(stored.Data(), stored.Size()) || LoadEncodedProgram(&sources, &loaded) != StatusOk)
        std::abort();
    // Assembly may refuse a program (a relocation page past 4096 entries), never crash.
    AssembleProgram(loaded, &assembled);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Read<DisassemblerWin32X86>(data, size);
    Read<DisassemblerWin32X64>(data, size);
    Read<DisassemblerElf32X86>(data, size);
    Read<DisassemblerElf64X64>(data, size);
    Read<DisassemblerElf32ARM>(data, size);
    Read<DisassemblerMacho>(data, size);
    ExecutableType type;
    size_t length;
    if (IdentifyExecutable(data, size, &type, &length) == StatusOk && length > size)
        std::abort();
    return 0;
}
