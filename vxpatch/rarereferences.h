// Choosing which references of a program are worth a label when the program is stored on its
// own (the container writer). A reference kept as a label costs its index, its share of the
// address table and the break it makes in the literal bytes; a target reached only once or
// twice, or a short-range ARM branch that the scan may have read out of data, is cheaper left
// as the bytes it has in the image. Dropped references become literal bytes that assemble to
// exactly what the reference assembled to, so the image comes back unchanged.
#pragma once

#include "vxpatch/assemblyprogram.h"
#include "vxpatch/growablearray.h"

namespace vxpatch {

// Relative targets with this many label-worthy references or fewer lose their label. In a
// small image the compressor has seen too few indexes and addresses to code them cheaply, and
// a label may have to pay for itself with more references: the writer tries the higher limit.
constexpr int32_t kRareReferenceLimit = 2;
constexpr int32_t kRareReferenceLimitSmallImage = 10;

// Turns the relative references to targets with at most `limit` label-worthy references into
// literal bytes and removes their labels; absolute references are kept, since the relocation tables are built from them.
// Label counts afterwards count the references left. The bytes of dropped x86 references are
// written to `standIns`, which the program points into: it must outlive every use of the
// program. False when out of memory or when an ARM branch has no bytes of its own; the
// program is then only fit for destruction.
bool DropRareReferences(ParsedProgram *program, int32_t limit, GrowableArray<uint8_t> *standIns);

} // namespace vxpatch
