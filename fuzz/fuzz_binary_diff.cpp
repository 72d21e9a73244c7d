// Arbitrary bytes applied as a header-less binary diff.
#include "fuzz/binarydifffuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return vxfuzz::ApplyArbitraryDiff(data, size, false);
}
