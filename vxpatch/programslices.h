// The stretches of an encoded program between its origins (for the executables we read, one
// per section), with the table positions each starts at and the bytes it assembles to. The
// patch maker uses them to leave out of a new element's program the sections that a plain
// diff against the old file carries more cheaply (data full of shifted pointers, which the
// program keeps as literal bytes anyway). Assembly is strictly sequential, so a program made
// of some slices still assembles, to exactly those slices' bytes back to back, as long as
// no relocation table is generated in front of them.
#pragma once

#include "vxpatch/encodedprogram.h"
#include "vxpatch/growablearray.h"

#include <cstddef>

namespace vxpatch {

struct ProgramSlice {
    // Where the slice starts in each table the assembly reads in order.
    size_t op = 0;
    size_t origin = 0;
    size_t copyCount = 0;
    size_t copyByte = 0;
    size_t abs32 = 0;
    size_t rel32 = 0;
    // Its bytes within the assembled program. Fixed slices stay in any program made of
    // slices: those from a relocation marker onwards (a generated table lands ahead of their
    // bytes) and, when there is such a marker, those with absolute references (the table
    // lists them all).
    size_t outputOffset = 0;
    size_t outputLength = 0;
    size_t references = 0;
    bool fixed = false;
    bool behindMarker = false; // its bytes follow a generated table, so its offset is not exact
};

// Cuts `program` at each origin. False when its tables are inconsistent (a table runs out)
// or memory runs out. A program without origins is one slice.
bool SliceProgram(const EncodedProgram &program, GrowableArray<ProgramSlice> *slices);

// Makes `out` of the slices whose `keep` entry is set (fixed slices are always kept), with
// the image base and the address tables of `program` whole. False when memory runs out.
bool KeepSlices(const EncodedProgram &program, const GrowableArray<ProgramSlice> &slices,
                const GrowableArray<uint8_t> &keep, EncodedProgram *out);

} // namespace vxpatch
