// Labels and the map that owns them. A label is an address that a program's references
// point to; a map holds the labels of one kind (absolute or relative targets) of one
// program. Disassembly looks labels up in address order it does not control and needs
// them in address order afterwards, so the map hashes for lookup and sorts its list of
// labels only when asked for the order. Labels live in fixed blocks: a label removed from
// the map stays valid for the instructions that still point to it, until the map dies.
// An ARM image makes a million labels and more; the hash table names a label by its
// number in the blocks, so a slot takes eight bytes, and a removal only marks the slots of
// the removed labels instead of rebuilding the table.
#pragma once

#include "vxpatch/growablearray.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

struct Label {
    uint32_t rva = 0;  // the address the label stands for
    int32_t index = -1; // position in the program's address table; -1 while unassigned
    int32_t count = 0;  // references made to the label
};

class LabelMap {
public:
    LabelMap() = default;
    ~LabelMap();
    LabelMap(const LabelMap &) = delete;
    LabelMap &operator=(const LabelMap &) = delete;

    // The label for `rva`, made (index -1, count 0) when absent; null when out of memory.
    // Does not count the lookup.
    Label *FindOrAdd(uint32_t rva);
    // The label for `rva`, or null.
    Label *Find(uint32_t rva) const;

    size_t Size() const { return m_Labels.Size(); }
    // The labels in ascending address order. Sorting happens here, in place and without
    // allocating; the list stays valid until the next FindOrAdd or RemoveIf.
    Label *const *begin() const;
    Label *const *end() const { return m_Labels.end(); }

    // Takes out of the map every label for which `remove(label)` is true; the labels
    // themselves stay alive.
    template <typename Predicate>
    void RemoveIf(Predicate remove)
    {
        size_t kept = 0;
        for (Label *label : m_Labels) {
            if (!remove(*label))
                m_Labels[kept++] = label;
        }
        m_Labels.Truncate(kept);
        for (Slot &slot : m_Table) {
            if (slot.label != kEmpty && slot.label != kRemoved
                && remove(*LabelNumbered(slot.label - 1)))
                slot.label = kRemoved;
        }
    }

private:
    // A slot names its label by number plus one. A removed label's slot stays marked so
    // that the probes of labels placed after it still reach them.
    struct Slot {
        uint32_t rva;
        uint32_t label;
    };
    static constexpr uint32_t kEmpty = 0;
    static constexpr uint32_t kRemoved = UINT32_MAX;

    bool ResizeTable(size_t size);
    void Insert(uint32_t rva, uint32_t number);
    Label *LabelNumbered(uint32_t number) const;
    Label *NewLabel(uint32_t rva);

    mutable GrowableArray<Label *> m_Labels; // every label in the map, sorted while m_Sorted
    GrowableArray<Label *> m_Blocks;  // storage of all labels ever made, numbered in order
    size_t m_LabelsMade = 0;
    // Open addressing on rva, power-of-two size. The rva is kept in the slot so a probe
    // does not have to visit the label.
    GrowableArray<Slot> m_Table;
    size_t m_SlotsTaken = 0; // by labels and by removal marks
    mutable bool m_Sorted = true;
};

} // namespace vxpatch
