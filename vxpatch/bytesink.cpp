#include "vxpatch/streams.h"

#include "vxpatch/blockmemory.h"

#include "vxlog/log.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace vxpatch {

namespace {

constexpr size_t kMinimumCapacity = 256;

} // namespace

ByteSink::~ByteSink()
{
    FreeBlock(m_Buffer, m_Capacity);
}

ByteSink::ByteSink(ByteSink &&other) noexcept
    : m_Buffer(std::exchange(other.m_Buffer, nullptr)),
      m_Length(std::exchange(other.m_Length, 0)),
      m_Capacity(std::exchange(other.m_Capacity, 0)),
      m_Failed(std::exchange(other.m_Failed, false))
{
}

ByteSink &ByteSink::operator=(ByteSink &&other) noexcept
{
    if (this != &other) {
        FreeBlock(m_Buffer, m_Capacity);
        m_Buffer = std::exchange(other.m_Buffer, nullptr);
        m_Length = std::exchange(other.m_Length, 0);
        m_Capacity = std::exchange(other.m_Capacity, 0);
        m_Failed = std::exchange(other.m_Failed, false);
    }
    return *this;
}

void ByteSink::Fail()
{
    FreeBlock(m_Buffer, m_Capacity);
    m_Buffer = nullptr;
    m_Length = 0;
    m_Capacity = 0;
    m_Failed = true;
}

bool ByteSink::Reserve(size_t capacity)
{
    if (m_Failed)
        return false;
    if (m_Capacity >= capacity)
        return true;
    if (capacity < kMinimumCapacity)
        capacity = kMinimumCapacity;
    void *grown = ResizeBlock(m_Buffer, m_Capacity, m_Length, capacity);
    if (grown == nullptr) {
        Fail();
        return false;
    }
    m_Buffer = static_cast<uint8_t *>(grown);
    m_Capacity = capacity;
    return true;
}

bool ByteSink::Grow(size_t count)
{
    if (m_Failed || count > SIZE_MAX - m_Length)
        return false;
    const size_t needed = m_Length + count;
    if (needed <= m_Capacity)
        return true;
    size_t capacity = m_Capacity != 0 ? m_Capacity : kMinimumCapacity;
    while (capacity < needed)
        capacity = capacity > SIZE_MAX / 2 ? SIZE_MAX : capacity * 2;
    return Reserve(capacity);
}

uint8_t *ByteSink::Extend(size_t count)
{
    return Grow(count) ? SpareSpace() : nullptr;
}

bool ByteSink::Commit(size_t count)
{
    if (m_Failed || count > SpareCapacity())
        return false;
    m_Length += count;
    return true;
}

bool ByteSink::WriteBytes(const void *data, size_t count)
{
    if (m_Failed)
        return false;
    if (count == 0)
        return true;
    if (!Grow(count))
        return false;
    std::memcpy(m_Buffer + m_Length, data, count);
    m_Length += count;
    return true;
}

bool ByteSink::WriteVarint(uint32_t value)
{
    uint8_t bytes[5];
    size_t n = 0;
    while (value >= 0x80) {
        bytes[n++] = static_cast<uint8_t>(value | 0x80);
        value >>= 7;
    }
    bytes[n++] = static_cast<uint8_t>(value);
    return WriteBytes(bytes, n);
}

bool ByteSink::WriteSignedVarint(int32_t value)
{
    const uint32_t bits = static_cast<uint32_t>(value);
    const uint32_t sign = value < 0 ? 0xFFFFFFFFu : 0u;
    return WriteVarint((bits << 1) ^ sign);
}

bool ByteSink::WriteSizeVarint(size_t value)
{
    const uint32_t narrowed_value = static_cast<uint32_t>(value);
    if (value != narrowed_value)
        vxlog::LogAssertion("value == narrowed_value", __FILE__, __LINE__);
    return WriteVarint(narrowed_value);
}

bool ByteSink::AppendAndRelease(ByteSink *other)
{
    // Growing would free the very bytes being copied.
    if (other == this)
        return false;
    if (!WriteBytes(other->Data(), other->Size()))
        return false;
    other->Release();
    return true;
}

void ByteSink::Truncate(size_t length)
{
    if (length < m_Length)
        m_Length = length;
}

bool ByteSink::KeepOnly(size_t offset, size_t length)
{
    if (m_Failed || offset > m_Length || length > m_Length - offset)
        return false;
    if (length != 0)
        std::memmove(m_Buffer, m_Buffer + offset, length);
    m_Length = length;
    // A smaller block that cannot be had only means the capacity stays.
    if (void *shrunk = ResizeBlock(m_Buffer, m_Capacity, m_Length, m_Length)) {
        m_Buffer = static_cast<uint8_t *>(shrunk);
        m_Capacity = m_Length;
    }
    return true;
}

void ByteSink::Release()
{
    FreeBlock(m_Buffer, m_Capacity);
    m_Buffer = nullptr;
    m_Length = 0;
    m_Capacity = 0;
}

} // namespace vxpatch
