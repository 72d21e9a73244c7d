#include "vxpatch/disassembler_elf.h"

#include "vxpatch/enginelog.h"
#include "vxpatch/imagebytes.h"
#include "vxpatch/labelindexes.h"
#include "vxpatch/x86branches.h"

#include <algorithm>
#include <string>

namespace vxpatch {

namespace {

constexpr uint32_t kProgBits = 1;
constexpr uint32_t kNoBits = 8;
constexpr uint32_t kRel = 9;
constexpr uint32_t kInitArray = 14;
constexpr uint32_t kFiniArray = 15;
constexpr uint32_t kLoadable = 1;
constexpr uint64_t kNoOffset = UINT64_MAX;
// Section headers may overlap or go backwards; the walk then covers bytes again (Go
// binaries list a note section last, so their walk covers most of the file twice). Beyond
// this many times the image, the work is no longer proportional to the input.
constexpr uint64_t kMaxCoverage = 8;
// Every candidate reference is checked against the program headers one by one; real images
// have about ten, and this bound keeps a crafted table from making that quadratic.
constexpr size_t kMaxProgramHeaders = 1024;

uint64_t SaturatingAdd(uint64_t a, uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

} // namespace

DisassemblerElf::DisassemblerElf(const uint8_t *start, size_t length, bool is64)
    : Disassembler(start, length), m_Is64(is64)
{
}

bool DisassemblerElf::CheckHeader()
{
    const size_t headerSize = m_Is64 ? 64 : 52;
    const uint64_t sectionSize = m_Is64 ? 64 : 40;
    const uint64_t programSize = m_Is64 ? 56 : 32;
    if (Length() < headerSize)
        return Fail("Too small");
    const uint8_t *h = Start();
    if (h[0] != 0x7F || h[1] != 'E' || h[2] != 'L' || h[3] != 'F')
        return Fail("No Magic Number");
    if ((ReadLE16(h + 16) & ~1u) != 2)
        return Fail("Not an executable file or shared library");
    if (ReadLE16(h + 18) != MachineType())
        return Fail("Not a supported architecture");
    if (ReadLE32(h + 20) != 1)
        return Fail("Unknown file version");
    if (ReadLE16(h + (m_Is64 ? 58 : 46)) != sectionSize)
        return Fail("Unexpected section header size");
    m_SectionTable = m_Is64 ? ReadLE64(h + 40) : ReadLE32(h + 32);
    m_SectionCount = ReadLE16(h + (m_Is64 ? 60 : 48));
    m_ProgramTable = m_Is64 ? ReadLE64(h + 32) : ReadLE32(h + 28);
    m_ProgramCount = ReadLE16(h + (m_Is64 ? 56 : 44));
    if (m_SectionTable >= Length())
        return Fail("Out of bounds section header table offset");
    if (!FitsIn(m_SectionTable, m_SectionCount * sectionSize, Length()))
        return Fail("Out of bounds section header table");
    if (m_ProgramTable >= Length())
        return Fail("Out of bounds program header table offset");
    if (!FitsIn(m_ProgramTable, m_ProgramCount * programSize, Length()))
        return Fail("Out of bounds program header table");

    uint64_t end = std::max(m_SectionTable + m_SectionCount * sectionSize,
                            m_ProgramTable + m_ProgramCount * programSize);
    for (size_t i = 0; i < m_SectionCount; ++i) {
        const Section section = SectionAt(i);
        if (section.type != kNoBits)
            end = std::max(end, SaturatingAdd(section.offset, section.size));
    }
    for (size_t i = 0; i < m_ProgramCount; ++i) {
        uint32_t type;
        uint64_t offset, vaddr, filesz, memsz;
        ProgramHeaderAt(i, &type, &offset, &vaddr, &filesz, &memsz);
        end = std::max(end, SaturatingAdd(offset, filesz));
    }
    ShrinkLength(static_cast<size_t>(std::min<uint64_t>(end, Length())));
    return Succeed();
}

DisassemblerElf::Section DisassemblerElf::SectionAt(size_t index) const
{
    const uint8_t *s = Start() + m_SectionTable + index * (m_Is64 ? 64 : 40);
    if (m_Is64)
        return {ReadLE32(s + 4), ReadLE64(s + 16), ReadLE64(s + 24), ReadLE64(s + 32), ReadLE64(s + 56)};
    return {ReadLE32(s + 4), ReadLE32(s + 12), ReadLE32(s + 16), ReadLE32(s + 20), ReadLE32(s + 36)};
}

void DisassemblerElf::ProgramHeaderAt(size_t index, uint32_t *type, uint64_t *offset,
                                      uint64_t *vaddr, uint64_t *filesz, uint64_t *memsz) const
{
    const uint8_t *p = Start() + m_ProgramTable + index * (m_Is64 ? 56 : 32);
    *type = ReadLE32(p);
    if (m_Is64) {
        *offset = ReadLE64(p + 8);
        *vaddr = ReadLE64(p + 16);
        *filesz = ReadLE64(p + 32);
        *memsz = ReadLE64(p + 40);
    } else {
        *offset = ReadLE32(p + 4);
        *vaddr = ReadLE32(p + 8);
        *filesz = ReadLE32(p + 16);
        *memsz = ReadLE32(p + 20);
    }
}

bool DisassemblerElf::RvaToFileOffset(uint32_t rva, uint64_t *offset) const
{
    for (size_t i = 0; i < m_ProgramCount; ++i) {
        uint32_t type;
        uint64_t fileOffset, vaddr, filesz, memsz;
        ProgramHeaderAt(i, &type, &fileOffset, &vaddr, &filesz, &memsz);
        if (rva >= vaddr && rva - vaddr < memsz && rva - vaddr < filesz) {
            *offset = fileOffset + (rva - vaddr);
            return true;
        }
    }
    return false;
}

bool DisassemblerElf::TargetInLoadedSegment(uint32_t rva) const
{
    for (size_t i = 0; i < m_ProgramCount; ++i) {
        uint32_t type;
        uint64_t offset, vaddr, filesz, memsz;
        ProgramHeaderAt(i, &type, &offset, &vaddr, &filesz, &memsz);
        if (type == kLoadable && rva >= vaddr && rva - vaddr < memsz)
            return true;
    }
    return false;
}

bool DisassemblerElf::SectionsInsideImage() const
{
    uint64_t scanned = 0;
    for (size_t i = 0; i < m_SectionCount; ++i) {
        const Section section = SectionAt(i);
        if (section.type != kProgBits && section.type != kRel)
            continue;
        if (!FitsIn(section.offset, section.size, Length()))
            return false;
        scanned += section.size;
    }
    return scanned <= kMaxCoverage * Length();
}

bool DisassemblerElf::InCodeOrRelocationSection(uint64_t fileOffset) const
{
    for (size_t i = 0; i < m_SectionCount; ++i) {
        const Section section = SectionAt(i);
        if ((section.type == kProgBits || section.type == kRel) && fileOffset >= section.offset &&
            fileOffset - section.offset < section.size)
            return true;
    }
    return false;
}

size_t DisassemblerElf::RelocationCount(const Section &section) const
{
    if (section.entsize == 0)
        return 0;
    return static_cast<size_t>(std::min(section.size / section.entsize, section.size / RelocationSize()));
}

void DisassemblerElf::ReadRelocation(const Section &section, size_t index, uint64_t *offset,
                                     uint64_t *info) const
{
    const uint8_t *entry = Start() + section.offset + index * RelocationSize();
    *offset = m_Is64 ? ReadLE64(entry) : ReadLE32(entry);
    *info = m_Is64 ? ReadLE64(entry + 8) : ReadLE32(entry + 4);
}

bool DisassemblerElf::FindAbs32Locations()
{
    m_Abs32Locations.Truncate(0);
    for (size_t i = 0; i < m_SectionCount; ++i) {
        const Section section = SectionAt(i);
        if (section.type != kRel)
            continue;
        const size_t count = RelocationCount(section);
        for (size_t k = 0; k < count; ++k) {
            uint64_t offset, info, fileOffset;
            uint32_t rva;
            ReadRelocation(section, k, &offset, &info);
            if (RelocationToRva(offset, info, &rva) && RvaToFileOffset(rva, &fileOffset) &&
                InCodeOrRelocationSection(fileOffset) && !m_Abs32Locations.Push(rva))
                return false;
        }
    }
    std::sort(m_Abs32Locations.begin(), m_Abs32Locations.end());
    return true;
}

bool DisassemblerElf::AddRel32(uint32_t rva, uint32_t relativeTarget, uint64_t scanOffset)
{
    return m_Rel32Locations.Push({rva, relativeTarget, scanOffset, 0});
}

bool DisassemblerElf::FindRel32Locations()
{
    m_Rel32Locations.Truncate(0);
    for (size_t i = 0; i < m_SectionCount; ++i) {
        const Section section = SectionAt(i);
        if (section.type == kProgBits && !ScanSectionForRel32(section))
            return false;
    }
    // Sections are mostly listed in address order, and then the scan has already produced
    // the sorted list; sorting anyway would take a buffer as large as the list.
    const auto byRva = [](const Rel32Candidate &a, const Rel32Candidate &b) { return a.rva < b.rva; };
    if (!std::is_sorted(m_Rel32Locations.begin(), m_Rel32Locations.end(), byRva))
        std::stable_sort(m_Rel32Locations.begin(), m_Rel32Locations.end(), byRva);
    return true;
}

bool DisassemblerElf::ScanX86Section(const Section &section, bool x64)
{
    const uint64_t end = section.offset + section.size;
    uint64_t e = section.offset;
    while (e < end) {
        X86Candidate form;
        if (MatchX86Candidate(Start() + e, static_cast<size_t>(end - e), x64, &form)) {
            const uint64_t field = e + form.fieldOffset;
            const auto rva = static_cast<uint32_t>(section.addr + (field - section.offset));
            // The displacement counts from the end of its field.
            const uint32_t relativeTarget = ReadLE32(Start() + field) + 4;
            if (TargetInLoadedSegment(rva + relativeTarget)) {
                if (!AddRel32(rva, relativeTarget, field))
                    return false;
                e = field + 4;
                continue;
            }
        }
        ++e;
    }
    return true;
}

bool DisassemblerElf::Disassemble(ParsedProgram *program)
{
    if (!HeaderChecked())
        return false;
    program->SetImageBase(0);
    if (m_ProgramCount > kMaxProgramHeaders || !SectionsInsideImage() || !FindAbs32Locations() ||
        !FindRel32Locations())
        return false;
    if (!WalkFile(program))
        return false;
    NumberLabelsInOrder(program);
    return true;
}

bool DisassemblerElf::WalkFile(ParsedProgram *program)
{
    m_Abs32Offsets.Truncate(0);
    for (uint32_t rva : m_Abs32Locations) {
        uint64_t offset;
        if (!RvaToFileOffset(rva, &offset) || !m_Abs32Offsets.Push(offset))
            return false;
    }
    for (Rel32Candidate &location : m_Rel32Locations) {
        if (!RvaToFileOffset(location.rva, &location.fileOffset))
            return false;
    }
    m_NextAbs32 = 0;
    m_NextRel32 = 0;
    m_Emitted = 0;
    uint64_t position = 0;
    for (size_t i = 0; i < m_SectionCount; ++i) {
        if (!WalkSection(SectionAt(i), &position, program))
            return false;
    }
    if (position < Length() && !EmitFileBytes(program, position, Length()))
        return false;
    SkipDropped();
    return m_NextAbs32 == m_Abs32Offsets.Size();
}

bool DisassemblerElf::WalkSection(const Section &section, uint64_t *position, ParsedProgram *program)
{
    // A section without file data may claim an offset past the end of the file (Go puts
    // .noptrbss there); the gap before it ends with the image.
    const uint64_t gapEnd = std::min<uint64_t>(section.offset, Length());
    if (*position < gapEnd && !EmitFileBytes(program, *position, gapEnd))
        return false;
    // A section without data of its own that lies behind the walk (Go lists a note near the
    // start of the file last) does not move the walk back: moving back would cover its bytes
    // twice, and the program would no longer assemble to the image.
    const bool emitsData = section.type == kProgBits || section.type == kRel;
    if (emitsData || section.offset > *position)
        *position = section.offset;
    switch (section.type) {
    case kProgBits:
        *position = section.offset + section.size;
        return EmitProgBits(section, program);
    case kRel:
        *position = section.offset + section.size;
        return EmitRelocationSection(section, program);
    case kNoBits:
    case kInitArray:
    case kFiniArray:
        for (size_t k = m_NextAbs32; k < m_Abs32Offsets.Size(); ++k) {
            uint64_t &offset = m_Abs32Offsets[k];
            if (offset != kNoOffset && offset >= section.offset && offset - section.offset < section.size) {
                LogDebug("Skipping relocation entry for unsupported section: " + std::to_string(section.type));
                offset = kNoOffset;
            }
        }
        return true;
    default: {
        const uint64_t next = NextAbs32Offset();
        if (next != kNoOffset && next >= section.offset && next - section.offset < section.size)
            LogDebug("Relocation address in unrecognized ELF section: " + std::to_string(section.type));
        return true;
    }
    }
}

void DisassemblerElf::SkipDropped()
{
    while (m_NextAbs32 < m_Abs32Offsets.Size() && m_Abs32Offsets[m_NextAbs32] == kNoOffset)
        ++m_NextAbs32;
}

uint64_t DisassemblerElf::NextAbs32Offset()
{
    SkipDropped();
    return m_NextAbs32 < m_Abs32Offsets.Size() ? m_Abs32Offsets[m_NextAbs32] : kNoOffset;
}

bool DisassemblerElf::EmitRel32Reference(const Rel32Candidate &, uint32_t target,
                                         ParsedProgram *program)
{
    return program->EmitRel32(program->Rel32LabelAt(target));
}

uint16_t DisassemblerElf::Rel32Size(const Rel32Candidate &) const
{
    return 4;
}

bool DisassemblerElf::EmitProgBits(const Section &section, ParsedProgram *program)
{
    if (!program->EmitOrigin(static_cast<uint32_t>(section.addr)))
        return false;
    const uint64_t end = section.offset + section.size;
    uint64_t offset = section.offset;
    while (offset < end) {
        const uint64_t abs = NextAbs32Offset();
        if (abs < offset)
            return false; // an absolute location the walk has already passed
        uint64_t stop = std::min(end, abs);
        while (m_NextRel32 < m_Rel32Locations.Size() && m_Rel32Locations[m_NextRel32].fileOffset < offset)
            ++m_NextRel32;
        const Rel32Candidate *rel =
            m_NextRel32 < m_Rel32Locations.Size() ? &m_Rel32Locations[m_NextRel32] : nullptr;
        if (rel && rel->fileOffset + 4 <= stop)
            stop = rel->fileOffset;
        if (!EmitFileBytes(program, offset, stop))
            return false;
        offset = stop;
        if (offset >= end)
            break;
        if (offset == abs) {
            if (!FitsIn(offset, 4, Length()) ||
                !program->EmitAbs32(program->Abs32LabelAt(ReadLE32(Start() + offset))))
                return false;
            ++m_NextAbs32;
            offset += 4;
            m_Emitted += 4;
        } else if (rel && rel->fileOffset == offset) {
            const auto rva = static_cast<uint32_t>(section.addr + (offset - section.offset));
            if (!EmitRel32Reference(*rel, rva + rel->relativeTarget, program))
                return false;
            ++m_NextRel32;
            const uint16_t size = Rel32Size(*rel);
            offset += size;
            m_Emitted += size;
        } else {
            return false;
        }
    }
    return m_Emitted <= kMaxCoverage * Length();
}

bool DisassemblerElf::EmitFileBytes(ParsedProgram *program, uint64_t from, uint64_t to)
{
    if (from >= to)
        return true;
    if (to > Length())
        return false;
    m_Emitted += to - from;
    return m_Emitted <= kMaxCoverage * Length() && program->EmitBytes(Start() + from, to - from);
}

} // namespace vxpatch
