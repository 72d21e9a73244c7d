// Make then apply on arbitrary pairs: the patch the maker hands out must always apply and
// give the new file byte for byte. Input: a mode byte, a 16-bit split point, then bytes
// split into old and new. Mode bit 0 puts a real executable in front of each side (the two
// releases of a fixture, picked by the upper mode bits) so that elements are found, paired
// and aligned; bit 1 mixes the input bytes into the new image itself, so the new side's
// programs are damaged in arbitrary ways.
#include "vxpatch/ensemble.h"
#include "vxpatch/ensemblemaker.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadRelative(const std::string &relative)
{
    std::string path = __FILE__;
    path = path.substr(0, path.find_last_of('/') + 1) + "../tests/" + relative;
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char *const kImages[] = {"elf_x86", "elf_x64", "elf_arm", "pe_x86.exe",
                               "pe_x64.exe", "macho_x64", "macho_x86", "elf_x64"};

struct Release {
    Bytes first, second;
};

const Release &ReleaseOf(unsigned which)
{
    static Release releases[8];
    static bool loaded = false;
    if (!loaded) {
        for (unsigned i = 0; i < 8; ++i) {
            releases[i].first = ReadRelative(std::string("fixtures/executables/") + kImages[i]);
            releases[i].second = ReadRelative(std::string("ensemble/fixtures/") + kImages[i]);
        }
        loaded = true;
    }
    return releases[which & 7];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const uint8_t mode = data[0];
    const size_t rest = size - 3;
    const size_t split = ((size_t(data[1]) << 8) | data[2]) % (rest + 1);
    Bytes oldFile, newFile;
    if (mode & 1) {
        const Release &release = ReleaseOf(mode >> 5);
        oldFile = release.first;
        newFile = release.second;
    }
    oldFile.insert(oldFile.end(), data + 3, data + 3 + split);
    if ((mode & 2) && !newFile.empty()) {
        for (size_t i = split; i < rest; ++i)
            newFile[(i * 131) % newFile.size()] ^= data[3 + i];
    } else {
        newFile.insert(newFile.end(), data + 3 + split, data + size);
    }

    vxpatch::ByteSink patch;
    if (vxpatch::MakeEnsemblePatch(oldFile.data(), oldFile.size(), newFile.data(), newFile.size(),
                                   &patch) != vxpatch::StatusOk)
        std::abort();
    vxpatch::ByteSource oldSource, patchSource;
    oldSource.Init(oldFile.data(), oldFile.size());
    patchSource.Init(patch.Data(), patch.Size());
    vxpatch::ByteSink result;
    if (vxpatch::ApplyEnsemblePatchStreams(&oldSource, &patchSource, &result) != vxpatch::StatusOk
        || result.Size() != newFile.size()
        || (result.Size() && std::memcmp(result.Data(), newFile.data(), newFile.size()) != 0))
        std::abort();
    return 0;
}
