#include "vxpatch/ensemblefinaldiff.h"

#include "vxpatch/binarydiffmaker.h"

#include <algorithm>

namespace vxpatch {

namespace {

struct Triple {
    int32_t diff = 0;
    int32_t extra = 0;
    int32_t seek = 0;
};

// Reads back the streams of a stored diff without header.
class StoredDiffReader {
public:
    bool Open(const ByteSink &diff)
    {
        m_Whole.Init(diff);
        uint8_t method = 0;
        uint32_t newSize = 0, control = 0, diffLength = 0, extra = 0;
        return m_Whole.ReadBytes(&method, 1) && method == BinaryDiffStored
               && m_Whole.ReadVarint(&newSize) && m_Whole.ReadVarint(&control)
               && m_Whole.ReadVarint(&diffLength) && m_Whole.ReadVarint(&extra)
               && m_Whole.TakeSubstream(control, &m_Control)
               && m_Whole.TakeSubstream(diffLength, &m_Diff)
               && m_Whole.TakeSubstream(extra, &m_Extra);
    }
    bool Next(Triple *triple)
    {
        return m_Control.ReadSignedVarint(&triple->diff)
               && m_Control.ReadSignedVarint(&triple->extra)
               && m_Control.ReadSignedVarint(&triple->seek) && triple->diff >= 0
               && triple->extra >= 0;
    }
    const uint8_t *TakeDiff(size_t count) { return Take(&m_Diff, count); }
    const uint8_t *TakeExtra(size_t count) { return Take(&m_Extra, count); }

private:
    static const uint8_t *Take(ByteSource *source, size_t count)
    {
        const uint8_t *at = source->Position();
        return source->Skip(count) ? at : nullptr;
    }
    ByteSource m_Whole, m_Control, m_Diff, m_Extra;
};

class FinalDiffWriter {
public:
    FinalDiffWriter(const uint8_t *basic, const uint8_t *newData)
        : m_Basic(basic), m_New(newData)
    {
    }
    bool Reformed(const ReformedRange &range);
    // Takes the next `count` bytes of the between-elements diff.
    bool Between(size_t count);
    bool OpenBetween(const ByteSink &diff) { return m_Between.Open(diff); }
    bool Write(size_t newSize, ByteSink *out);

private:
    bool SeekTo(int64_t position);
    bool Emit(size_t diff, const uint8_t *diffBytes, size_t extra, const uint8_t *extraBytes);
    // Starts a triple; the one before is written out, its seek now final.
    bool Open(size_t diff, size_t extra);
    bool Flush();

    const uint8_t *m_Basic;
    const uint8_t *m_New;
    ByteSink m_Control, m_Diff, m_Extra;
    int64_t m_Position = 0;        // old position of the applier
    int64_t m_BetweenPosition = 0; // old position the between-elements diff expects
    StoredDiffReader m_Between;
    Triple m_Pending;              // rest of the between-elements triple being taken
    bool m_HavePending = false;
    Triple m_Open;                 // the last triple, whose seek may still grow
    bool m_HaveOpen = false;
};

bool FinalDiffWriter::Flush()
{
    if (!m_HaveOpen)
        return true;
    m_HaveOpen = false;
    return m_Control.WriteSignedVarint(m_Open.diff) && m_Control.WriteSignedVarint(m_Open.extra)
           && m_Control.WriteSignedVarint(m_Open.seek);
}

bool FinalDiffWriter::Open(size_t diff, size_t extra)
{
    if (!Flush())
        return false;
    m_Open = Triple{static_cast<int32_t>(diff), static_cast<int32_t>(extra), 0};
    m_HaveOpen = true;
    return true;
}

// A move of the old position rides on the last triple's seek, which costs no triple of its
// own; only before the first triple does it need one.
bool FinalDiffWriter::SeekTo(int64_t position)
{
    const int64_t seek = position - m_Position;
    if (seek == 0)
        return true;
    if (!m_HaveOpen && !Open(0, 0))
        return false;
    const int64_t total = m_Open.seek + seek;
    if (total < INT32_MIN || total > INT32_MAX)
        return false;
    m_Open.seek = static_cast<int32_t>(total);
    m_Position = position;
    return true;
}

bool FinalDiffWriter::Emit(size_t diff, const uint8_t *diffBytes, size_t extra,
                           const uint8_t *extraBytes)
{
    m_Position += static_cast<int64_t>(diff);
    return Open(diff, extra) && m_Diff.WriteBytes(diffBytes, diff)
           && m_Extra.WriteBytes(extraBytes, extra);
}

bool FinalDiffWriter::Reformed(const ReformedRange &range)
{
    if (!SeekTo(static_cast<int64_t>(range.basicOffset)))
        return false;
    uint8_t *differences = m_Diff.Extend(range.length);
    if (range.length != 0 && !differences)
        return false;
    const uint8_t *from = m_Basic + range.basicOffset, *to = m_New + range.newOffset;
    for (size_t i = 0; i < range.length; ++i)
        differences[i] = static_cast<uint8_t>(to[i] - from[i]);
    if (!m_Diff.Commit(range.length))
        return false;
    m_Position += static_cast<int64_t>(range.length);
    return Open(range.length, 0);
}

bool FinalDiffWriter::Between(size_t count)
{
    while (count != 0) {
        if (!m_HavePending) {
            if (!m_Between.Next(&m_Pending))
                return false;
            m_HavePending = true;
        }
        const size_t diff = std::min<size_t>(count, static_cast<size_t>(m_Pending.diff));
        const size_t extra =
            std::min<size_t>(count - diff, static_cast<size_t>(m_Pending.extra));
        const uint8_t *diffBytes = m_Between.TakeDiff(diff);
        const uint8_t *extraBytes = m_Between.TakeExtra(extra);
        if (!diffBytes || !extraBytes)
            return false;
        if (diff + extra != 0
            && (!SeekTo(m_BetweenPosition) || !Emit(diff, diffBytes, extra, extraBytes)))
            return false;
        m_BetweenPosition += static_cast<int64_t>(diff);
        m_Pending.diff -= static_cast<int32_t>(diff);
        m_Pending.extra -= static_cast<int32_t>(extra);
        count -= diff + extra;
        if (m_Pending.diff == 0 && m_Pending.extra == 0) {
            m_BetweenPosition += m_Pending.seek;
            m_HavePending = false;
        }
    }
    return true;
}

bool FinalDiffWriter::Write(size_t newSize, ByteSink *out)
{
    const uint8_t method = BinaryDiffStored;
    return Flush() && out->WriteBytes(&method, 1) && out->WriteSizeVarint(newSize)
           && out->WriteSizeVarint(m_Control.Size()) && out->WriteSizeVarint(m_Diff.Size())
           && out->WriteSizeVarint(m_Extra.Size()) && out->AppendAndRelease(&m_Control)
           && out->AppendAndRelease(&m_Diff) && out->AppendAndRelease(&m_Extra);
}

// The new bytes outside every range, back to back.
bool BetweenRanges(const uint8_t *newData, size_t newSize,
                   const GrowableArray<ReformedRange> &ranges, ByteSink *between)
{
    size_t at = 0;
    for (const ReformedRange &range : ranges) {
        if (!between->WriteBytes(newData + at, range.newOffset - at))
            return false;
        at = range.newOffset + range.length;
    }
    return between->WriteBytes(newData + at, newSize - at);
}

} // namespace

bool MakeFinalDiff(const uint8_t *basic, size_t basicSize, size_t oldSize,
                   const uint8_t *newData, size_t newSize,
                   const GrowableArray<ReformedRange> &ranges, ByteSink *out)
{
    if (basicSize > static_cast<size_t>(INT32_MAX) || newSize > kMaxBinaryDiffInput)
        return false;
    ByteSink betweenBytes, betweenDiff;
    if (!BetweenRanges(newData, newSize, ranges, &betweenBytes))
        return false;
    // When elements cover the whole new file there is nothing to match, and indexing the
    // old file would be the most expensive step of the make.
    const bool matched = betweenBytes.Size() == 0
        ? MakeBinaryDiff(basic, 0, nullptr, 0, BinaryDiffStored, false, &betweenDiff)
        : MakeBinaryDiff(basic, oldSize, betweenBytes.Data(), betweenBytes.Size(),
                         BinaryDiffStored, false, &betweenDiff);
    if (!matched)
        return false;
    betweenBytes.Release();
    FinalDiffWriter writer(basic, newData);
    if (!writer.OpenBetween(betweenDiff))
        return false;
    size_t at = 0;
    for (const ReformedRange &range : ranges) {
        if (!writer.Between(range.newOffset - at) || !writer.Reformed(range))
            return false;
        at = range.newOffset + range.length;
    }
    return writer.Between(newSize - at) && writer.Write(newSize, out);
}

} // namespace vxpatch
