#include "vxpatch/disassembler_macho.h"

#include "vxpatch/imagebytes.h"
#include "vxpatch/labelindexes.h"
#include "vxpatch/x86branches.h"

#include <algorithm>

namespace vxpatch {

namespace {

constexpr uint32_t kMagic32 = 0xFEEDFACE;
constexpr uint32_t kMagic64 = 0xFEEDFACF;
constexpr uint32_t kCpuX86 = 7;
constexpr uint32_t kCpuX64 = 0x01000007;
constexpr uint32_t kCommandSegment = 1;
constexpr uint32_t kCommandSegment64 = 25;
constexpr uint32_t kPureInstructions = 0x80000000;
constexpr uint32_t kSectionTypeMask = 0xFF;
constexpr uint64_t kMax32 = 0xFFFFFFFFu;
// Every candidate reference is checked against the segments one by one; real images have a
// handful, and this bound keeps crafted load commands from making that quadratic.
constexpr size_t kMaxSegments = 1024;

bool SupportedFileType(uint32_t type)
{
    return type == 2 || type == 5 || type == 6 || type == 8; // executable, preload, dylib, bundle
}

} // namespace

DisassemblerMacho::DisassemblerMacho(const uint8_t *start, size_t length)
    : Disassembler(start, length)
{
}

bool DisassemblerMacho::CheckHeader()
{
    if (Length() < 32)
        return Fail("Too small");
    const uint32_t magic = ReadLE32(Start());
    const bool is64 = magic == kMagic64;
    if (!is64 && magic != kMagic32)
        return Fail("Unknown magic type");
    if (ReadLE32(Start() + 4) != (is64 ? kCpuX64 : kCpuX86))
        return Fail("unsupported cpu type");
    if (!SupportedFileType(ReadLE32(Start() + 12)))
        return Fail("Unsupported filetype in header");
    m_Kind = is64 ? EXE_MACHO_X64 : EXE_MACHO_X86;
    m_Segments.Truncate(0);
    m_Sections.Truncate(0);
    m_ImageEnd = 0;
    if (!ReadLoadCommands(is64 ? 32 : 28, ReadLE32(Start() + 16)) || !Rebase())
        return false;
    if (m_Sections.Empty())
        return Fail("Resource-only executables are not yet supported");
    std::sort(m_Sections.begin(), m_Sections.end(), [](const Section &a, const Section &b) {
        return a.offset != b.offset ? a.offset < b.offset : a.order < b.order;
    });
    ShrinkLength(m_ImageEnd);
    return Succeed();
}

bool DisassemblerMacho::ReadLoadCommands(size_t headerSize, uint32_t count)
{
    uint64_t offset = headerSize;
    for (uint32_t i = 0; i < count; ++i) {
        if (!FitsIn(offset, 8, Length()))
            return Fail("file to small in load commands");
        const uint8_t *command = Start() + offset;
        const uint32_t commandSize = ReadLE32(command + 4);
        if (!FitsIn(offset, commandSize, Length()))
            return Fail("file to small in load commands");
        // A command shorter than its own head would have the walk stand still for up to
        // 2^32 commands.
        if (commandSize < 8)
            return Fail("load command too small");
        const uint32_t type = ReadLE32(command);
        if ((type == kCommandSegment64 || type == kCommandSegment) &&
            !ReadSegment(command, commandSize, type == kCommandSegment64))
            return false;
        offset += commandSize;
    }
    return true;
}

bool DisassemblerMacho::ReadSegment(const uint8_t *command, uint32_t commandSize, bool is64)
{
    const bool image64 = m_Kind == EXE_MACHO_X64;
    if (is64 != image64)
        return Fail(is64 ? "LC_SEGMENT_64 not supported" : "LC_SEGMENT not supported");
    const uint32_t headSize = is64 ? 72 : 56;
    if (commandSize < headSize)
        return Fail(is64 ? "bad LC_SEGMENT_64" : "bad LC_SEGMENT");
    SegmentFields f;
    if (is64) {
        f = {ReadLE64(command + 24), ReadLE64(command + 32), ReadLE64(command + 40),
             ReadLE64(command + 48), ReadLE32(command + 64)};
        // A 64-bit segment without sections (page zero, link-edit data) is no part of the image.
        if (f.nsects == 0)
            return true;
        if (f.vmsize > kMax32 || f.fileoff > kMax32 || f.filesize > kMax32)
            return Fail("overflow");
    } else {
        f = {ReadLE32(command + 24), ReadLE32(command + 28), ReadLE32(command + 32),
             ReadLE32(command + 36), ReadLE32(command + 48)};
    }
    if (m_Segments.Size() >= kMaxSegments)
        return Fail("too many segments");
    const Segment segment = {f.vmaddr, static_cast<uint32_t>(f.vmsize),
                             static_cast<uint32_t>(f.fileoff), static_cast<uint32_t>(f.filesize)};
    if (!m_Segments.Push(segment))
        return Fail("out of memory");
    // Summed in 64 bits: a wrapped end would pass for a segment inside the file.
    const uint64_t end = f.fileoff + f.filesize;
    if (end > Length())
        return Fail("segment too large");
    m_ImageEnd = std::max<uint32_t>(m_ImageEnd, static_cast<uint32_t>(end));
    const uint32_t sectionSize = is64 ? 80 : 68;
    if (commandSize < headSize + static_cast<uint64_t>(sectionSize) * f.nsects)
        return Fail("sections too small");
    return ReadSections(command + headSize, f.nsects, is64, segment);
}

bool DisassemblerMacho::ReadSections(const uint8_t *first, uint32_t count, bool is64,
                                     const Segment &segment)
{
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t *s = first + static_cast<size_t>(i) * (is64 ? 80 : 68);
        const uint32_t flags = ReadLE32(s + (is64 ? 64 : 56));
        if (!(flags & kPureInstructions) || (flags & kSectionTypeMask) != 0)
            continue;
        const uint64_t addr = is64 ? ReadLE64(s + 32) : ReadLE32(s + 32);
        const uint64_t size = is64 ? ReadLE64(s + 40) : ReadLE32(s + 36);
        const uint32_t offset = ReadLE32(s + (is64 ? 48 : 40));
        if (size > kMax32)
            return Fail("overflow");
        if (addr < segment.vmaddr || addr - segment.vmaddr + size > segment.vmsize)
            return Fail("section larger than segment");
        // The walk reads every byte of a code section, so it must lie in the file.
        if (!FitsIn(offset, size, Length()))
            return Fail("section outside file");
        const Section section = {addr, static_cast<uint32_t>(size), offset,
                                 static_cast<uint32_t>(m_Sections.Size())};
        if (!m_Sections.Push(section))
            return Fail("out of memory");
    }
    return true;
}

bool DisassemblerMacho::Rebase()
{
    if (m_Segments.Empty())
        return true;
    uint64_t base = m_Segments[0].vmaddr;
    for (const Segment &segment : m_Segments)
        base = std::min(base, segment.vmaddr);
    for (Segment &segment : m_Segments) {
        segment.vmaddr -= base;
        if (segment.vmaddr + segment.vmsize > kMax32)
            return Fail("overflow");
    }
    for (Section &section : m_Sections)
        section.addr -= base;
    return true;
}

const DisassemblerMacho::Segment *DisassemblerMacho::SegmentAtFileOffset(uint32_t fileOffset) const
{
    for (const Segment &segment : m_Segments) {
        if (fileOffset >= segment.fileoff && fileOffset - segment.fileoff < segment.filesize)
            return &segment;
    }
    return nullptr;
}

uint32_t DisassemblerMacho::FileOffsetToRva(const Segment *segment, uint32_t fileOffset,
                                            uint32_t sectionStart) const
{
    if (!segment)
        return fileOffset - sectionStart;
    return static_cast<uint32_t>(fileOffset - segment->fileoff + segment->vmaddr);
}

bool DisassemblerMacho::TargetInSegment(uint32_t rva) const
{
    for (const Segment &segment : m_Segments) {
        if (rva >= segment.vmaddr && rva - segment.vmaddr < segment.vmsize)
            return true;
    }
    return false;
}

bool DisassemblerMacho::ScanSection(const Section &section)
{
    const Segment *segment = SegmentAtFileOffset(section.offset);
    const bool x64 = m_Kind == EXE_MACHO_X64;
    const uint64_t end = uint64_t(section.offset) + section.size;
    uint64_t e = section.offset;
    while (e < end) {
        X86Candidate candidate;
        if (MatchX86Candidate(Start() + e, static_cast<size_t>(end - e), x64, &candidate)) {
            const uint64_t field = e + candidate.fieldOffset;
            const uint32_t rva = FileOffsetToRva(segment, static_cast<uint32_t>(field), section.offset);
            if (TargetInSegment(rva + 4 + ReadLE32(Start() + field))) {
                if (!m_Rel32Locations.Push(rva))
                    return false;
                e = field + 4;
                continue;
            }
        }
        ++e;
    }
    return true;
}

bool DisassemblerMacho::EmitSection(const Section &section, ParsedProgram *program,
                                    size_t *nextLocation) const
{
    const Segment *segment = SegmentAtFileOffset(section.offset);
    const uint32_t first = segment ? FileOffsetToRva(segment, section.offset, section.offset) : 0;
    if (!program->EmitOrigin(first))
        return false;
    size_t &next = *nextLocation;
    uint32_t i = 0;
    while (i < section.size) {
        const uint32_t rva = first + i;
        while (next < m_Rel32Locations.Size() && m_Rel32Locations[next] < rva)
            ++next;
        const uint8_t *p = Start() + section.offset + i;
        if (next < m_Rel32Locations.Size() && m_Rel32Locations[next] == rva && section.size - i >= 4) {
            if (!program->EmitRel32(program->Rel32LabelAt(rva + 4 + ReadLE32(p))))
                return false;
            ++next;
            i += 4;
        } else {
            if (!program->EmitByte(*p))
                return false;
            ++i;
        }
    }
    return true;
}

bool DisassemblerMacho::Disassemble(ParsedProgram *program)
{
    if (!HeaderChecked())
        return false;
    program->SetImageBase(0);
    m_Rel32Locations.Truncate(0);
    for (const Section &section : m_Sections) {
        if (!ScanSection(section))
            return false;
    }
    std::sort(m_Rel32Locations.begin(), m_Rel32Locations.end());

    // Sections are taken in file order; one that starts inside an earlier one is covered
    // by it already. Going by index also lets an empty section pass without stalling.
    size_t position = 0;
    size_t nextLocation = 0;
    for (const Section &section : m_Sections) {
        if (section.offset < position)
            continue;
        for (; position < section.offset; ++position) {
            if (!program->EmitByte(Start()[position]))
                return false;
        }
        if (!EmitSection(section, program, &nextLocation))
            return false;
        position = section.offset + section.size;
    }
    for (; position < Length(); ++position) {
        if (!program->EmitByte(Start()[position]))
            return false;
    }
    NumberLabelsInOrder(program);
    return true;
}

} // namespace vxpatch
