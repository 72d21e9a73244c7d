#include "vxpatch/x86branches.h"

namespace vxpatch {

namespace {

bool Found(size_t fieldOffset, bool ripRelative, X86Candidate *out)
{
    out->fieldOffset = fieldOffset;
    out->ripRelative = ripRelative;
    return true;
}

} // namespace

bool MatchX86Candidate(const uint8_t *p, size_t available, bool x64, X86Candidate *out)
{
    const uint8_t op = p[0];
    if (op == 0xE8 || op == 0xE9)
        return available >= 5 && Found(1, false, out);
    if (op == 0x0F) {
        // 0F 8A and 0F 8B (parity jumps) are left out: they are rare in code and common in data.
        const bool jcc = available >= 6 && (p[1] & 0xF0) == 0x80 && p[1] != 0x8A && p[1] != 0x8B;
        return jcc && Found(2, false, out);
    }
    if (!x64)
        return false;
    if (op == 0xFF)
        return available >= 6 && (p[1] == 0x15 || p[1] == 0x25) && Found(2, true, out);
    if (op == 0x48 || op == 0x49) {
        const bool load = available >= 7 && (p[1] == 0x8B || p[1] == 0x8D) && (p[2] & 0xC7) == 0x05;
        return load && Found(3, true, out);
    }
    return false;
}

} // namespace vxpatch
