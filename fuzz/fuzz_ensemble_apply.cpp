// Ensemble patches of any content over one fixed old file that holds real executables, so
// that inputs reach the element steps. An input whose first byte is even is taken as a
// whole patch; otherwise as the body of one: the harness writes a header with the old
// file's checksum around it (target checksum and size prediction from the next eight input
// bytes) and stores the body in uncompressed LZMA2 chunks, so that mutations act on the
// stream set instead of on compressed bits.
#include "vxpatch/ensemble.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadFixture(const char *name)
{
    std::string path = __FILE__;
    path = path.substr(0, path.find_last_of('/') + 1) + "../tests/fixtures/executables/" + name;
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::vector<uint8_t> &OldFile()
{
    static const std::vector<uint8_t> old = [] {
        std::vector<uint8_t> bytes;
        for (const char *name : {"elf_x86", "pe_x86.exe", "macho_x64", "elf_arm"}) {
            const std::vector<uint8_t> image = ReadFixture(name);
            bytes.insert(bytes.end(), image.begin(), image.end());
            const char gap[] = "between images";
            bytes.insert(bytes.end(), gap, gap + sizeof(gap));
        }
        return bytes;
    }();
    return old;
}

uint32_t Read32(const uint8_t *p)
{
    uint32_t value;
    std::memcpy(&value, p, 4);
    return value;
}

// An LZMA2 block of uncompressed chunks (at most 64 KiB each) holding the bytes.
void WriteStoredBlock(const uint8_t *data, size_t size, vxpatch::ByteSink *sink)
{
    const uint8_t properties = 16;
    sink->WriteBytes(&properties, 1);
    sink->WriteSizeVarint(size);
    for (size_t done = 0; done < size;) {
        const size_t chunk = size - done < 0x10000 ? size - done : 0x10000;
        const uint8_t head[3] = {static_cast<uint8_t>(done == 0 ? 1 : 2),
                                 static_cast<uint8_t>((chunk - 1) >> 8),
                                 static_cast<uint8_t>(chunk - 1)};
        sink->WriteBytes(head, 3);
        sink->WriteBytes(data + done, chunk);
        done += chunk;
    }
    const uint8_t end = 0;
    sink->WriteBytes(&end, 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const std::vector<uint8_t> &old = OldFile();
    vxpatch::ByteSink patch;
    if ((data[0] & 1) == 0) {
        patch.WriteBytes(data + 1, size - 1);
    } else {
        if (size < 9)
            return 0;
        patch.WriteVarint(vxpatch::kEnsembleMagic);
        patch.WriteVarint(vxpatch::kEnsembleVersion);
        patch.WriteVarint(vxpatch::ComputeChecksum(old.data(), old.size()));
        patch.WriteVarint(Read32(data + 1));
        patch.WriteVarint(Read32(data + 5));
        WriteStoredBlock(data + 9, size - 9, &patch);
    }
    vxpatch::ByteSource oldSource, patchSource;
    oldSource.Init(old.data(), old.size());
    patchSource.Init(patch.Data(), patch.Size());
    vxpatch::ByteSink result;
    vxpatch::ApplyEnsemblePatchStreams(&oldSource, &patchSource, &result);
    return 0;
}
