#include "vxpatch/ensembleelements.h"

#include "vxpatch/detection.h"

#include <cstring>

namespace vxpatch {

namespace {

// First bytes of every image kind detection knows: PE ("MZ"), ELF, and thin Mach-O in
// either word size. Universal files need no entry: their slices start with these.
bool MayStartImage(const uint8_t *p, size_t left)
{
    if (left >= 2 && p[0] == 'M' && p[1] == 'Z')
        return true;
    if (left < 4)
        return false;
    static const uint8_t kElf[4] = {0x7F, 'E', 'L', 'F'};
    static const uint8_t kMacho32[4] = {0xCE, 0xFA, 0xED, 0xFE};
    static const uint8_t kMacho64[4] = {0xCF, 0xFA, 0xED, 0xFE};
    return std::memcmp(p, kElf, 4) == 0 || std::memcmp(p, kMacho32, 4) == 0
           || std::memcmp(p, kMacho64, 4) == 0;
}

size_t CountOfKind(const GrowableArray<Element> &elements, ExecutableType kind)
{
    size_t count = 0;
    for (const Element &element : elements)
        count += element.kind == kind;
    return count;
}

// The old element of `kind` with rank `rank` among those of its kind.
const Element *NthOfKind(const GrowableArray<Element> &elements, ExecutableType kind,
                         size_t rank)
{
    for (const Element &element : elements) {
        if (element.kind == kind && rank-- == 0)
            return &element;
    }
    return nullptr;
}

const Element *ClosestInLength(const GrowableArray<Element> &elements, const Element &target)
{
    const Element *best = nullptr;
    size_t bestDistance = SIZE_MAX;
    for (const Element &element : elements) {
        if (element.kind != target.kind)
            continue;
        const size_t distance = element.length > target.length ? element.length - target.length
                                                                : target.length - element.length;
        if (distance < bestDistance) {
            best = &element;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace

bool FindElements(const uint8_t *data, size_t size, GrowableArray<Element> *elements)
{
    size_t offset = 0;
    while (offset < size) {
        ExecutableType kind = EXE_UNKNOWN;
        size_t length = 0;
        if (MayStartImage(data + offset, size - offset)
            && IdentifyExecutable(data + offset, size - offset, &kind, &length) == StatusOk
            && length > 0) {
            if (!elements->Push(Element{kind, offset, length}))
                return false;
            offset += length;
            continue;
        }
        ++offset;
    }
    return true;
}

bool PairElements(const GrowableArray<Element> &oldElements,
                  const GrowableArray<Element> &newElements, GrowableArray<ElementPair> *pairs)
{
    size_t rankOfKind[EXE_MACHO_X64 + 1] = {};
    for (const Element &newElement : newElements) {
        const size_t rank = rankOfKind[newElement.kind]++;
        const Element *oldElement =
            CountOfKind(oldElements, newElement.kind) == CountOfKind(newElements, newElement.kind)
                ? NthOfKind(oldElements, newElement.kind, rank)
                : ClosestInLength(oldElements, newElement);
        if (oldElement && !pairs->Push(ElementPair{*oldElement, newElement}))
            return false;
    }
    return true;
}

} // namespace vxpatch
