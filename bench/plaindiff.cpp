// bench_plaindiff OLD NEW OUT: our plain binary diff (LZMA2 body, no header), the baseline the
// ensemble patches are measured against. Exit codes: 0 ok, 1 failure, 2 usage.
#include "vxpatch/binarydiffmaker.h"
#include "vxpatch/streams.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("usage: bench_plaindiff OLD NEW OUT\n");
        return 0;
    }
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_plaindiff OLD NEW OUT\n");
        return 2;
    }
    vxpatch::MappedFile oldFile, newFile;
    if (!oldFile.Open(argv[1]) || !newFile.Open(argv[2])) {
        std::fprintf(stderr, "bench_plaindiff: cannot read the inputs\n");
        return 1;
    }
    vxpatch::ByteSink diff;
    if (!vxpatch::MakeBinaryDiff(oldFile.Data(), oldFile.Length(), newFile.Data(),
                                 newFile.Length(), vxpatch::BinaryDiffBodyCompressed, false, &diff)
        || !vxpatch::ReplaceWholeFile(argv[3], diff.Data(), diff.Size())) {
        std::fprintf(stderr, "bench_plaindiff: diff failed\n");
        return 1;
    }
    return 0;
}
