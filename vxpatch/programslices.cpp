#include "vxpatch/programslices.h"

#include "vxpatch/armbranch.h"

namespace vxpatch {

namespace {

bool IsRelocationMarker(uint32_t op)
{
    return op == OpPeRelocs || op == OpElfRelocs || op == OpElfArmRelocs || op == OpPe64Relocs;
}

// Thumb branches (the two lowest families) take two bytes, the others four.
uint32_t ArmBranchSize(uint32_t op)
{
    return (op >> 12) <= 2 ? 2 : 4;
}

// Running positions of a walk over the opcodes.
struct Cursor {
    ProgramSlice tables;   // table positions; output and references count from the start
    size_t output = 0;
    size_t references = 0;
    bool behindMarker = false;
};

// Moves `at` past one opcode; false when the opcode is unknown or a table runs out.
bool Advance(const EncodedProgram &program, uint32_t op, Cursor *at)
{
    ProgramSlice &t = at->tables;
    switch (op) {
    case OpOrigin:
        return ++t.origin <= program.origins.Size();
    case OpCopy: {
        if (t.copyCount >= program.copyCounts.Size())
            return false;
        const uint32_t count = program.copyCounts[t.copyCount++];
        t.copyByte += count;
        at->output += count;
        return t.copyByte <= program.copyBytes.Size();
    }
    case OpCopy1:
        ++at->output;
        return ++t.copyByte <= program.copyBytes.Size();
    case OpRel32:
    case OpAbs32:
        at->output += 4;
        ++at->references;
        return op == OpRel32 ? ++t.rel32 <= program.rel32Ix.Size()
                             : ++t.abs32 <= program.abs32Ix.Size();
    default:
        if (IsRelocationMarker(op)) {
            at->behindMarker = true;
            return true;
        }
        if (op < kArmOpFirst || op > kArmOpLast)
            return false;
        at->output += ArmBranchSize(op);
        ++at->references;
        return ++t.rel32 <= program.rel32Ix.Size();
    }
}

// The slice from `start` to where `at` stands.
ProgramSlice Finished(const Cursor &start, const Cursor &at)
{
    ProgramSlice slice = start.tables;
    slice.outputOffset = start.output;
    slice.outputLength = at.output - start.output;
    slice.references = at.references - start.references;
    slice.fixed = at.behindMarker;
    slice.behindMarker = at.behindMarker;
    return slice;
}

template <typename T>
bool AppendRange(const GrowableArray<T> &from, size_t first, size_t last, GrowableArray<T> *to)
{
    return to->Append(from.Data() + first, last - first);
}

// The table positions where everything ends, as if a slice started there.
ProgramSlice EndOf(const EncodedProgram &program)
{
    ProgramSlice end;
    end.op = program.ops.Size();
    end.origin = program.origins.Size();
    end.copyCount = program.copyCounts.Size();
    end.copyByte = program.copyBytes.Size();
    end.abs32 = program.abs32Ix.Size();
    end.rel32 = program.rel32Ix.Size();
    return end;
}

bool AppendSlice(const EncodedProgram &from, const ProgramSlice &first, const ProgramSlice &last,
                 EncodedProgram *to)
{
    return AppendRange(from.ops, first.op, last.op, &to->ops)
           && AppendRange(from.origins, first.origin, last.origin, &to->origins)
           && AppendRange(from.copyCounts, first.copyCount, last.copyCount, &to->copyCounts)
           && AppendRange(from.copyBytes, first.copyByte, last.copyByte, &to->copyBytes)
           && AppendRange(from.abs32Ix, first.abs32, last.abs32, &to->abs32Ix)
           && AppendRange(from.rel32Ix, first.rel32, last.rel32, &to->rel32Ix);
}

} // namespace

bool SliceProgram(const EncodedProgram &program, GrowableArray<ProgramSlice> *slices)
{
    Cursor at, start;
    for (size_t i = 0; i < program.ops.Size(); ++i) {
        const uint32_t op = program.ops[i];
        if (op == OpOrigin && i != 0) {
            if (!slices->Push(Finished(start, at)))
                return false;
            start = at;
            start.tables.op = i;
        }
        if (!Advance(program, op, &at))
            return false;
    }
    if (!slices->Push(Finished(start, at)))
        return false;
    // A generated relocation table lists every absolute reference of the program: leaving
    // one out would change the table.
    for (size_t i = 0; at.behindMarker && i < slices->Size(); ++i) {
        const size_t next = i + 1 < slices->Size() ? (*slices)[i + 1].abs32 : at.tables.abs32;
        (*slices)[i].fixed = (*slices)[i].fixed || next != (*slices)[i].abs32;
    }
    return true;
}

bool KeepSlices(const EncodedProgram &program, const GrowableArray<ProgramSlice> &slices,
                const GrowableArray<uint8_t> &keep, EncodedProgram *out)
{
    out->Clear();
    out->imageBase = program.imageBase;
    if (!AppendRange(program.abs32Rvas, 0, program.abs32Rvas.Size(), &out->abs32Rvas)
        || !AppendRange(program.rel32Rvas, 0, program.rel32Rvas.Size(), &out->rel32Rvas))
        return false;
    const ProgramSlice end = EndOf(program);
    for (size_t i = 0; i < slices.Size(); ++i) {
        const ProgramSlice &last = i + 1 < slices.Size() ? slices[i + 1] : end;
        const bool kept = slices[i].fixed || (i < keep.Size() && keep[i]);
        if (kept && !AppendSlice(program, slices[i], last, out))
            return false;
    }
    return true;
}

} // namespace vxpatch
