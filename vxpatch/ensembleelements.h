// Finding the executable elements of a file for the patch maker, and pairing the elements
// of a new file with those of the old one. An element is any range that detection accepts:
// the whole file, each slice of a universal file, an image embedded in an archive. Only the
// bytes where an image can start (its magic) are tried, so scanning a large file costs
// little more than reading it.
#pragma once

#include "vxpatch/executabletype.h"
#include "vxpatch/growablearray.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

struct Element {
    ExecutableType kind;
    size_t offset;
    size_t length;
};

struct ElementPair {
    Element oldElement;
    Element newElement;
};

// Appends the elements of the bytes, in file order and without overlap. False when memory
// runs out.
bool FindElements(const uint8_t *data, size_t size, GrowableArray<Element> *elements);

// Pairs every new element with an old element of the same kind: the one at the same rank
// among the elements of its kind when both files have as many of that kind, otherwise the
// one closest in length. An old element may serve several new ones. New elements with no
// old element of their kind stay unpaired. False when memory runs out.
bool PairElements(const GrowableArray<Element> &oldElements,
                  const GrowableArray<Element> &newElements, GrowableArray<ElementPair> *pairs);

} // namespace vxpatch
