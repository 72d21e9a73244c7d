#include "vxpatch/disanddiffwriter.h"

namespace vxpatch {

// No disassembler is wired into the container writer yet, so no image is ever recognised.
bool MakeDisAndDiffSet(const uint8_t *data, size_t length, ByteSink *set)
{
    return false;
}

} // namespace vxpatch
