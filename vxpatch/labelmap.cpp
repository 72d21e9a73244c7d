#include "vxpatch/labelmap.h"

#include <algorithm>
#include <new>

namespace vxpatch {

namespace {

constexpr size_t kBlockShift = 10;
constexpr size_t kBlockSize = size_t{1} << kBlockShift;
constexpr size_t kFirstTableSize = 64;
// Label numbers are stored in 32 bits, plus one for the empty slot.
constexpr size_t kMostLabels = UINT32_MAX - 1;

// Addresses cluster and share low bits (aligned targets), so they are mixed before masking.
size_t SlotOf(uint32_t rva, size_t tableSize)
{
    uint32_t h = rva;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h & (tableSize - 1);
}

} // namespace

LabelMap::~LabelMap()
{
    for (Label *block : m_Blocks)
        delete[] block;
}

Label *LabelMap::LabelNumbered(uint32_t number) const
{
    return &m_Blocks[number >> kBlockShift][number & (kBlockSize - 1)];
}

Label *LabelMap::Find(uint32_t rva) const
{
    const size_t size = m_Table.Size();
    if (size == 0)
        return nullptr;
    for (size_t i = SlotOf(rva, size);; i = (i + 1) & (size - 1)) {
        const Slot &slot = m_Table[i];
        if (slot.label == kEmpty)
            return nullptr;
        if (slot.rva == rva && slot.label != kRemoved)
            return LabelNumbered(slot.label - 1);
    }
}

Label *LabelMap::FindOrAdd(uint32_t rva)
{
    if (Label *label = Find(rva))
        return label;
    // Keep the table at most half full so probes stay short; a resize that finds it full
    // of removal marks keeps the size and only drops them.
    const size_t size = m_Table.Size();
    if ((m_SlotsTaken + 1) * 2 > size) {
        const bool grow = (m_Labels.Size() + 1) * 4 > size;
        if (!ResizeTable(size == 0 ? kFirstTableSize : grow ? size * 2 : size))
            return nullptr;
    }
    if (m_LabelsMade >= kMostLabels || !m_Labels.Reserve(m_Labels.Size() + 1))
        return nullptr;
    Label *label = NewLabel(rva);
    if (!label)
        return nullptr;
    m_Labels.Push(label);
    Insert(rva, static_cast<uint32_t>(m_LabelsMade - 1));
    m_Sorted = false;
    return label;
}

Label *const *LabelMap::begin() const
{
    if (!m_Sorted) {
        std::sort(m_Labels.begin(), m_Labels.end(),
                  [](const Label *a, const Label *b) { return a->rva < b->rva; });
        m_Sorted = true;
    }
    return m_Labels.begin();
}

Label *LabelMap::NewLabel(uint32_t rva)
{
    if ((m_LabelsMade & (kBlockSize - 1)) == 0) {
        if (!m_Blocks.Reserve(m_Blocks.Size() + 1))
            return nullptr;
        Label *block = new (std::nothrow) Label[kBlockSize];
        if (!block)
            return nullptr;
        m_Blocks.Push(block);
    }
    Label *label = LabelNumbered(static_cast<uint32_t>(m_LabelsMade++));
    label->rva = rva;
    return label;
}

// Moves the labels into an empty table of `size` slots, leaving the removal marks behind;
// on failure the table stays as it was.
bool LabelMap::ResizeTable(size_t size)
{
    GrowableArray<Slot> table;
    if (!table.GrowTo(size, Slot{0, kEmpty}))
        return false;
    std::swap(table, m_Table);
    m_SlotsTaken = 0;
    for (const Slot &slot : table) {
        if (slot.label != kEmpty && slot.label != kRemoved)
            Insert(slot.rva, slot.label - 1);
    }
    return true;
}

void LabelMap::Insert(uint32_t rva, uint32_t number)
{
    const size_t size = m_Table.Size();
    size_t i = SlotOf(rva, size);
    while (m_Table[i].label != kEmpty)
        i = (i + 1) & (size - 1);
    m_Table[i] = Slot{rva, number + 1};
    ++m_SlotsTaken;
}

} // namespace vxpatch
