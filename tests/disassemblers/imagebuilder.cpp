#include "imagebuilder.h"

#include <fstream>
#include <iterator>

namespace vxtest {

void PutLE16(Bytes &bytes, size_t offset, uint16_t value)
{
    bytes.at(offset) = static_cast<uint8_t>(value);
    bytes.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void PutLE32(Bytes &bytes, size_t offset, uint32_t value)
{
    PutLE16(bytes, offset, static_cast<uint16_t>(value));
    PutLE16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

void PutLE64(Bytes &bytes, size_t offset, uint64_t value)
{
    PutLE32(bytes, offset, static_cast<uint32_t>(value));
    PutLE32(bytes, offset + 4, static_cast<uint32_t>(value >> 32));
}

void PutBytes(Bytes &bytes, size_t offset, std::initializer_list<uint8_t> values)
{
    for (uint8_t value : values)
        bytes.at(offset++) = value;
}

size_t ElfSectionTableOffset(const ElfImage &image)
{
    return (image.is64 ? 64 : 52) + image.segments.size() * (image.is64 ? 56 : 32);
}

Bytes BuildElf(const ElfImage &image)
{
    Bytes bytes(image.fileSize);
    const bool w = image.is64;
    PutBytes(bytes, 0, {0x7F, 'E', 'L', 'F', uint8_t(w ? 2 : 1), 1, 1});
    PutLE16(bytes, 16, image.type);
    PutLE16(bytes, 18, image.machine);
    PutLE32(bytes, 20, 1);
    const size_t ph = w ? 64 : 52;
    const size_t sh = ElfSectionTableOffset(image);
    if (w) {
        PutLE64(bytes, 32, image.segments.empty() ? 0 : ph);
        PutLE64(bytes, 40, image.sections.empty() ? 0 : sh);
        PutLE16(bytes, 54, 56);
        PutLE16(bytes, 56, static_cast<uint16_t>(image.segments.size()));
        PutLE16(bytes, 58, 64);
        PutLE16(bytes, 60, static_cast<uint16_t>(image.sections.size()));
    } else {
        PutLE32(bytes, 28, image.segments.empty() ? 0 : static_cast<uint32_t>(ph));
        PutLE32(bytes, 32, image.sections.empty() ? 0 : static_cast<uint32_t>(sh));
        PutLE16(bytes, 42, 32);
        PutLE16(bytes, 44, static_cast<uint16_t>(image.segments.size()));
        PutLE16(bytes, 46, 40);
        PutLE16(bytes, 48, static_cast<uint16_t>(image.sections.size()));
    }
    for (size_t i = 0; i < image.segments.size(); ++i) {
        const ElfSegment &s = image.segments[i];
        if (w) {
            const size_t p = ph + i * 56;
            PutLE32(bytes, p, s.type);
            PutLE64(bytes, p + 8, s.offset);
            PutLE64(bytes, p + 16, s.vaddr);
            PutLE64(bytes, p + 32, s.filesz);
            PutLE64(bytes, p + 40, s.memsz);
        } else {
            const size_t p = ph + i * 32;
            PutLE32(bytes, p, s.type);
            PutLE32(bytes, p + 4, static_cast<uint32_t>(s.offset));
            PutLE32(bytes, p + 8, static_cast<uint32_t>(s.vaddr));
            PutLE32(bytes, p + 16, static_cast<uint32_t>(s.filesz));
            PutLE32(bytes, p + 20, static_cast<uint32_t>(s.memsz));
        }
    }
    for (size_t i = 0; i < image.sections.size(); ++i) {
        const ElfSection &s = image.sections[i];
        if (w) {
            const size_t p = sh + i * 64;
            PutLE32(bytes, p + 4, s.type);
            PutLE64(bytes, p + 16, s.addr);
            PutLE64(bytes, p + 24, s.offset);
            PutLE64(bytes, p + 32, s.size);
            PutLE64(bytes, p + 56, s.entsize);
        } else {
            const size_t p = sh + i * 40;
            PutLE32(bytes, p + 4, s.type);
            PutLE32(bytes, p + 12, static_cast<uint32_t>(s.addr));
            PutLE32(bytes, p + 16, static_cast<uint32_t>(s.offset));
            PutLE32(bytes, p + 20, static_cast<uint32_t>(s.size));
            PutLE32(bytes, p + 36, static_cast<uint32_t>(s.entsize));
        }
    }
    return bytes;
}

size_t PeOptionalHeaderOffset()
{
    return kPeHeader + 24;
}

Bytes BuildPe(const PeImage &image)
{
    Bytes bytes(image.fileSize);
    PutBytes(bytes, 0, {'M', 'Z'});
    PutLE32(bytes, 60, kPeHeader);
    PutBytes(bytes, kPeHeader, {'P', 'E', 0, 0});
    const size_t directories = image.plus ? 112 : 96;
    const uint16_t optionalSize = static_cast<uint16_t>(directories + 16 * 8);
    PutLE16(bytes, kPeHeader + 6, static_cast<uint16_t>(image.sections.size()));
    PutLE16(bytes, kPeHeader + 20, optionalSize);
    const size_t opt = PeOptionalHeaderOffset();
    PutLE16(bytes, opt, image.plus ? 0x20B : 0x10B);
    if (image.plus)
        PutLE64(bytes, opt + 24, image.imageBase);
    else
        PutLE32(bytes, opt + 28, static_cast<uint32_t>(image.imageBase));
    PutLE32(bytes, opt + 56, image.sizeOfImage);
    PutLE32(bytes, opt + directories - 4, 16);
    PutLE32(bytes, opt + directories + 5 * 8, image.relocRva);
    PutLE32(bytes, opt + directories + 5 * 8 + 4, image.relocSize);
    const size_t table = opt + optionalSize;
    for (size_t i = 0; i < image.sections.size(); ++i) {
        const PeSection &s = image.sections[i];
        const size_t p = table + i * 40;
        for (size_t k = 0; k < s.name.size() && k < 8; ++k)
            bytes.at(p + k) = static_cast<uint8_t>(s.name[k]);
        PutLE32(bytes, p + 8, s.virtualSize);
        PutLE32(bytes, p + 12, s.virtualAddress);
        PutLE32(bytes, p + 16, s.rawSize);
        PutLE32(bytes, p + 20, s.rawOffset);
    }
    return bytes;
}

Bytes BuildMacho(const MachoImage &image)
{
    Bytes bytes(image.fileSize);
    const bool w = image.is64;
    PutLE32(bytes, 0, w ? 0xFEEDFACF : 0xFEEDFACE);
    PutLE32(bytes, 4, image.cputype);
    PutLE32(bytes, 12, image.filetype);
    PutLE32(bytes, 16, static_cast<uint32_t>(image.segments.size()));
    size_t p = w ? 32 : 28;
    for (const MachoSegment &s : image.segments) {
        const size_t head = w ? 72 : 56, each = w ? 80 : 68;
        const uint32_t size = static_cast<uint32_t>(head + each * s.sections.size());
        PutLE32(bytes, p, w ? 25 : 1);
        PutLE32(bytes, p + 4, size);
        if (w) {
            PutLE64(bytes, p + 24, s.vmaddr);
            PutLE64(bytes, p + 32, s.vmsize);
            PutLE64(bytes, p + 40, s.fileoff);
            PutLE64(bytes, p + 48, s.filesize);
            PutLE32(bytes, p + 64, static_cast<uint32_t>(s.sections.size()));
        } else {
            PutLE32(bytes, p + 24, static_cast<uint32_t>(s.vmaddr));
            PutLE32(bytes, p + 28, static_cast<uint32_t>(s.vmsize));
            PutLE32(bytes, p + 32, static_cast<uint32_t>(s.fileoff));
            PutLE32(bytes, p + 36, static_cast<uint32_t>(s.filesize));
            PutLE32(bytes, p + 48, static_cast<uint32_t>(s.sections.size()));
        }
        size_t q = p + head;
        for (const MachoSection &c : s.sections) {
            if (w) {
                PutLE64(bytes, q + 32, c.addr);
                PutLE64(bytes, q + 40, c.size);
                PutLE32(bytes, q + 48, c.offset);
                PutLE32(bytes, q + 64, c.flags);
            } else {
                PutLE32(bytes, q + 32, static_cast<uint32_t>(c.addr));
                PutLE32(bytes, q + 36, static_cast<uint32_t>(c.size));
                PutLE32(bytes, q + 40, c.offset);
                PutLE32(bytes, q + 56, c.flags);
            }
            q += each;
        }
        p += size;
    }
    PutLE32(bytes, 20, static_cast<uint32_t>(p - (w ? 32 : 28)));
    return bytes;
}

Bytes ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace vxtest
