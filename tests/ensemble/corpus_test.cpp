// Make then apply over real executables of consecutive releases (bench/corpus/fetch). A pair
// takes minutes on a loaded machine, so these cases run only when VX_CORPUS_DIR names the
// corpus (bench/patches verifies the same round trips).
#include "patchbuilder.h"

#include "vxpatch/ensemblemaker.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace vxtest;

namespace {

std::filesystem::path CorpusDir()
{
    const char *dir = std::getenv("VX_CORPUS_DIR");
    return dir ? dir : "";
}

struct CorpusPair {
    const char *oldName;
    const char *newName;
};

class EnsembleCorpusTest : public ::testing::TestWithParam<CorpusPair> {};

TEST_P(EnsembleCorpusTest, RoundTripsAsElements)
{
    const std::filesystem::path oldPath = CorpusDir() / GetParam().oldName;
    const std::filesystem::path newPath = CorpusDir() / GetParam().newName;
    if (CorpusDir().empty() || !std::filesystem::exists(oldPath)
        || !std::filesystem::exists(newPath))
        GTEST_SKIP() << "set VX_CORPUS_DIR to a fetched corpus (bench/corpus/fetch)";
    const Bytes oldFile = ReadFile(oldPath.string()), newFile = ReadFile(newPath.string());
    vxpatch::ByteSink patch;
    vxpatch::MakeReport report;
    ASSERT_EQ(vxpatch::StatusOk,
              vxpatch::MakeEnsemblePatch(oldFile.data(), oldFile.size(), newFile.data(),
                                         newFile.size(), &patch, nullptr, &report));
    Bytes result;
    ASSERT_EQ(vxpatch::StatusOk,
              ApplyInMemory(oldFile, Bytes(patch.Data(), patch.Data() + patch.Size()), &result));
    EXPECT_TRUE(result == newFile);
}

INSTANTIATE_TEST_SUITE_P(
    Releases, EnsembleCorpusTest,
    ::testing::Values(CorpusPair{"esbuild-darwin-x64-0.24.2", "esbuild-darwin-x64-0.25.0"},
                      CorpusPair{"esbuild-linux-x64-0.24.2", "esbuild-linux-x64-0.25.0"},
                      CorpusPair{"esbuild-linux-ia32-0.24.2", "esbuild-linux-ia32-0.25.0"},
                      CorpusPair{"esbuild-linux-arm-0.24.2", "esbuild-linux-arm-0.25.0"},
                      CorpusPair{"esbuild-win32-x64-0.24.2.exe", "esbuild-win32-x64-0.25.0.exe"},
                      CorpusPair{"esbuild-win32-ia32-0.24.2.exe", "esbuild-win32-ia32-0.25.0.exe"},
                      CorpusPair{"fsevents-2.3.2.node", "fsevents-2.3.3.node"}),
    [](const ::testing::TestParamInfo<CorpusPair> &info) {
        std::string name = info.param.newName;
        for (char &c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

} // namespace
