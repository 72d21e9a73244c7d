#include "vxpatch/binarydiffmaker.h"

#include "vxlog/log.h"
#include "vxpatch/diffscanner.h"
#include "vxpatch/suffixindex.h"

namespace vxpatch {

namespace {

// Diff streams repeat locally (the same address shift again and again, new code within
// itself), so a dictionary beyond this gains a few bytes for many megabytes of encoder.
constexpr size_t kDiffDictionaryLimit = size_t(1) << 20;

bool Compress(const ByteSink &stream, ByteSink *out)
{
    return WriteLzma2Block(stream.Data(), stream.Size(), out, kDiffDictionaryLimit);
}

bool Fail(const char *message)
{
    vxlog::Log(message, vxlog::LogLevel_ERROR);
    return false;
}

bool FindStreams(const uint8_t *oldData, size_t oldSize, const uint8_t *newData,
                 size_t newSize, DiffStreamSinks *streams)
{
    SuffixIndex index;
    if (!index.Build(oldData, oldSize))
        return Fail("Could not index the old file");
    // Reserved address space costs nothing until written, and spares the copies of doubling.
    if (!streams->diff.Reserve(newSize) || !streams->extra.Reserve(newSize))
        return Fail("Out of memory for the diff streams");
    DiffScanner scanner(oldData, oldSize, newData, newSize, index);
    if (!scanner.Run(streams))
        return Fail("Out of memory for the diff streams");
    return true;
}

// Three lengths and the three streams back to back; the streams are released as they go.
bool WriteStoredBody(DiffStreamSinks *streams, ByteSink *out)
{
    const size_t total = streams->control.Size() + streams->diff.Size() + streams->extra.Size();
    return out->Reserve(out->Size() + total + 15) &&
           out->WriteSizeVarint(streams->control.Size()) &&
           out->WriteSizeVarint(streams->diff.Size()) &&
           out->WriteSizeVarint(streams->extra.Size()) &&
           out->AppendAndRelease(&streams->control) && out->AppendAndRelease(&streams->diff) &&
           out->AppendAndRelease(&streams->extra);
}

bool WriteBody(int method, DiffStreamSinks *streams, ByteSink *out)
{
    switch (method) {
    case BinaryDiffStored:
        return WriteStoredBody(streams, out);
    case BinaryDiffStreamsCompressed:
        return Compress(streams->control, out) && Compress(streams->diff, out) &&
               Compress(streams->extra, out);
    default: {
        ByteSink body;
        return WriteStoredBody(streams, &body) && Compress(body, out);
    }
    }
}

bool WriteDiff(const uint8_t *oldData, size_t oldSize, const uint8_t *newData, size_t newSize,
               int method, bool withHeader, ByteSink *out)
{
    DiffStreamSinks streams;
    if (!FindStreams(oldData, oldSize, newData, newSize, &streams))
        return false;
    if (withHeader &&
        (!out->WriteBytes(kBinaryDiffMagic, sizeof(kBinaryDiffMagic)) ||
         !out->WriteVarint(ComputeChecksum(newData, newSize))))
        return false;
    const uint8_t methodByte = static_cast<uint8_t>(method);
    return out->WriteBytes(&methodByte, 1) && out->WriteSizeVarint(newSize) &&
           WriteBody(method, &streams, out);
}

} // namespace

bool MakeBinaryDiff(const uint8_t *oldData, size_t oldSize, const uint8_t *newData,
                    size_t newSize, int method, bool withHeader, ByteSink *out)
{
    if (method < BinaryDiffStored || method > BinaryDiffBodyCompressed)
        return Fail("Invalid compression method");
    if (oldSize > kMaxBinaryDiffInput || newSize > kMaxBinaryDiffInput)
        return Fail("File too large for a binary diff");
    const size_t start = out->Size();
    if (WriteDiff(oldData, oldSize, newData, newSize, method, withHeader, out))
        return true;
    out->Truncate(start);
    return false;
}

} // namespace vxpatch
