#include "vxpatch/labelmap.h"

#include <algorithm>
#include <new>

namespace vxpatch {

namespace {

constexpr size_t kBlockSize = 1024;

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
    std::free(m_Table);
}

Label *LabelMap::Find(uint32_t rva) const
{
    if (!m_TableSize)
        return nullptr;
    for (size_t i = SlotOf(rva, m_TableSize);; i = (i + 1) & (m_TableSize - 1)) {
        const Slot &slot = m_Table[i];
        if (!slot.label || slot.rva == rva)
            return slot.label;
    }
}

Label *LabelMap::FindOrAdd(uint32_t rva)
{
    if (Label *label = Find(rva))
        return label;
    // Keep the table at most half full so probes stay short.
    if ((m_Labels.Size() + 1) * 2 > m_TableSize && !GrowTable())
        return nullptr;
    if (!m_Labels.Reserve(m_Labels.Size() + 1))
        return nullptr;
    Label *label = NewLabel(rva);
    if (!label)
        return nullptr;
    m_Labels.Push(label);
    Insert(label);
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
    if (m_Blocks.Empty() || m_UsedInBlock == kBlockSize) {
        if (!m_Blocks.Reserve(m_Blocks.Size() + 1))
            return nullptr;
        Label *block = new (std::nothrow) Label[kBlockSize];
        if (!block)
            return nullptr;
        m_Blocks.Push(block);
        m_UsedInBlock = 0;
    }
    Label *label = &m_Blocks.Back()[m_UsedInBlock++];
    label->rva = rva;
    return label;
}

bool LabelMap::GrowTable()
{
    const size_t size = m_TableSize ? m_TableSize * 2 : 64;
    Slot *table = static_cast<Slot *>(std::calloc(size, sizeof(Slot)));
    if (!table)
        return false;
    std::free(m_Table);
    m_Table = table;
    m_TableSize = size;
    for (Label *label : m_Labels)
        Insert(label);
    return true;
}

void LabelMap::Rehash()
{
    std::fill(m_Table, m_Table + m_TableSize, Slot{0, nullptr});
    for (Label *label : m_Labels)
        Insert(label);
}

void LabelMap::Insert(Label *label)
{
    size_t i = SlotOf(label->rva, m_TableSize);
    while (m_Table[i].label)
        i = (i + 1) & (m_TableSize - 1);
    m_Table[i] = Slot{label->rva, label};
}

} // namespace vxpatch
