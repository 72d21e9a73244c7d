// Where the executable images of a file lie: each recognised slice of a universal (fat)
// Mach-O file, or the file itself. The container writer stores these images as programs
// and `vxpatch info` lists them; both must see the same images.
#pragma once

#include "vxpatch/executabletype.h"
#include "vxpatch/growablearray.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

struct ExecutableElement {
    size_t offset;
    size_t length; // of the image as its reader sees it, at most the slice or file
    ExecutableType type;
};

// Fills `elements` in file order; false only when out of memory. A universal file is at
// least 4096 bytes, starts with CA FE BA BE and lists 1 to 8 slices; a slice counts when it
// lies inside the file, overlaps no earlier counted slice and a reader accepts it.
bool FindExecutableElements(const uint8_t *data, size_t length, GrowableArray<ExecutableElement> *elements);

} // namespace vxpatch
