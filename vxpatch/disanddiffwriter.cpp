#include "vxpatch/disanddiffwriter.h"

#include "vxpatch/binarydiffmaker.h"
#include "vxpatch/detection.h"
#include "vxpatch/encodedprogram.h"
#include "vxpatch/enginelog.h"
#include "vxpatch/executableelements.h"
#include "vxpatch/labelnumbering.h"
#include "vxpatch/overlaydiff.h"
#include "vxpatch/rarereferences.h"

#include <memory>
#include <new>
#include <string>

namespace vxpatch {

namespace {

// Stores the program of one image into `stream` and appends its assembled bytes to
// `assembly`, the old side of the diff that rebuilds the file.
bool StoreElement(const uint8_t *image, size_t length, int32_t limit, ByteSink *stream,
                  ByteSink *assembly)
{
    std::unique_ptr<Disassembler> reader = FindDisassembler(image, length);
    if (!reader)
        return false;
    std::unique_ptr<ParsedProgram> program(new (std::nothrow) ParsedProgram(reader->Type()));
    GrowableArray<uint8_t> standIns;
    if (!program || !reader->Disassemble(program.get()) ||
        !DropRareReferences(program.get(), limit, &standIns))
        return false;
    // No older program to line up with: readers only need the indexes to agree with the
    // address tables, so they are chosen for size alone.
    if (!NumberLabelsByUse(&program->Abs32Labels()) || !NumberLabelsByUse(&program->Rel32Labels()))
        return false;
    EncodedProgram encoded;
    ByteSinkSet sources;
    return EncodeProgram(*program, &encoded) == StatusOk &&
           StoreEncodedProgram(encoded, &sources) == StatusOk && sources.Combine(stream) &&
           AssembleProgram(encoded, assembly) == StatusOk;
}

} // namespace

bool MakeDisAndDiffSet(const uint8_t *data, size_t length, ByteSink *set, int32_t limit)
{
    GrowableArray<ExecutableElement> elements;
    if (!FindExecutableElements(data, length, &elements) || elements.Empty())
        return false;
    for (const ExecutableElement &element : elements)
        LogDebug(std::string("detected ") + ExecutableTypeName(element.type));
    ByteSinkSet disAndDiff;
    ByteSink assembly;
    GrowableArray<size_t> assembled;
    if (!disAndDiff.SetCount(elements.Size() + 1))
        return false;
    for (size_t i = 0; i < elements.Size(); ++i) {
        const ExecutableElement &element = elements[i];
        const size_t before = assembly.Size();
        if (!StoreElement(data + element.offset, element.length, limit, disAndDiff.Stream(i),
                          &assembly) ||
            !assembled.Push(assembly.Size() - before))
            return false;
    }
    ByteSink *diff = disAndDiff.Stream(elements.Size());
    // A program that does not assemble to its image's length needs the diff to find where
    // its bytes went.
    const bool diffMade =
        MakeOverlayDiff(assembly.Data(), assembled, elements, data, length, diff) ||
        MakeBinaryDiff(assembly.Data(), assembly.Size(), data, length, 0, false, diff);
    return diffMade && disAndDiff.Combine(set);
}

} // namespace vxpatch
