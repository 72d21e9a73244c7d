#include "vxpatch/labelindexes.h"

#include "vxlog/log.h"

#include <string>

namespace vxpatch {

namespace {

void NumberInOrder(LabelMap &labels)
{
    int32_t next = 0;
    for (Label *label : labels) {
        if (label->index != -1)
            vxlog::Log("REACHED UNREACHABLE", vxlog::LogLevel_ERROR);
        label->index = next++;
    }
}

// Which indexes are taken while FillLabelIndexes runs. Starts as large as the map and grows
// when a held index or the infill needs more.
class IndexSet {
public:
    bool Init(LabelMap &labels)
    {
        if (!m_Used.GrowTo(labels.Size(), 0))
            return false;
        for (Label *label : labels) {
            if (label->index < 0)
                continue;
            if (!m_Used.GrowTo(static_cast<size_t>(label->index) + 1, 0))
                return false;
            if (!m_Used[label->index])
                ++m_Taken;
            m_Used[label->index] = 1;
        }
        return true;
    }

    size_t Size() const { return m_Used.Size(); }
    size_t Taken() const { return m_Taken; }
    bool Available(int64_t index) const
    {
        return index >= 0 && static_cast<size_t>(index) < m_Used.Size() && !m_Used[index];
    }
    void Take(Label *label, int32_t index)
    {
        label->index = index;
        m_Used[index] = 1;
        ++m_Taken;
    }
    // The lowest free index at or above `from`; the set grows by one when none is free,
    // which cannot happen while it is at least as large as the map.
    bool LowestFreeFrom(size_t from, int32_t *index)
    {
        while (from < m_Used.Size() && m_Used[from])
            ++from;
        if (from >= m_Used.Size() && !m_Used.GrowTo(from + 1, 0))
            return false;
        *index = static_cast<int32_t>(from);
        return true;
    }

private:
    GrowableArray<uint8_t> m_Used;
    size_t m_Taken = 0;
};

size_t FillForward(LabelMap &labels, IndexSet &used)
{
    size_t filled = 0;
    const Label *previous = nullptr;
    for (Label *label : labels) {
        if (label->index == -1) {
            const int64_t wanted = previous && previous->index != -1 ? previous->index + 1 : 0;
            if (used.Available(wanted)) {
                used.Take(label, static_cast<int32_t>(wanted));
                ++filled;
            }
        }
        previous = label;
    }
    return filled;
}

size_t FillBackward(LabelMap &labels, IndexSet &used)
{
    size_t filled = 0;
    int64_t above = static_cast<int64_t>(used.Size());
    for (Label *const *it = labels.end(); it != labels.begin();) {
        Label *label = *--it;
        if (label->index == -1 && above != 0 && above != -1 && used.Available(above - 1)) {
            used.Take(label, static_cast<int32_t>(above - 1));
            ++filled;
        }
        above = label->index;
    }
    return filled;
}

bool Infill(LabelMap &labels, IndexSet &used, size_t *filled)
{
    size_t from = 0;
    for (Label *label : labels) {
        if (label->index != -1)
            continue;
        int32_t index;
        if (!used.LowestFreeFrom(from, &index))
            return false;
        used.Take(label, index);
        from = static_cast<size_t>(index) + 1;
        ++*filled;
    }
    return true;
}

} // namespace

void NumberLabelsInOrder(ParsedProgram *program)
{
    NumberInOrder(program->Abs32Labels());
    NumberInOrder(program->Rel32Labels());
}

void ClearLabelIndexes(LabelMap *labels)
{
    for (Label *label : *labels)
        label->index = -1;
}

bool FillLabelIndexes(LabelMap *labels)
{
    IndexSet used;
    if (!used.Init(*labels))
        return false;
    vxlog::Log(std::to_string(used.Taken()) + " of " + std::to_string(labels->Size()) +
                   " labels pre-assigned",
               vxlog::LogLevel_DEBUG);
    const size_t forward = FillForward(*labels, used);
    const size_t backward = FillBackward(*labels, used);
    size_t infill = 0;
    if (!Infill(*labels, used, &infill))
        return false;
    vxlog::Log("  fill forward " + std::to_string(forward) + "  backward " +
                   std::to_string(backward) + "  infill " + std::to_string(infill),
               vxlog::LogLevel_DEBUG);
    return true;
}

} // namespace vxpatch
