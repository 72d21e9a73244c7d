// Arbitrary bytes applied as a binary diff with the "VXDIFF10" header.
#include "fuzz/binarydifffuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return vxfuzz::ApplyArbitraryDiff(data, size, true);
}
