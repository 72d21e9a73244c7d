#include "vxpatch/overlaydiff.h"

#include "vxpatch/binarydiff.h"

namespace vxpatch {

namespace {

struct DiffStreams {
    ByteSink control;
    ByteSink diff;
    ByteSink extra;

    bool Triple(size_t diffCount, size_t extraCount)
    {
        return control.WriteSignedVarint(static_cast<int32_t>(diffCount)) &&
               control.WriteSignedVarint(static_cast<int32_t>(extraCount)) &&
               control.WriteSignedVarint(0);
    }

    // New bytes as the old bytes plus the difference, byte by byte.
    bool Differences(const uint8_t *old, const uint8_t *bytes, size_t count)
    {
        if (count == 0)
            return true;
        uint8_t *out = diff.Extend(count);
        if (!out)
            return false;
        for (size_t i = 0; i < count; ++i)
            out[i] = static_cast<uint8_t>(bytes[i] - old[i]);
        return diff.Commit(count);
    }

    bool Write(size_t length, ByteSink *out)
    {
        const uint8_t method = BinaryDiffStored;
        return out->WriteBytes(&method, 1) && out->WriteSizeVarint(length) &&
               out->WriteSizeVarint(control.Size()) && out->WriteSizeVarint(diff.Size()) &&
               out->WriteSizeVarint(extra.Size()) && out->AppendAndRelease(&control) &&
               out->AppendAndRelease(&diff) && out->AppendAndRelease(&extra);
    }
};

} // namespace

bool MakeOverlayDiff(const uint8_t *assembly, const GrowableArray<size_t> &assembled,
                     const GrowableArray<ExecutableElement> &elements, const uint8_t *data,
                     size_t length, ByteSink *out)
{
    if (elements.Empty() || assembled.Size() != elements.Size() || length > INT32_MAX)
        return false;
    DiffStreams streams;
    size_t position = elements[0].offset;
    bool ok = streams.extra.WriteBytes(data, position) && streams.Triple(0, position);
    for (size_t i = 0; ok && i < elements.Size(); ++i) {
        const ExecutableElement &element = elements[i];
        const size_t next = i + 1 < elements.Size() ? elements[i + 1].offset : length;
        const size_t end = element.offset + element.length;
        ok = assembled[i] == element.length && element.offset == position && end <= next &&
             streams.Differences(assembly, data + position, element.length) &&
             streams.extra.WriteBytes(data + end, next - end) &&
             streams.Triple(element.length, next - end);
        if (!ok)
            break;
        assembly += element.length;
        position = next;
    }
    const size_t before = out->Size();
    if (ok && streams.Write(length, out))
        return true;
    out->Truncate(before);
    return false;
}

} // namespace vxpatch
