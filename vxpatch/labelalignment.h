// Numbering the labels of a new program after those of an old one, the patch maker's main
// lever on patch size. Between two builds most code only moves, in blocks, and its calls,
// jumps and address tables keep pointing at the same things, now shifted. A reference whose
// surrounding bytes (references blanked out) occur exactly once in both programs is taken
// to be the same reference: it votes for its target pair and anchors the address shift of
// its block. Labels left without a vote take the counterpart the nearest anchor's shift
// points at. What remains is numbered by FillLabelIndexes. With matching indexes the index
// streams and address tables of the two encoded programs differ only where the code did.
#pragma once

#include "vxpatch/assemblyprogram.h"

#include <cstddef>

namespace vxpatch {

struct AlignmentCounts {
    size_t voted = 0;      // labels matched by their references' surroundings
    size_t shifted = 0;    // labels matched through a neighbouring anchor's shift
    size_t labels = 0;     // labels of the new program
};

// `oldProgram` keeps its indexes; every label of `newProgram` gets one. False when memory
// runs out (the new program's indexes are then meaningless).
bool AlignLabels(ParsedProgram *oldProgram, ParsedProgram *newProgram,
                 AlignmentCounts *counts = nullptr);

} // namespace vxpatch
