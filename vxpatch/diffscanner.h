// Matching of a new file against an old one for the binary diff maker. The scanner walks the
// new bytes once and cuts them into regions; each region is an approximate copy of old bytes
// (stored as byte-wise differences, mostly zeros when code merely moved and its addresses
// shifted) followed by bytes found nowhere in the old file. A new alignment is taken only when
// an exact match beats the current alignment by a clear margin, so the control stream stays
// short and the difference bytes stay runs of zeros that compress to almost nothing.
#pragma once

#include "vxpatch/streams.h"
#include "vxpatch/suffixindex.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

// The three streams of a diff as the scanner writes them.
struct DiffStreamSinks {
    ByteSink control;
    ByteSink diff;
    ByteSink extra;
};

class DiffScanner {
public:
    // Both byte ranges and the index (built over the old bytes) must outlive the scanner;
    // sizes must fit 31 bits.
    DiffScanner(const uint8_t *oldData, size_t oldSize, const uint8_t *newData, size_t newSize,
                const SuffixIndex &index);
    DiffScanner(const DiffScanner &) = delete;
    DiffScanner &operator=(const DiffScanner &) = delete;

    // Writes the whole diff into `out`; false only when memory runs out.
    bool Run(DiffStreamSinks *out);

private:
    bool AgreesAtLastOffset(int64_t newPosition) const;
    // Moves `scan` past `match` to the next place where a new alignment pays off, or to the
    // end; true when a region must be cut there.
    bool FindNextAlignment(int64_t *scan, SuffixMatch *match) const;
    int64_t ForwardExtension(int64_t scan) const;
    int64_t BackwardExtension(int64_t scan, int64_t position) const;
    void SplitOverlap(int64_t scan, int64_t position, int64_t *forward, int64_t *backward) const;
    bool EmitRegion(int64_t scan, int64_t position, DiffStreamSinks *out);

    const uint8_t *m_Old;
    int64_t m_OldSize;
    const uint8_t *m_New;
    int64_t m_NewSize;
    const SuffixIndex &m_Index;
    int64_t m_LastScan = 0;
    int64_t m_LastPosition = 0;
    int64_t m_LastOffset = 0;
};

} // namespace vxpatch
