// Stand-alone diff and patch commands for bench/engine, so that the binary diff can be timed
// and its peak memory measured as one process per step, exactly as a release tool runs it.
// Usage: bench_binarydiff diff [--method 0|1|2] [--header] OLD NEW OUT
//        bench_binarydiff patch [--header] OLD DIFF OUT
// Exit codes: 0 success, 1 failure, 2 usage error.
#include "vxpatch/binarydiff.h"
#include "vxpatch/binarydiffmaker.h"
#include "vxpatch/streams.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] = "usage: bench_binarydiff diff [--method 0|1|2] [--header] OLD NEW OUT\n"
                      "       bench_binarydiff patch [--header] OLD DIFF OUT\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

int failure(const std::string &message)
{
    std::fprintf(stderr, "bench_binarydiff: %s\n", message.c_str());
    return 1;
}

// An empty file cannot be mapped; it stands for zero bytes here.
bool openInput(const std::string &path, vxpatch::MappedFile *file)
{
    if (file->Open(path.c_str()))
        return true;
    std::FILE *probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr)
        return false;
    const bool empty = std::fgetc(probe) == EOF;
    std::fclose(probe);
    return empty;
}

int writeResult(const std::string &path, const vxpatch::ByteSink &sink)
{
    if (vxpatch::WriteWholeFile(path.c_str(), sink.Data(), sink.Size()) != sink.Size())
        return failure("cannot write " + path);
    return 0;
}

int runDiff(const std::vector<std::string> &files, int method, bool withHeader)
{
    vxpatch::MappedFile oldFile, newFile;
    if (!openInput(files[0], &oldFile) || !openInput(files[1], &newFile))
        return failure("cannot read the input files");
    vxpatch::ByteSink diff;
    if (!vxpatch::MakeBinaryDiff(oldFile.Data(), oldFile.Length(), newFile.Data(),
                                 newFile.Length(), method, withHeader, &diff))
        return failure("could not make the diff");
    oldFile.Close();
    newFile.Close();
    return writeResult(files[2], diff);
}

int runPatch(const std::vector<std::string> &files, bool withHeader)
{
    vxpatch::MappedFile oldFile, diffFile;
    if (!openInput(files[0], &oldFile) || !diffFile.Open(files[1].c_str()))
        return failure("cannot read the input files");
    vxpatch::ByteSource old, patch;
    old.Init(oldFile.Data(), oldFile.Length());
    patch.Init(diffFile.Data(), diffFile.Length());
    vxpatch::ByteSink out;
    if (!vxpatch::ApplyBinaryDiff(&old, &patch, &out, withHeader))
        return failure("could not apply the diff");
    return writeResult(files[2], out);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    int method = vxpatch::BinaryDiffBodyCompressed;
    bool methodGiven = false;
    bool withHeader = false;
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--header") {
            withHeader = true;
        } else if (word == "--method" && i + 1 < argc && std::strlen(argv[i + 1]) == 1 &&
                   argv[i + 1][0] >= '0' && argv[i + 1][0] <= '2') {
            method = argv[++i][0] - '0';
            methodGiven = true;
        } else if (word.rfind("--", 0) == 0) {
            return usage();
        } else {
            files.push_back(word);
        }
    }
    if (files.size() != 3)
        return usage();
    if (command == "diff")
        return runDiff(files, method, withHeader);
    if (command == "patch" && !methodGiven)
        return runPatch(files, withHeader);
    return usage();
}
