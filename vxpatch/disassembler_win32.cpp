#include "vxpatch/disassembler_win32.h"

#include "vxpatch/enginelog.h"
#include "vxpatch/imagebytes.h"
#include "vxpatch/labelindexes.h"
#include "vxpatch/x86branches.h"

#include <algorithm>
#include <cstring>

namespace vxpatch {

namespace {

constexpr size_t kSectionEntrySize = 40;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr size_t kBaseRelocationDirectory = 5;
// Directories whose entries must be sound for the image to be read at all.
constexpr size_t kCheckedDirectories[] = {0, 1, 2, 3, 5, 11, 12, 13, 14};

} // namespace

DisassemblerWin32::DisassemblerWin32(const uint8_t *start, size_t length, bool x64)
    : Disassembler(start, length), m_X64(x64)
{
}

bool DisassemblerWin32::CheckHeader()
{
    if (Length() <= 63)
        return Fail("Too small");
    if (Start()[0] != 'M' || Start()[1] != 'Z')
        return Fail("Not MZ");
    const uint32_t pe = ReadLE32(Start() + 60);
    if (pe == 0 || pe >= Length() || Length() - pe < 25)
        return Fail("Bad offset to PE header");
    if (pe % 8 != 0)
        return Fail("Misaligned PE header");
    if (std::memcmp(Start() + pe, "PE\0\0", 4) != 0)
        return Fail("no PE signature");
    const size_t sectionCount = ReadLE16(Start() + pe + 6);
    const size_t optionalSize = ReadLE16(Start() + pe + 20);
    const size_t optionalHeader = pe + 24;
    if (optionalHeader + optionalSize >= Length())
        return Fail("optional header past end of file");
    if (optionalSize < 2)
        return Fail("optional header no magic");
    if (!CheckOptionalHeader(optionalHeader, optionalSize) ||
        !ReadSectionTable(optionalHeader + optionalSize, sectionCount))
        return false;
    if (!m_X64 && m_IsPe32Plus)
        return Fail("64 bit executables are not supported by this disassembler");
    if (m_X64 && !m_IsPe32Plus)
        return Fail("32 bit executables are not supported by this disassembler");
    if (!m_HasText)
        return Fail("Resource-only executables are not yet supported");
    return Succeed();
}

bool DisassemblerWin32::CheckOptionalHeader(size_t optionalHeader, size_t optionalSize)
{
    const uint8_t *h = Start() + optionalHeader;
    const uint16_t magic = ReadLE16(h);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus)
        return Fail("unrecognized magic");
    m_IsPe32Plus = magic == kMagicPe32Plus;
    const size_t directories = m_IsPe32Plus ? 112 : 96;
    if (optionalSize < directories)
        return Fail("optional header too short");
    m_ImageBase = m_IsPe32Plus ? ReadLE64(h + 24) : ReadLE32(h + 28);
    m_SizeOfImage = ReadLE32(h + 56);
    return CheckDataDirectories(optionalHeader, optionalSize, directories);
}

bool DisassemblerWin32::CheckDataDirectories(size_t optionalHeader, size_t optionalSize,
                                             size_t directories)
{
    const uint32_t count = ReadLE32(Start() + optionalHeader + directories - 4);
    bool sound = true;
    m_RelocRva = 0;
    m_RelocSize = 0;
    for (size_t index : kCheckedDirectories) {
        if (index >= count)
            continue;
        const size_t entry = directories + 8 * index;
        uint32_t size = 0;
        if (entry >= optionalSize) {
            LogDebug("number of data directories inconsistent");
            sound = false;
        } else if (!FitsIn(optionalHeader + entry, 8, Length())) {
            LogDebug("data directory outside image");
            sound = false;
        } else if ((size = ReadLE32(Start() + optionalHeader + entry + 4)) > m_SizeOfImage) {
            LogDebug("data directory size too big");
            sound = false;
        } else if (index == kBaseRelocationDirectory) {
            m_RelocRva = ReadLE32(Start() + optionalHeader + entry);
            m_RelocSize = size;
        }
    }
    return sound || Fail("malformed data directory");
}

bool DisassemblerWin32::ReadSectionTable(size_t table, size_t count)
{
    if (!FitsIn(table, count * kSectionEntrySize, Length()))
        return Fail("section table past end of file");
    m_Sections.Truncate(0);
    m_FileOrder.Truncate(0);
    m_HasText = false;
    uint64_t imageEnd = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *s = Start() + table + i * kSectionEntrySize;
        const Section section = {ReadLE32(s + 8), ReadLE32(s + 12), ReadLE32(s + 16), ReadLE32(s + 20),
                                 static_cast<uint32_t>(i)};
        // Raw data is read byte by byte by the walk and the scan, so it must be in the file.
        if (section.rawSize != 0 && !FitsIn(section.rawOffset, section.rawSize, Length()))
            return Fail("section outside image");
        if (!m_Sections.Push(section) || (section.rawSize != 0 && !m_FileOrder.Push(section)))
            return Fail("out of memory");
        if (!m_HasText && std::memcmp(s, ".text\0", 6) == 0) {
            m_HasText = true;
            m_Text = section;
        }
        imageEnd = std::max<uint64_t>(imageEnd, uint64_t(section.rawOffset) + section.rawSize);
    }
    std::sort(m_FileOrder.begin(), m_FileOrder.end(), [](const Section &a, const Section &b) {
        return a.rawOffset != b.rawOffset ? a.rawOffset < b.rawOffset : a.index < b.index;
    });
    ShrinkLength(static_cast<size_t>(imageEnd));
    return true;
}

uint32_t DisassemblerWin32::FileOffsetToRva(uint32_t offset) const
{
    for (const Section &section : m_Sections) {
        if (offset >= section.rawOffset && offset - section.rawOffset < section.rawSize)
            return offset - section.rawOffset + section.virtualAddress;
    }
    return 0;
}

bool DisassemblerWin32::RvaToFileOffset(uint32_t rva, uint32_t *offset) const
{
    for (const Section &section : m_Sections) {
        if (rva >= section.virtualAddress && rva - section.virtualAddress < section.virtualSize) {
            const uint32_t delta = rva - section.virtualAddress;
            *offset = section.rawOffset + delta;
            return delta < section.rawSize;
        }
    }
    if (rva == 0 || rva == 2) {
        *offset = rva;
        return true;
    }
    LogError("REACHED UNREACHABLE");
    return false;
}

bool DisassemblerWin32::ParseRelocations()
{
    m_Abs32Locations.Truncate(0);
    if (m_RelocSize == 0)
        return true;
    uint32_t table;
    if (!RvaToFileOffset(m_RelocRva, &table) || !FitsIn(table, m_RelocSize, Length()))
        return Fail(".relocs outside image");
    if (m_RelocSize > 8) {
        size_t block = table;
        const size_t end = size_t(table) + m_RelocSize;
        do {
            if (!FitsIn(block, 8, Length()))
                return Fail(".relocs block outside image");
            const uint32_t size = ReadLE32(Start() + block + 4);
            if (!ParseRelocationBlock(block, size))
                return false;
            block += size;
        } while (block < end && end - block > 8);
    }
    std::sort(m_Abs32Locations.begin(), m_Abs32Locations.end());
    return true;
}

bool DisassemblerWin32::ParseRelocationBlock(size_t block, size_t size)
{
    if (size < 8 || size % 4 != 0)
        return Fail("unreasonable relocs block");
    if (!FitsIn(block, size, Length()))
        return Fail(".relocs block outside image");
    const uint32_t page = ReadLE32(Start() + block);
    const unsigned expectedType = m_X64 ? 10 : 3;
    for (size_t entry = block + 8; entry < block + size; entry += 2) {
        const uint16_t value = ReadLE16(Start() + entry);
        if (value <= 0x0FFF)
            continue; // type 0 pads a block to a multiple of four bytes
        if ((value >> 12) != expectedType)
            return Fail("unknown type of reloc");
        if (!m_Abs32Locations.Push(page + (value & 0x0FFF)))
            return Fail("out of memory");
    }
    return true;
}

bool DisassemblerWin32::FindRel32Locations()
{
    m_Rel32Locations.Truncate(0);
    const size_t begin = m_Text.rawOffset;
    const size_t end = begin + m_Text.rawSize;
    size_t e = begin;
    while (e < end) {
        const uint32_t rva = static_cast<uint32_t>(m_Text.virtualAddress + (e - begin));
        if (m_RelocSize != 0 && rva == m_RelocRva) {
            e += m_RelocSize;
            continue;
        }
        X86Candidate form;
        if (!MatchX86Candidate(Start() + e, end - e, m_X64, &form)) {
            ++e;
            continue;
        }
        const uint32_t field = rva + static_cast<uint32_t>(form.fieldOffset);
        // A displacement field that overlaps an absolute address is data, not a branch.
        const uint32_t *abs = std::lower_bound(m_Abs32Locations.begin(), m_Abs32Locations.end(),
                                               field >= 3 ? field - 3 : 0);
        if (abs != m_Abs32Locations.end() && uint64_t(*abs) <= uint64_t(field) + 3) {
            // Resume after the absolute address; where addresses wrap around, the scan
            // still only moves forward.
            const uint64_t after = uint64_t(*abs) + 4;
            const uint64_t here = uint64_t(m_Text.virtualAddress) + (e - begin);
            e = after > here ? e + static_cast<size_t>(after - here) : e + 1;
            continue;
        }
        const uint32_t target = field + 4 + ReadLE32(Start() + e + form.fieldOffset);
        const bool inText = target >= m_Text.virtualAddress &&
                            target - m_Text.virtualAddress < m_Text.virtualSize;
        if (target < m_SizeOfImage && (form.ripRelative || inText)) {
            if (!m_Rel32Locations.Push(field))
                return false;
            e += form.fieldOffset + 4;
        } else {
            ++e;
        }
    }
    std::sort(m_Rel32Locations.begin(), m_Rel32Locations.end());
    return true;
}

bool DisassemblerWin32::Disassemble(ParsedProgram *program)
{
    if (!HeaderChecked())
        return false;
    program->SetImageBase(m_ImageBase);
    if (!ParseRelocations() || !FindRel32Locations())
        return false;
    uint64_t position = 0;
    for (const Section &section : m_FileOrder) {
        if (section.rawOffset < position)
            continue;
        for (; position < section.rawOffset; ++position) {
            if (!program->EmitByte(Start()[position]))
                return false;
        }
        if (!EmitSection(section, program, &position))
            return false;
    }
    NumberLabelsInOrder(program);
    return true;
}

bool DisassemblerWin32::EmitSection(const Section &section, ParsedProgram *program, uint64_t *position)
{
    const uint32_t first = FileOffsetToRva(section.rawOffset);
    if (!program->EmitOrigin(first))
        return false;
    const uint32_t *abs = std::lower_bound(m_Abs32Locations.begin(), m_Abs32Locations.end(), first);
    const uint32_t *rel = std::lower_bound(m_Rel32Locations.begin(), m_Rel32Locations.end(), first);
    const uint64_t end = uint64_t(section.rawOffset) + section.rawSize;
    uint64_t i = section.rawOffset;
    while (i < end) {
        const uint32_t rva = static_cast<uint32_t>(first + (i - section.rawOffset));
        while (abs != m_Abs32Locations.end() && *abs < rva)
            ++abs;
        while (rel != m_Rel32Locations.end() && *rel < rva)
            ++rel;
        const bool atAbs = abs != m_Abs32Locations.end() && *abs == rva;
        const bool atRel = rel != m_Rel32Locations.end() && *rel == rva;
        bool emitted;
        if (m_RelocSize != 0 && rva == m_RelocRva) {
            emitted = program->EmitPeRelocs();
            i += m_RelocSize;
        } else if ((atAbs || atRel) && FitsIn(i, 4, Length())) {
            const uint32_t value = ReadLE32(Start() + i);
            emitted = atAbs ? program->EmitAbs32(program->Abs32LabelAt(value - static_cast<uint32_t>(m_ImageBase)))
                            : program->EmitRel32(program->Rel32LabelAt(rva + 4 + value));
            i += 4;
        } else {
            emitted = program->EmitByte(Start()[i]);
            ++i;
        }
        if (!emitted)
            return false;
    }
    *position = i;
    return true;
}

} // namespace vxpatch
