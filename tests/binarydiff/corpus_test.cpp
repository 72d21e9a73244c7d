// Round trips over real executables of consecutive releases (bench/corpus/fetch). The corpus
// is large and downloaded on demand, so without it these cases are skipped. The stored form
// is used: it exercises all of the matching and the whole control loop, while compressing
// would only add time (the compressed forms are covered by the smaller round trips).
#include "diffbuilder.h"

#include "vxpatch/binarydiff.h"
#include "vxpatch/binarydiffmaker.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace binarydifftest {
namespace {

std::filesystem::path corpusDir()
{
    if (const char *dir = std::getenv("VX_CORPUS_DIR"))
        return dir;
    const char *home = std::getenv("HOME");
    return std::filesystem::path(home ? home : "/") / ".cache/voxtrel-corpus/files";
}

Bytes readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct CorpusPair {
    const char *oldName;
    const char *newName;
};

class CorpusRoundTrip : public ::testing::TestWithParam<CorpusPair> {};

TEST_P(CorpusRoundTrip, DiffThenPatchGivesTheNewFile)
{
    const auto oldPath = corpusDir() / GetParam().oldName;
    const auto newPath = corpusDir() / GetParam().newName;
    if (!std::filesystem::exists(oldPath) || !std::filesystem::exists(newPath))
        GTEST_SKIP() << "corpus not fetched (bench/corpus/fetch)";
    const Bytes oldBytes = readFile(oldPath);
    const Bytes newBytes = readFile(newPath);
    vxpatch::ByteSink diff;
    ASSERT_TRUE(vxpatch::MakeBinaryDiff(oldBytes.data(), oldBytes.size(), newBytes.data(),
                                        newBytes.size(), vxpatch::BinaryDiffStored, true,
                                        &diff));
    const ApplyResult result = applyDiff(oldBytes, bytesOf(diff), true);
    ASSERT_TRUE(result.ok);
    EXPECT_TRUE(result.output == newBytes);
}

std::vector<CorpusPair> corpusPairs()
{
    static const char *const platforms[] = {"darwin-x64", "linux-x64",  "linux-ia32",
                                            "linux-arm",  "win32-x64", "win32-ia32"};
    static std::vector<std::string> names;
    std::vector<CorpusPair> pairs;
    names.reserve(4 * 6);
    for (const char *platform : platforms) {
        const std::string suffix = std::string(platform).rfind("win32", 0) == 0 ? ".exe" : "";
        for (const char *version : {"0.24.0", "0.24.1", "0.24.2", "0.25.0"})
            names.push_back(std::string("esbuild-") + platform + "-" + version + suffix);
    }
    for (size_t i = 0; i < names.size(); i += 4) {
        pairs.push_back({names[i].c_str(), names[i + 1].c_str()});
        pairs.push_back({names[i + 2].c_str(), names[i + 3].c_str()});
    }
    pairs.push_back({"fsevents-2.3.2.node", "fsevents-2.3.3.node"});
    return pairs;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusRoundTrip, ::testing::ValuesIn(corpusPairs()),
                         [](const auto &info) {
                             std::string name = info.param.newName;
                             for (char &c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
} // namespace binarydifftest
