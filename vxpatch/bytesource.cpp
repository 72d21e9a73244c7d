#include "vxpatch/streams.h"

#include <cstring>

namespace vxpatch {

void ByteSource::Init(const uint8_t *data, size_t length)
{
    m_Start = data;
    m_End = data + length;
    m_Current = data;
}

void ByteSource::Init(const ByteSink &sink)
{
    Init(sink.Data(), sink.Size());
}

bool ByteSource::ReadBytes(void *destination, size_t count)
{
    if (count > Remaining())
        return false;
    if (count != 0)
        std::memcpy(destination, m_Current, count);
    m_Current += count;
    return true;
}

bool ByteSource::ReadVarint(uint32_t *value)
{
    uint32_t result = 0;
    const uint8_t *p = m_Current;
    for (int shift = 0; shift <= 28; shift += 7) {
        if (p == m_End)
            return false;
        const uint8_t byte = *p++;
        if (shift == 28) {
            // The fifth byte ends the number; only its low four bits fit in 32 bits.
            if (byte & 0x80)
                return false;
            result |= static_cast<uint32_t>(byte) << 28;
            break;
        }
        result |= static_cast<uint32_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            break;
    }
    *value = result;
    m_Current = p;
    return true;
}

bool ByteSource::ReadSignedVarint(int32_t *value)
{
    uint32_t zigzag;
    if (!ReadVarint(&zigzag))
        return false;
    *value = static_cast<int32_t>((zigzag >> 1) ^ (0u - (zigzag & 1)));
    return true;
}

bool ByteSource::Skip(size_t count)
{
    if (count > Remaining())
        return false;
    m_Current += count;
    return true;
}

bool ByteSource::TakeSubstream(size_t count, ByteSource *out)
{
    if (count > Remaining())
        return false;
    out->Init(m_Current, count);
    m_Current += count;
    return true;
}

} // namespace vxpatch
