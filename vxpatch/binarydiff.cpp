#include "vxpatch/binarydiff.h"

#include "vxlog/log.h"

#include <algorithm>
#include <cstring>

namespace vxpatch {

namespace {

struct DiffStreams {
    ByteSource control;
    ByteSource diff;
    ByteSource extra;
};

// Decompressed streams of methods 1 and 2 live here for the duration of one application.
struct ScratchSinks {
    ByteSink sinks[3];
};

bool Fail(const char *message)
{
    vxlog::Log(message, vxlog::LogLevel_ERROR);
    return false;
}

bool ReadHeader(ByteSource *patch, uint32_t *checksum)
{
    char magic[sizeof(kBinaryDiffMagic)];
    if (!patch->ReadBytes(magic, sizeof(magic)))
        return false;
    if (std::memcmp(magic, kBinaryDiffMagic, sizeof(magic)) != 0)
        return Fail("Corrupt patch header");
    if (!patch->ReadVarint(checksum))
        return Fail("Could not read crc");
    return true;
}

// A stored body: three lengths, then the streams back to back, taken as views.
bool ReadStoredBody(ByteSource *body, DiffStreams *streams)
{
    uint32_t lengths[3];
    for (uint32_t &length : lengths) {
        if (!body->ReadVarint(&length))
            return false;
    }
    return body->TakeSubstream(lengths[0], &streams->control) &&
           body->TakeSubstream(lengths[1], &streams->diff) &&
           body->TakeSubstream(lengths[2], &streams->extra);
}

bool LocateStreams(uint8_t method, ByteSource *patch, ScratchSinks *scratch,
                   ByteSource *decodedBody, DiffStreams *streams)
{
    switch (method) {
    case BinaryDiffStored:
        return ReadStoredBody(patch, streams);
    case BinaryDiffStreamsCompressed: {
        ByteSource *views[3] = {&streams->control, &streams->diff, &streams->extra};
        for (int i = 0; i < 3; ++i) {
            if (!ReadLzma2Block(patch, &scratch->sinks[i]))
                return false;
            views[i]->Init(scratch->sinks[i]);
        }
        return true;
    }
    default:
        if (!ReadLzma2Block(patch, &scratch->sinks[0]))
            return false;
        decodedBody->Init(scratch->sinks[0]);
        return ReadStoredBody(decodedBody, streams);
    }
}

// Old positions follow the diff's 32-bit wrapping arithmetic; range checks use 64 bits so
// that no sum of counts can wrap into the old bytes.
int32_t AddWrapping(int32_t position, int32_t delta)
{
    return static_cast<int32_t>(static_cast<uint32_t>(position) + static_cast<uint32_t>(delta));
}

// Appends `count` diff bytes plus the old bytes at `oldPosition`, modulo 256.
bool AppendDiffBytes(const ByteSource &old, int32_t oldPosition, int32_t count,
                     ByteSource *diff, ByteSink *out)
{
    const int64_t oldSize = static_cast<int64_t>(old.Remaining());
    if (diff->Remaining() < static_cast<size_t>(count) || oldPosition < 0 ||
        static_cast<int64_t>(oldPosition) + count > oldSize)
        return false;
    uint8_t *target = out->Extend(count);
    if (target == nullptr && count != 0)
        return false;
    const uint8_t *delta = diff->Position();
    const uint8_t *source = old.Position() + oldPosition;
    for (int32_t j = 0; j < count; ++j)
        target[j] = static_cast<uint8_t>(delta[j] + source[j]);
    return diff->Skip(count) && out->Commit(count);
}

bool AppendExtraBytes(int32_t count, ByteSource *extra, ByteSink *out)
{
    if (extra->Remaining() < static_cast<size_t>(count))
        return false;
    const uint8_t *bytes = extra->Position();
    return extra->Skip(count) && out->WriteBytes(bytes, count);
}

bool RunControl(const ByteSource &old, DiffStreams *streams, uint32_t newSize, ByteSink *out)
{
    int32_t oldPosition = 0;
    while (out->Size() < newSize) {
        int32_t diffCount, extraCount, seek;
        if (!streams->control.ReadSignedVarint(&diffCount) ||
            !streams->control.ReadSignedVarint(&extraCount) ||
            !streams->control.ReadSignedVarint(&seek))
            return Fail("Corrupt patch reading control");
        // A negative count never comes from a valid diff and would move the output backwards.
        if (diffCount < 0 || out->Size() + static_cast<uint64_t>(diffCount) > newSize)
            return Fail("Corrupt patch");
        if (!AppendDiffBytes(old, oldPosition, diffCount, &streams->diff, out))
            return false;
        oldPosition = AddWrapping(oldPosition, diffCount);
        if (extraCount < 0 || out->Size() + static_cast<uint64_t>(extraCount) > newSize)
            return Fail("Corrupt patch");
        if (!AppendExtraBytes(extraCount, &streams->extra, out))
            return false;
        oldPosition = AddWrapping(oldPosition, seek);
    }
    return true;
}

} // namespace

bool ApplyBinaryDiff(ByteSource *old, ByteSource *patch, ByteSink *out, bool withHeader)
{
    uint32_t expectedChecksum = 0;
    if (withHeader && !ReadHeader(patch, &expectedChecksum))
        return false;
    uint8_t method;
    if (!patch->ReadBytes(&method, 1))
        return false;
    if (method > BinaryDiffBodyCompressed)
        return Fail("Invalid compression method");
    uint32_t newSize;
    if (!patch->ReadVarint(&newSize))
        return false;

    ScratchSinks scratch;
    ByteSource decodedBody;
    DiffStreams streams;
    if (!LocateStreams(method, patch, &scratch, &decodedBody, &streams))
        return false;
    // Every output byte comes from the diff or the extra stream, so no more than they hold is
    // reserved: a few patch bytes announcing gigabytes must not claim them. A size the streams
    // cannot fill fails in the loop like any other short stream.
    const uint64_t producible =
        static_cast<uint64_t>(streams.diff.Remaining()) + streams.extra.Remaining();
    if (!out->Reserve(std::min<uint64_t>(newSize, producible)) ||
        !RunControl(*old, &streams, newSize, out))
        return false;
    if (withHeader && ComputeChecksum(out->Data(), newSize) != expectedChecksum)
        return Fail("crc mismatch");
    return true;
}

} // namespace vxpatch
