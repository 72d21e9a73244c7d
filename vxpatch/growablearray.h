// Growable array of plain values for the engine's tables. Growth never throws: a failed
// allocation is a false result and leaves the array as it was, so the engine can turn
// running out of memory into a status instead of dying on a worker thread. Capacity doubles
// from 64 elements (256 for byte arrays), which keeps encoded tables cheap to build.
#pragma once

#include "vxpatch/blockmemory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace vxpatch {

template <typename T>
class GrowableArray {
    static_assert(std::is_trivially_copyable<T>::value, "elements are moved with memcpy");

public:
    GrowableArray() = default;
    ~GrowableArray() { FreeBlock(m_Data, m_Capacity * sizeof(T)); }
    GrowableArray(GrowableArray &&other) noexcept { Swap(other); }
    GrowableArray &operator=(GrowableArray &&other) noexcept
    {
        Swap(other);
        return *this;
    }
    GrowableArray(const GrowableArray &) = delete;
    GrowableArray &operator=(const GrowableArray &) = delete;

    bool Push(const T &value)
    {
        if (m_Size == m_Capacity && !Grow(m_Size + 1))
            return false;
        m_Data[m_Size++] = value;
        return true;
    }

    bool Append(const T *values, size_t count)
    {
        if (count == 0)
            return true;
        if (count > SIZE_MAX / sizeof(T) - m_Size || !Reserve(m_Size + count))
            return false;
        std::memcpy(m_Data + m_Size, values, count * sizeof(T));
        m_Size += count;
        return true;
    }

    // Grows to `size` elements, the new ones set to `fill`; never shrinks.
    bool GrowTo(size_t size, const T &fill)
    {
        if (size <= m_Size)
            return true;
        if (!Reserve(size))
            return false;
        for (size_t i = m_Size; i < size; ++i)
            m_Data[i] = fill;
        m_Size = size;
        return true;
    }

    bool Reserve(size_t capacity) { return capacity <= m_Capacity || Grow(capacity); }

    void Clear()
    {
        FreeBlock(m_Data, m_Capacity * sizeof(T));
        m_Data = nullptr;
        m_Size = 0;
        m_Capacity = 0;
    }

    // Keeps the first `size` elements.
    void Truncate(size_t size)
    {
        if (size < m_Size)
            m_Size = size;
    }

    size_t Size() const { return m_Size; }
    bool Empty() const { return m_Size == 0; }
    T *Data() { return m_Data; }
    const T *Data() const { return m_Data; }
    T &operator[](size_t i) { return m_Data[i]; }
    const T &operator[](size_t i) const { return m_Data[i]; }
    T &Back() { return m_Data[m_Size - 1]; }
    const T &Back() const { return m_Data[m_Size - 1]; }
    T *begin() { return m_Data; }
    T *end() { return m_Data + m_Size; }
    const T *begin() const { return m_Data; }
    const T *end() const { return m_Data + m_Size; }

private:
    static constexpr size_t kInitialCapacity = sizeof(T) == 1 ? 256 : 64;

    bool Grow(size_t minimum)
    {
        const size_t limit = SIZE_MAX / sizeof(T);
        if (minimum > limit)
            return false;
        size_t capacity = m_Capacity ? m_Capacity : kInitialCapacity;
        while (capacity < minimum)
            capacity = capacity > limit / 2 ? limit : capacity * 2;
        void *data =
            ResizeBlock(m_Data, m_Capacity * sizeof(T), m_Size * sizeof(T), capacity * sizeof(T));
        if (!data)
            return false;
        m_Data = static_cast<T *>(data);
        m_Capacity = capacity;
        return true;
    }

    void Swap(GrowableArray &other) noexcept
    {
        T *data = m_Data;
        size_t size = m_Size, capacity = m_Capacity;
        m_Data = other.m_Data;
        m_Size = other.m_Size;
        m_Capacity = other.m_Capacity;
        other.m_Data = data;
        other.m_Size = size;
        other.m_Capacity = capacity;
    }

    T *m_Data = nullptr;
    size_t m_Size = 0;
    size_t m_Capacity = 0;
};

} // namespace vxpatch
