#include "vxpatch/streams.h"

namespace vxpatch {

bool ByteSourceSet::Parse(const uint8_t *data, size_t length)
{
    ByteSource header;
    header.Init(data, length);
    uint32_t magic, count;
    if (!header.ReadVarint(&magic) || magic != kStreamSetMagic)
        return false;
    if (!header.ReadVarint(&count) || count > kMaxStreams)
        return false;
    uint32_t lengths[kMaxStreams];
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (!header.ReadVarint(&lengths[i]))
            return false;
        total += lengths[i];
    }
    if (total != header.Remaining())
        return false;
    for (uint32_t i = 0; i < count; ++i)
        header.TakeSubstream(lengths[i], &m_Streams[i]);
    for (size_t i = count; i < kMaxStreams; ++i)
        m_Streams[i].Init(nullptr, 0);
    m_Count = count;
    return true;
}

bool ByteSourceSet::ParseRemaining(const ByteSource &source)
{
    return Parse(source.Position(), source.Remaining());
}

bool ByteSourceSet::ReadNested(ByteSourceSet *nested)
{
    ByteSource *header = Stream(0);
    uint32_t used;
    if (header == nullptr || !header->ReadVarint(&used) || used > kMaxStreams)
        return false;
    uint32_t lengths[kMaxStreams];
    for (uint32_t i = 0; i < used; ++i) {
        if (!header->ReadVarint(&lengths[i]))
            return false;
    }
    for (uint32_t i = 0; i < used; ++i) {
        ByteSource *stream = Stream(i);
        if (stream == nullptr || !stream->TakeSubstream(lengths[i], &nested->m_Streams[i]))
            return false;
    }
    return true;
}

bool ByteSourceSet::AllConsumed() const
{
    for (size_t i = 0; i < m_Count; ++i) {
        if (!m_Streams[i].IsConsumed())
            return false;
    }
    return true;
}

bool ByteSinkSet::SetCount(size_t count)
{
    if (count > kMaxStreams)
        return false;
    for (const ByteSink &stream : m_Streams) {
        if (stream.Size() != 0)
            return false;
    }
    m_Count = count;
    return true;
}

bool ByteSinkSet::Combine(ByteSink *sink)
{
    ByteSink header;
    header.WriteVarint(kStreamSetMagic);
    header.WriteSizeVarint(m_Count);
    size_t total = 0;
    for (size_t i = 0; i < m_Count; ++i) {
        header.WriteSizeVarint(m_Streams[i].Size());
        total += m_Streams[i].Size();
    }
    if (header.IsFailed() || !sink->Reserve(sink->Size() + header.Size() + total)
        || !sink->AppendAndRelease(&header))
        return false;
    for (size_t i = 0; i < m_Count; ++i) {
        if (!sink->AppendAndRelease(&m_Streams[i]))
            return false;
    }
    return true;
}

bool ByteSinkSet::WriteNested(ByteSinkSet *nested)
{
    size_t used = 0;
    for (size_t i = 0; i < kMaxStreams; ++i) {
        if (nested->m_Streams[i].Size() != 0)
            used = i + 1;
    }
    if (m_Count == 0 || used > m_Count)
        return false;
    ByteSink &header = m_Streams[0];
    header.WriteSizeVarint(used);
    for (size_t i = 0; i < used; ++i)
        header.WriteSizeVarint(nested->m_Streams[i].Size());
    if (header.IsFailed())
        return false;
    for (size_t i = 0; i < used; ++i) {
        if (!m_Streams[i].AppendAndRelease(&nested->m_Streams[i]))
            return false;
    }
    return true;
}

} // namespace vxpatch
