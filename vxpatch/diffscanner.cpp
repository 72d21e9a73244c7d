#include "vxpatch/diffscanner.h"

#include <algorithm>

namespace vxpatch {

namespace {

// A new alignment must match this many bytes more than the current one before a region is
// cut: each cut costs a control triple and breaks a run of zero difference bytes.
constexpr int64_t kMinimumGain = 8;
// Longest key handed to the index. Longer matches are simply found again piecewise, and the
// cap keeps repetitive data (long runs of one byte) from costing a full run per position.
constexpr int64_t kMaxMatchKey = int64_t(1) << 14;

} // namespace

DiffScanner::DiffScanner(const uint8_t *oldData, size_t oldSize, const uint8_t *newData,
                         size_t newSize, const SuffixIndex &index)
    : m_Old(oldData), m_OldSize(static_cast<int64_t>(oldSize)), m_New(newData),
      m_NewSize(static_cast<int64_t>(newSize)), m_Index(index)
{
}

bool DiffScanner::AgreesAtLastOffset(int64_t newPosition) const
{
    const int64_t oldPosition = newPosition + m_LastOffset;
    return oldPosition >= 0 && oldPosition < m_OldSize && m_Old[oldPosition] == m_New[newPosition];
}

bool DiffScanner::FindNextAlignment(int64_t *scanInOut, SuffixMatch *match) const
{
    int64_t scan = *scanInOut + match->length;
    // oldScore counts the bytes of [scan, scored) that the current alignment already matches.
    int64_t scored = scan;
    int64_t oldScore = 0;
    for (; scan < m_NewSize; ++scan) {
        const size_t keySize = static_cast<size_t>(std::min(m_NewSize - scan, kMaxMatchKey));
        *match = m_Index.LongestMatch(m_New + scan, keySize, scan + m_LastOffset);
        for (; scored < scan + match->length; ++scored)
            oldScore += AgreesAtLastOffset(scored) ? 1 : 0;
        const bool sameAlignment = match->length == oldScore && match->length != 0;
        if (sameAlignment || match->length > oldScore + kMinimumGain)
            break;
        if (scored > scan)
            oldScore -= AgreesAtLastOffset(scan) ? 1 : 0;
        else
            scored = scan + 1;
    }
    *scanInOut = scan;
    return match->length != oldScore || scan == m_NewSize;
}

// Length of the approximate copy that continues the previous region: the prefix where
// matching bytes outnumber mismatches by the widest margin.
int64_t DiffScanner::ForwardExtension(int64_t scan) const
{
    int64_t agreeing = 0, bestScore = 0, length = 0;
    for (int64_t i = 0; m_LastScan + i < scan && m_LastPosition + i < m_OldSize;) {
        agreeing += m_Old[m_LastPosition + i] == m_New[m_LastScan + i] ? 1 : 0;
        ++i;
        if (agreeing * 2 - i > bestScore * 2 - length) {
            bestScore = agreeing;
            length = i;
        }
    }
    return length;
}

// The same backwards from the start of the next exact match.
int64_t DiffScanner::BackwardExtension(int64_t scan, int64_t position) const
{
    int64_t agreeing = 0, bestScore = 0, length = 0;
    for (int64_t i = 1; scan >= m_LastScan + i && position >= i; ++i) {
        agreeing += m_Old[position - i] == m_New[scan - i] ? 1 : 0;
        if (agreeing * 2 - i > bestScore * 2 - length) {
            bestScore = agreeing;
            length = i;
        }
    }
    return length;
}

// Both extensions claim the same new bytes: give each byte to the side that matches it.
void DiffScanner::SplitOverlap(int64_t scan, int64_t position, int64_t *forward,
                               int64_t *backward) const
{
    const int64_t overlap = (m_LastScan + *forward) - (scan - *backward);
    int64_t score = 0, bestScore = 0, split = 0;
    for (int64_t i = 0; i < overlap; ++i) {
        const int64_t forwardNew = m_LastScan + *forward - overlap + i;
        const int64_t forwardOld = m_LastPosition + *forward - overlap + i;
        score += m_New[forwardNew] == m_Old[forwardOld] ? 1 : 0;
        score -= m_New[scan - *backward + i] == m_Old[position - *backward + i] ? 1 : 0;
        if (score > bestScore) {
            bestScore = score;
            split = i + 1;
        }
    }
    *forward += split - overlap;
    *backward -= split;
}

bool DiffScanner::EmitRegion(int64_t scan, int64_t position, DiffStreamSinks *out)
{
    int64_t forward = ForwardExtension(scan);
    int64_t backward = scan < m_NewSize ? BackwardExtension(scan, position) : 0;
    if (m_LastScan + forward > scan - backward)
        SplitOverlap(scan, position, &forward, &backward);

    uint8_t *delta = out->diff.Extend(static_cast<size_t>(forward));
    if (delta == nullptr && forward != 0)
        return false;
    for (int64_t i = 0; i < forward; ++i)
        delta[i] = static_cast<uint8_t>(m_New[m_LastScan + i] - m_Old[m_LastPosition + i]);
    const int64_t extraStart = m_LastScan + forward;
    const int64_t extraLength = (scan - backward) - extraStart;
    const int64_t seek = (position - backward) - (m_LastPosition + forward);
    const bool written = out->diff.Commit(static_cast<size_t>(forward)) &&
                         out->extra.WriteBytes(m_New + extraStart, static_cast<size_t>(extraLength)) &&
                         out->control.WriteSignedVarint(static_cast<int32_t>(forward)) &&
                         out->control.WriteSignedVarint(static_cast<int32_t>(extraLength)) &&
                         out->control.WriteSignedVarint(static_cast<int32_t>(seek));
    m_LastScan = scan - backward;
    m_LastPosition = position - backward;
    m_LastOffset = position - scan;
    return written;
}

bool DiffScanner::Run(DiffStreamSinks *out)
{
    m_LastScan = m_LastPosition = m_LastOffset = 0;
    int64_t scan = 0;
    SuffixMatch match;
    while (scan < m_NewSize) {
        if (FindNextAlignment(&scan, &match) && !EmitRegion(scan, match.position, out))
            return false;
    }
    return true;
}

} // namespace vxpatch
