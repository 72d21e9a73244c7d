#include "vxpatch/disanddiffwriter.h"

#include "vxpatch/binarydiffmaker.h"
#include "vxpatch/detection.h"
#include "vxpatch/encodedprogram.h"
#include "vxpatch/enginelog.h"
#include "vxpatch/executableelements.h"
#include "vxpatch/labelindexes.h"
#include "vxpatch/trimlabels.h"

#include <memory>
#include <new>
#include <string>

namespace vxpatch {

namespace {

// Stores the program of one image into `stream` and appends its assembled bytes to
// `assembly`, the old side of the diff that rebuilds the file.
bool StoreElement(const uint8_t *image, size_t length, ByteSink *stream, ByteSink *assembly)
{
    std::unique_ptr<Disassembler> reader = FindDisassembler(image, length);
    if (!reader)
        return false;
    std::unique_ptr<ParsedProgram> program(new (std::nothrow) ParsedProgram(reader->Type()));
    if (!program || !reader->Disassemble(program.get()) || !TrimLabels(program.get()))
        return false;
    // Trimming leaves holes in the index ranges; numbering again closes them, so the address
    // tables and the index varints stay short. Readers only need the indexes to agree.
    ClearLabelIndexes(&program->Abs32Labels());
    ClearLabelIndexes(&program->Rel32Labels());
    NumberLabelsInOrder(program.get());
    EncodedProgram encoded;
    ByteSinkSet sources;
    return EncodeProgram(*program, &encoded) == StatusOk &&
           StoreEncodedProgram(encoded, &sources) == StatusOk && sources.Combine(stream) &&
           AssembleProgram(encoded, assembly) == StatusOk;
}

} // namespace

bool MakeDisAndDiffSet(const uint8_t *data, size_t length, ByteSink *set)
{
    GrowableArray<ExecutableElement> elements;
    if (!FindExecutableElements(data, length, &elements) || elements.Empty())
        return false;
    for (const ExecutableElement &element : elements)
        LogDebug(std::string("detected ") + ExecutableTypeName(element.type));
    ByteSinkSet disAndDiff;
    ByteSink assembly;
    if (!disAndDiff.SetCount(elements.Size() + 1))
        return false;
    for (size_t i = 0; i < elements.Size(); ++i) {
        const ExecutableElement &element = elements[i];
        if (!StoreElement(data + element.offset, element.length, disAndDiff.Stream(i), &assembly))
            return false;
    }
    return MakeBinaryDiff(assembly.Data(), assembly.Size(), data, length, 0, false,
                          disAndDiff.Stream(elements.Size())) &&
           disAndDiff.Combine(set);
}

} // namespace vxpatch
