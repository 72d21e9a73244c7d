// The x86 instruction forms that carry a 32-bit displacement worth turning into a label:
// calls, jumps, conditional jumps and, in 64-bit code, RIP-relative loads and indirect
// calls. Every executable reader scans its code with the same forms, so they live here once.
// The scan is a byte-wise guess, not a decoder: a form is only a candidate until the reader
// has checked that its target lands inside the image.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vxpatch {

struct X86Candidate {
    size_t fieldOffset; // from the first byte of the form to the displacement field
    bool ripRelative;   // a 64-bit data or indirect-branch reference, not a code branch
};

// Matches a form starting at `p` with `available` bytes from `p` to the end of the code.
// `x64` admits the forms that exist only in 64-bit code.
bool MatchX86Candidate(const uint8_t *p, size_t available, bool x64, X86Candidate *out);

} // namespace vxpatch
