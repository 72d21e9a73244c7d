#include "vxpatch/disassembler_elf32arm.h"

#include "vxpatch/imagebytes.h"

namespace vxpatch {

namespace {

constexpr uint64_t kRelativeArm = 23;

int32_t SignExtend(uint32_t value, int bits)
{
    const uint32_t sign = 1u << (bits - 1);
    return static_cast<int32_t>((value & (2 * sign - 1)) ^ sign) - static_cast<int32_t>(sign);
}

uint32_t Bit(uint32_t value, int bit)
{
    return (value >> bit) & 1;
}

// The branch type of the instruction at `p`, with `left` bytes to the end of the section,
// or -1. The scan cannot tell ARM from Thumb code, so it keeps a guess of whether `p` is
// 4-byte aligned ARM code (`armPhase`); for a position with no branch the guess for the
// next position is left in `armPhase`.
int BranchType(const uint8_t *p, uint64_t left, bool *armPhase)
{
    if (left >= 3) {
        const uint16_t h = ReadLE16(p);
        if ((h & 0xF000) == 0xD000)
            return 0;
        if ((h & 0xF800) == 0xE000)
            return 1;
    }
    if (left < 5) {
        *armPhase = !*armPhase;
        return -1;
    }
    const uint32_t w = (static_cast<uint32_t>(ReadLE16(p)) << 16) | ReadLE16(p + 2);
    if ((w & 0xF8008000) == 0xF0008000)
        return (w & 0x5000) ? 3 : 4;
    if (!*armPhase) {
        *armPhase = true;
        return -1;
    }
    if ((ReadLE32(p) & 0x0E000000) == 0x0A000000)
        return 2;
    *armPhase = false;
    return -1;
}

} // namespace

bool TypedRVAARM::ComputeTarget(const uint8_t *bytes)
{
    // Thumb-2 instructions are two halfwords, the first one high.
    const auto thumb2 = [bytes] { return (static_cast<uint32_t>(ReadLE16(bytes)) << 16) | ReadLE16(bytes + 2); };
    switch (m_Type) {
    case 0: {
        const uint16_t value = ReadLE16(bytes);
        m_Opcode = static_cast<uint16_t>(0x1000 | (value >> 8));
        m_RelativeTarget = SignExtend(value, 8) * 2 + 4;
        return true;
    }
    case 1: {
        const uint16_t value = ReadLE16(bytes);
        m_Opcode = static_cast<uint16_t>(0x2000 | (value >> 11));
        m_RelativeTarget = SignExtend(value, 11) * 2 + 4;
        return true;
    }
    case 2: {
        const uint32_t value = ReadLE32(bytes);
        m_Opcode = static_cast<uint16_t>(0x3000 | (value >> 24));
        m_RelativeTarget = static_cast<uint32_t>(SignExtend(value, 24)) * 4 + 8;
        return true;
    }
    case 3: {
        const uint32_t w = thumb2();
        const uint32_t s = Bit(w, 26);
        const uint32_t offset = (s << 24) | ((~(Bit(w, 13) ^ s) & 1) << 23) |
                                ((~(Bit(w, 11) ^ s) & 1) << 22) | (((w >> 16) & 0x3FF) << 12) |
                                ((w & 0x7FF) << 1);
        // BLX switches to ARM code, whose target is taken from the 4-aligned address.
        const bool blx = Bit(w, 14) && !Bit(w, 12);
        const uint32_t adjust = (blx && (m_Rva & 3)) ? 2 : 4;
        m_Opcode = static_cast<uint16_t>(0x4000 | (adjust << 8) | ((w >> 24) & 0xF8) |
                                         (Bit(w, 15) << 2) | (Bit(w, 14) << 1) | Bit(w, 12));
        m_RelativeTarget = static_cast<uint32_t>(SignExtend(offset, 25)) + adjust;
        return true;
    }
    case 4: {
        const uint32_t w = thumb2();
        // J1 and J2 go to bits 19 and 18 (the reverse of the instruction set's own order);
        // rebuilding puts them back the same way, so the branch survives unchanged.
        const uint32_t offset = (Bit(w, 26) << 20) | (Bit(w, 13) << 19) | (Bit(w, 11) << 18) |
                                (((w >> 16) & 0x3F) << 12) | ((w & 0x7FF) << 1);
        m_Opcode = static_cast<uint16_t>(0x5000 | ((w >> 22) & 0xF));
        m_RelativeTarget = static_cast<uint32_t>(SignExtend(offset, 21)) + 4;
        return true;
    }
    default:
        return false;
    }
}

TypedRVAARM DisassemblerElf32ARM::BranchAt(const Rel32Candidate &rel) const
{
    // The scan tries the Thumb forms before the ARM one and needs no phase for them, so at a
    // found branch the forms alone tell its type again; the scan saw no more bytes than
    // are left to the end of the image.
    bool armPhase = true;
    const uint8_t *bytes = Start() + rel.scanOffset;
    TypedRVAARM branch(BranchType(bytes, Length() - rel.scanOffset, &armPhase), rel.rva);
    branch.ComputeTarget(bytes);
    return branch;
}

bool DisassemblerElf32ARM::EmitRel32Reference(const Rel32Candidate &rel, uint32_t target,
                                              ParsedProgram *program)
{
    const TypedRVAARM branch = BranchAt(rel);
    return program->EmitRel32Arm(branch.CompressedOpcode(), program->Rel32LabelAt(target),
                                 Start() + rel.scanOffset, branch.OperandSize());
}

uint16_t DisassemblerElf32ARM::Rel32Size(const Rel32Candidate &rel) const
{
    return BranchAt(rel).OperandSize();
}

bool DisassemblerElf32ARM::RelocationToRva(uint64_t offset, uint64_t info, uint32_t *rva) const
{
    *rva = static_cast<uint32_t>(offset);
    return info == kRelativeArm;
}

bool DisassemblerElf32ARM::ScanSectionForRel32(const Section &section)
{
    const uint64_t end = section.offset + section.size;
    uint64_t p = section.offset;
    bool armPhase = true;
    while (p < end) {
        const int type = BranchType(Start() + p, end - p, &armPhase);
        if (type < 0) {
            p += 2;
            continue;
        }
        const auto rva = static_cast<uint32_t>(section.addr + (p - section.offset));
        TypedRVAARM candidate(type, rva);
        if (candidate.ComputeTarget(Start() + p) && TargetInLoadedSegment(rva + candidate.RelativeTarget())) {
            if (!AddRel32(rva, candidate.RelativeTarget(), p))
                return false;
            p += candidate.OperandSize();
            armPhase = true;
        } else {
            p += 2;
            armPhase = !armPhase;
        }
    }
    return true;
}

bool DisassemblerElf32ARM::EmitRelocationSection(const Section &section, ParsedProgram *program)
{
    const GrowableArray<uint32_t> &locations = Abs32Locations();
    const uint64_t end = section.offset + section.size;
    if (locations.Empty())
        return EmitFileBytes(program, section.offset, end);
    const size_t count = RelocationCount(section);
    const size_t entrySize = RelocationSize();
    uint64_t offset, info;
    size_t first = 0;
    for (; first < count; ++first) {
        ReadRelocation(section, first, &offset, &info);
        if (offset == locations[0])
            break;
    }
    if (!EmitFileBytes(program, section.offset, section.offset + first * entrySize))
        return false;
    size_t rest = first;
    // Entries that would be compared beyond the section are left as bytes, like a section
    // with fewer entries than locations.
    if (first + locations.Size() <= count) {
        size_t matched = 0;
        for (; matched < locations.Size(); ++matched) {
            ReadRelocation(section, first + matched, &offset, &info);
            if (info != kRelativeArm || offset != locations[matched])
                break;
        }
        if (matched == locations.Size() && !program->EmitElfArmRelocs())
            return false;
        // A partial match drops the compared entries, the mismatching one included: patches
        // are made against programs read this way.
        rest = first + matched + (matched == locations.Size() ? 0 : 1);
    }
    return EmitFileBytes(program, section.offset + rest * entrySize, end);
}

} // namespace vxpatch
