#include "vxpatch/labelnumbering.h"

#include <algorithm>

namespace vxpatch {

namespace {

bool MoreUsed(const Label *a, const Label *b)
{
    return a->count != b->count ? a->count > b->count : a->rva < b->rva;
}

bool LowerAddress(const Label *a, const Label *b)
{
    return a->rva < b->rva;
}

} // namespace

bool NumberLabelsByUse(LabelMap *labels)
{
    GrowableArray<Label *> order;
    if (!order.Append(labels->begin(), labels->Size())) {
        for (Label *label : *labels)
            label->index = -1;
        return false;
    }
    Label **const first = order.begin();
    Label **const last = order.end();
    std::sort(first, last, MoreUsed);
    Label **const tier1 = first + std::min(order.Size(), kOneByteIndexes);
    Label **const tier2 = first + std::min(order.Size(), kTwoByteIndexes);
    std::sort(first, tier1, LowerAddress);
    std::sort(tier1, tier2, LowerAddress);
    std::sort(tier2, last, LowerAddress);
    int32_t next = 0;
    for (Label *label : order)
        label->index = next++;
    return true;
}

} // namespace vxpatch
