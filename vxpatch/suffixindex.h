// Suffix array over the old file, answering "where in the old file does the longest prefix of
// these new bytes occur". The diff maker asks this once per scanned position, so a lookup
// must stay near O(match length + log n): the binary search carries the common prefix known
// from both bounds and never re-compares those bytes.
// The array costs four bytes per old byte; it is freed as soon as matching is done so that
// compression of the diff never shares the peak with it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vxpatch {

struct SuffixMatch {
    int32_t position = 0;  // start of the match in the old bytes
    int32_t length = 0;    // 0 when nothing matches
};

class SuffixIndex {
public:
    SuffixIndex() = default;
    ~SuffixIndex();
    SuffixIndex(const SuffixIndex &) = delete;
    SuffixIndex &operator=(const SuffixIndex &) = delete;

    // Sorts the suffixes of `old_data`, which must outlive the index. False when the size does
    // not fit a 32-bit index or the array cannot be allocated.
    bool Build(const uint8_t *old_data, size_t old_size);
    void Release();

    // Longest prefix of key[0, key_size) found in the old bytes. When both neighbours of the
    // key's place in the order match equally far, the one nearer to `preferred` (an old
    // position) wins: a small seek costs fewer control bytes.
    SuffixMatch LongestMatch(const uint8_t *key, size_t key_size, int64_t preferred) const;

private:
    size_t CommonPrefix(int32_t suffix, size_t skip, const uint8_t *key, size_t key_size) const;

    const uint8_t *m_Old = nullptr;
    int32_t m_Size = 0;
    int32_t *m_Suffixes = nullptr;
};

} // namespace vxpatch
