#include "vxpatch/encodedprogram.h"

#include <cstdint>
#include <utility>

namespace vxpatch {

namespace {

bool WriteTable(ByteSink *sink, const GrowableArray<uint32_t> &table)
{
    bool ok = sink->WriteSizeVarint(table.Size());
    for (uint32_t value : table)
        ok = sink->WriteSizeVarint(value) && ok;
    return ok;
}

bool WriteDeltaTable(ByteSink *sink, const GrowableArray<uint32_t> &table)
{
    bool ok = sink->WriteSizeVarint(table.Size());
    uint32_t previous = 0;
    for (uint32_t value : table) {
        ok = sink->WriteVarint(value - previous) && ok;
        previous = value;
    }
    return ok;
}

bool WriteByteTable(ByteSink *sink, const GrowableArray<uint8_t> &table)
{
    return sink->WriteSizeVarint(table.Size()) && sink->WriteBytes(table.Data(), table.Size());
}

bool ReadTable(ByteSource *source, GrowableArray<uint32_t> *table, bool deltaCoded)
{
    table->Clear();
    uint32_t count;
    // Every element takes at least one byte: a larger count is a lie, and reserving for it
    // would let a few bytes of input claim gigabytes.
    if (!source->ReadVarint(&count) || count > source->Remaining() || !table->Reserve(count))
        return false;
    uint32_t previous = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t value;
        if (!source->ReadVarint(&value))
            return false;
        if (deltaCoded)
            value += previous;
        table->Push(value);
        previous = value;
    }
    return true;
}

// Checks a table of varints as ReadTable reads it and keeps a view of its values.
bool SkimTable(ByteSource *source, StoredTable *table)
{
    uint32_t count;
    if (!source->ReadVarint(&count) || count > source->Remaining())
        return false;
    table->values = source->Position();
    table->count = count;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t value;
        if (!source->ReadVarint(&value))
            return false;
    }
    table->length = static_cast<size_t>(source->Position() - table->values);
    return true;
}

bool SkimByteTable(ByteSource *source, StoredTable *table)
{
    uint32_t count;
    if (!source->ReadVarint(&count) || count > source->Remaining())
        return false;
    table->values = source->Position();
    table->count = count;
    table->length = count;
    return source->Skip(count);
}

// The tables of `stored` decoded into `out`; their varints were checked when skimmed.
bool ExpandTable(const StoredTable &stored, GrowableArray<uint32_t> *table)
{
    table->Clear();
    if (!table->Reserve(stored.count))
        return false;
    ByteSource values;
    values.Init(stored.values, stored.length);
    for (size_t i = 0; i < stored.count; ++i) {
        uint32_t value;
        if (!values.ReadVarint(&value))
            return false;
        table->Push(value);
    }
    return true;
}

bool ExpandProgram(StoredProgram *stored, EncodedProgram *out)
{
    out->abs32Rvas = std::move(stored->abs32Rvas);
    out->rel32Rvas = std::move(stored->rel32Rvas);
    return ExpandTable(stored->origins, &out->origins) && ExpandTable(stored->ops, &out->ops) &&
           ExpandTable(stored->copyCounts, &out->copyCounts) &&
           out->copyBytes.Append(stored->copyBytes.values, stored->copyBytes.count) &&
           ExpandTable(stored->abs32Ix, &out->abs32Ix) &&
           ExpandTable(stored->rel32Ix, &out->rel32Ix);
}

} // namespace

Status StoreEncodedProgram(const EncodedProgram &program, ByteSinkSet *sinks)
{
    ByteSink *origins = sinks->Stream(kStreamOrigins);
    ByteSink *ops = sinks->Stream(kStreamOps);
    ByteSink *copyBytes = sinks->Stream(kStreamCopyBytes);
    ByteSink *abs32Ix = sinks->Stream(kStreamAbs32Ix);
    ByteSink *rel32Ix = sinks->Stream(kStreamRel32Ix);
    ByteSink *abs32Rvas = sinks->Stream(kStreamAbs32Rvas);
    ByteSink *rel32Rvas = sinks->Stream(kStreamRel32Rvas);
    ByteSink *copyCounts = sinks->Stream(kStreamCopyCounts);
    if (!origins || !ops || !copyBytes || !abs32Ix || !rel32Ix || !abs32Rvas || !rel32Rvas ||
        !copyCounts)
        return StatusStreamError;
    // Every write is attempted so the streams keep the same shape whatever fails.
    bool ok = origins->WriteVarint(static_cast<uint32_t>(program.imageBase));
    ok = WriteDeltaTable(abs32Rvas, program.abs32Rvas) && ok;
    ok = WriteDeltaTable(rel32Rvas, program.rel32Rvas) && ok;
    ok = WriteTable(origins, program.origins) && ok;
    ok = ops->Reserve(ops->Size() + program.ops.Size() + 5) && ok;
    ok = WriteTable(ops, program.ops) && ok;
    ok = WriteTable(copyCounts, program.copyCounts) && ok;
    ok = WriteByteTable(copyBytes, program.copyBytes) && ok;
    ok = WriteTable(abs32Ix, program.abs32Ix) && ok;
    ok = WriteTable(rel32Ix, program.rel32Ix) && ok;
    return ok ? StatusOk : StatusStreamError;
}

Status ReadStoredProgram(ByteSourceSet *sources, StoredProgram *out)
{
    *out = StoredProgram();
    if (sources->Count() < kEncodedStreamsRead)
        return StatusDeserializationFailed;
    ByteSource *origins = sources->Stream(kStreamOrigins);
    uint32_t imageBase;
    bool ok = origins->ReadVarint(&imageBase) &&
              ReadTable(sources->Stream(kStreamAbs32Rvas), &out->abs32Rvas, true) &&
              ReadTable(sources->Stream(kStreamRel32Rvas), &out->rel32Rvas, true) &&
              SkimTable(origins, &out->origins) &&
              SkimTable(sources->Stream(kStreamOps), &out->ops) &&
              SkimTable(sources->Stream(kStreamCopyCounts), &out->copyCounts) &&
              SkimByteTable(sources->Stream(kStreamCopyBytes), &out->copyBytes) &&
              SkimTable(sources->Stream(kStreamAbs32Ix), &out->abs32Ix) &&
              SkimTable(sources->Stream(kStreamRel32Ix), &out->rel32Ix);
    for (size_t i = 0; ok && i < kEncodedStreamsRead; ++i)
        ok = sources->Stream(i)->IsConsumed();
    if (!ok) {
        *out = StoredProgram();
        return StatusDeserializationFailed;
    }
    out->imageBase = imageBase;
    return StatusOk;
}

Status LoadEncodedProgram(ByteSourceSet *sources, EncodedProgram *out)
{
    out->Clear();
    StoredProgram stored;
    Status status = ReadStoredProgram(sources, &stored);
    if (status != StatusOk)
        return status;
    if (!ExpandProgram(&stored, out)) {
        out->Clear();
        return StatusDeserializationFailed;
    }
    out->imageBase = stored.imageBase;
    return StatusOk;
}

} // namespace vxpatch
