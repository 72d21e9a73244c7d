// Builds small synthetic ELF, PE and Mach-O images for the disassembler tests: just the
// headers and tables a reader looks at, at fixed places, with the content left to the test.
// Each builder takes plain descriptions so a test case can bend one field at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vxtest {

using Bytes = std::vector<uint8_t>;

void PutLE16(Bytes &bytes, size_t offset, uint16_t value);
void PutLE32(Bytes &bytes, size_t offset, uint32_t value);
void PutLE64(Bytes &bytes, size_t offset, uint64_t value);
void PutBytes(Bytes &bytes, size_t offset, std::initializer_list<uint8_t> values);

struct ElfSegment {
    uint32_t type;
    uint64_t offset, vaddr, filesz, memsz;
};
struct ElfSection {
    uint32_t type;
    uint64_t addr, offset, size, entsize;
};
// Header at 0, program headers right after it, section headers right after those.
struct ElfImage {
    bool is64 = false;
    uint16_t machine = 3;
    uint16_t type = 2;
    std::vector<ElfSegment> segments;
    std::vector<ElfSection> sections;
    size_t fileSize = 0x1000;
};
Bytes BuildElf(const ElfImage &image);
// Offset of the section header table BuildElf writes for `image`.
size_t ElfSectionTableOffset(const ElfImage &image);

struct PeSection {
    std::string name;
    uint32_t virtualSize, virtualAddress, rawSize, rawOffset;
};
// DOS header with the PE header at 0x40, 16 data directories, section table after them.
struct PeImage {
    bool plus = false;
    uint64_t imageBase = 0x400000;
    uint32_t sizeOfImage = 0x10000;
    uint32_t relocRva = 0, relocSize = 0;
    std::vector<PeSection> sections;
    size_t fileSize = 0x1000;
};
Bytes BuildPe(const PeImage &image);
constexpr size_t kPeHeader = 0x40;
size_t PeOptionalHeaderOffset();

struct MachoSection {
    uint64_t addr, size;
    uint32_t offset;
    uint32_t flags = 0x80000400; // pure instructions, regular
};
struct MachoSegment {
    uint64_t vmaddr, vmsize, fileoff, filesize;
    std::vector<MachoSection> sections;
};
struct MachoImage {
    bool is64 = true;
    uint32_t cputype = 0x01000007;
    uint32_t filetype = 2;
    std::vector<MachoSegment> segments;
    size_t fileSize = 0x1000;
};
Bytes BuildMacho(const MachoImage &image);

Bytes ReadFile(const std::string &path);

} // namespace vxtest
