#include "vxpatch/suffixindex.h"

#include <divsufsort.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace vxpatch {

SuffixIndex::~SuffixIndex() { Release(); }

void SuffixIndex::Release() {
    std::free(m_Suffixes);
    m_Suffixes = nullptr;
    m_Old = nullptr;
    m_Size = 0;
}

bool SuffixIndex::Build(const uint8_t *old_data, size_t old_size) {
    Release();
    if (old_size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return false;
    m_Old = old_data;
    m_Size = static_cast<int32_t>(old_size);
    if (old_size == 0)
        return true;
    m_Suffixes = static_cast<int32_t*>(std::malloc(old_size * sizeof(int32_t)));
    if (m_Suffixes == nullptr || divsufsort(old_data, m_Suffixes, m_Size) != 0) {
        Release();
        return false;
    }
    return true;
}

size_t SuffixIndex::CommonPrefix(int32_t suffix, size_t skip, const uint8_t *key,
                                 size_t key_size) const {
    const size_t available = static_cast<size_t>(m_Size - suffix);
    const size_t limit = std::min(available, key_size);
    const uint8_t *old = m_Old + suffix;
    size_t i = skip;
    while (i < limit && old[i] == key[i])
        ++i;
    return i;
}

SuffixMatch SuffixIndex::LongestMatch(const uint8_t *key, size_t key_size,
                                      int64_t preferred) const {
    // Invariant: the key sorts after suffix `low` and before suffix `high`; -1 and m_Size stand
    // for the empty ends and share nothing with the key. Every suffix between the bounds shares
    // at least min(low_common, high_common) bytes with the key, so those are never compared.
    int32_t low = -1, high = m_Size;
    size_t low_common = 0, high_common = 0;
    while (high - low > 1) {
        const int32_t middle = low + (high - low) / 2;
        const int32_t suffix = m_Suffixes[middle];
        const size_t common =
                CommonPrefix(suffix, std::min(low_common, high_common), key, key_size);
        if (common == key_size)
            return SuffixMatch{suffix, static_cast<int32_t>(common)};
        const bool suffix_ended = common == static_cast<size_t>(m_Size - suffix);
        if (suffix_ended || m_Old[suffix + common] < key[common]) {
            low = middle;
            low_common = common;
        } else {
            high = middle;
            high_common = common;
        }
    }
    SuffixMatch best;
    auto consider = [&](int32_t index, size_t common) {
        if (index < 0 || index >= m_Size || common == 0)
            return;
        const SuffixMatch candidate{m_Suffixes[index], static_cast<int32_t>(common)};
        const bool nearer = std::abs(static_cast<int64_t>(candidate.position) - preferred) <
                            std::abs(static_cast<int64_t>(best.position) - preferred);
        if (candidate.length > best.length || (candidate.length == best.length && nearer))
            best = candidate;
    };
    consider(low, low_common);
    consider(high, high_common);
    return best;
}

} // namespace vxpatch
