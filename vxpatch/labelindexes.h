// Giving labels their positions in the address tables of an encoded program. A disassembler
// numbers its labels in address order; the patch maker instead keeps the indexes of labels
// that match an older program and fills in the rest so that the new tables line up with the
// old ones and their diff stays small.
#pragma once

#include "vxpatch/assemblyprogram.h"

namespace vxpatch {

// Abs32 labels get 0, 1, 2 ... in address order, then the rel32 labels likewise from 0.
void NumberLabelsInOrder(ParsedProgram *program);

// Every label of the map loses its index.
void ClearLabelIndexes(LabelMap *labels);

// Gives an index to each label without one, preferring the index after its lower
// neighbour's, then the one before its upper neighbour's, then the lowest free one.
// False when out of memory, with some labels possibly filled.
bool FillLabelIndexes(LabelMap *labels);

} // namespace vxpatch
