// Real executables, built from tests/fixtures/executables and (when fetched) the benchmark
// corpus: each must be recognised as its kind, rebuilt byte for byte from its program, and
// packed and unpacked into the same bytes by the executable-aware container.
#include "imagebuilder.h"
#include "roundtrip.h"

#include "vxpatch/container.h"
#include "vxpatch/detection.h"
#include "vxpatch/executableelements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace vxtest;
using namespace vxpatch;
namespace fs = std::filesystem;

struct Fixture {
    const char *file;
    ExecutableType type;
};

const Fixture kFixtures[] = {
    {"elf_x86", EXE_ELF_32_X86},  {"elf_x64", EXE_ELF_64_X64}, {"elf_arm", EXE_ELF_32_ARM},
    {"pe_x86.exe", EXE_WIN_32_X86}, {"pe_x64.exe", EXE_WIN_32_X64}, {"macho_x86", EXE_MACHO_X86},
    {"macho_x64", EXE_MACHO_X64},
};

// Disassembles each image of the file and checks that its program assembles to the image's
// exact bytes, with and without the trimming the container applies.
void ExpectImagesRebuild(const Bytes &file)
{
    GrowableArray<ExecutableElement> elements;
    ASSERT_TRUE(FindExecutableElements(file.data(), file.size(), &elements));
    ASSERT_FALSE(elements.Empty());
    for (const ExecutableElement &element : elements) {
        SCOPED_TRACE(ExecutableTypeName(element.type));
        const Bytes image(file.begin() + element.offset, file.begin() + element.offset + element.length);
        for (bool trim : {false, true}) {
            std::unique_ptr<ParsedProgram> program;
            ASSERT_EQ(DisassembleElement(image.data(), image.size(), &program), StatusOk);
            const RoundTrip trip = Reassemble(program.get(), trim);
            ASSERT_EQ(trip.failure, "");
            ASSERT_EQ(trip.assembled.size(), image.size());
            EXPECT_TRUE(trip.assembled == image) << "assembled bytes differ, trim " << trim;
        }
    }
}

// Packs the file executable-aware, checks the directive, and unpacks it again.
void ExpectPackRoundTrip(const Bytes &file, uint32_t directive)
{
    ByteSink container;
    ASSERT_TRUE(CompressBuffer(file.data(), file.size(), ContainerMode::ExecutableAware, &container));
    ByteSource header;
    header.Init(container.Data(), container.Size());
    uint32_t magic, checksum, stored;
    ASSERT_TRUE(header.ReadVarint(&magic) && header.ReadVarint(&checksum) && header.ReadVarint(&stored));
    EXPECT_EQ(stored, directive);
    ByteSource source;
    source.Init(container.Data(), container.Size());
    ByteSink unpacked;
    ASSERT_TRUE(DecompressBuffer(&source, &unpacked));
    EXPECT_TRUE(Bytes(unpacked.Data(), unpacked.Data() + unpacked.Size()) == file);
}

TEST(Fixtures, EachKindIsRecognisedAndRebuilt)
{
    for (const Fixture &fixture : kFixtures) {
        SCOPED_TRACE(fixture.file);
        const Bytes file = ReadFile(std::string(VX_SOURCE_DIR) + "/tests/fixtures/executables/" + fixture.file);
        ASSERT_FALSE(file.empty());
        ExecutableType type;
        size_t length;
        ASSERT_EQ(IdentifyExecutable(file.data(), file.size(), &type, &length), StatusOk);
        EXPECT_EQ(type, fixture.type);
        EXPECT_LE(length, file.size());
        ExpectImagesRebuild(file);
        ExpectPackRoundTrip(file, ContainerExecutableAware);
    }
}

TEST(Fixtures, UniversalFileIsReadSliceBySlice)
{
    const Bytes x86 = ReadFile(std::string(VX_SOURCE_DIR) + "/tests/fixtures/executables/macho_x86");
    const Bytes x64 = ReadFile(std::string(VX_SOURCE_DIR) + "/tests/fixtures/executables/macho_x64");
    // Header, then the slices at 4096-byte boundaries, and a third entry overlapping the first.
    const size_t first = 0x1000, second = first + (x86.size() + 0xFFF) / 0x1000 * 0x1000;
    Bytes file(second + x64.size());
    const auto putBE = [&file](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    putBE(0, 0xCAFEBABE);
    putBE(4, 3);
    const uint32_t entries[3][2] = {{uint32_t(first), uint32_t(x86.size())},
                                    {uint32_t(second), uint32_t(x64.size())},
                                    {uint32_t(first + 0x10), 0x100}};
    for (int i = 0; i < 3; ++i) {
        putBE(8 + 20 * i + 8, entries[i][0]);
        putBE(8 + 20 * i + 12, entries[i][1]);
    }
    std::copy(x86.begin(), x86.end(), file.begin() + first);
    std::copy(x64.begin(), x64.end(), file.begin() + second);

    GrowableArray<ExecutableElement> elements;
    ASSERT_TRUE(FindExecutableElements(file.data(), file.size(), &elements));
    ASSERT_EQ(elements.Size(), 2u);
    EXPECT_EQ(elements[0].offset, first);
    EXPECT_EQ(elements[0].type, EXE_MACHO_X86);
    EXPECT_EQ(elements[1].offset, second);
    EXPECT_EQ(elements[1].type, EXE_MACHO_X64);
    ExpectImagesRebuild(file);
    ExpectPackRoundTrip(file, ContainerExecutableAware);
}

TEST(Fixtures, NonExecutableFilesPackPlainly)
{
    const Bytes text = ReadFile(std::string(VX_SOURCE_DIR) + "/tests/fixtures/executables/tiny.c");
    ExpectPackRoundTrip(text, ContainerPlain);
}

// Packs the file in `mode` and unpacks it again; returns the container.
Bytes PackAndCheck(const Bytes &file, ContainerMode mode)
{
    ByteSink container;
    EXPECT_TRUE(CompressBuffer(file.data(), file.size(), mode, &container));
    ByteSource source;
    source.Init(container.Data(), container.Size());
    ByteSink unpacked;
    EXPECT_TRUE(DecompressBuffer(&source, &unpacked));
    EXPECT_TRUE(Bytes(unpacked.Data(), unpacked.Data() + unpacked.Size()) == file);
    return Bytes(container.Data(), container.Data() + container.Size());
}

// Code that is nothing but calls to a few functions: plain, every call site stores another
// displacement; as a program the targets repeat, so the executable-aware form is shorter.
Bytes CallHeavyElf()
{
    constexpr size_t kCode = 0x400, kSize = 0x10000;
    ElfImage e;
    e.segments = {{1, 0, 0x1000, kSize, kSize}};
    e.sections = {{1, 0x1000 + kCode, kCode, kSize - kCode, 0}};
    e.fileSize = kSize;
    Bytes image = BuildElf(e);
    uint32_t seed = 12345;
    for (size_t at = kCode; at + 5 <= kSize; at += 5) {
        seed = seed * 1103515245u + 12345u;
        const uint32_t target = 0x1000 + kCode + (seed >> 16) % 16 * 0x100;
        image[at] = 0xE8;
        PutLE32(image, at + 1, target - (0x1000 + static_cast<uint32_t>(at) + 5));
    }
    return image;
}

TEST(Fixtures, SmallestModeKeepsTheShorterForm)
{
    const auto fixture = [](const std::string &name) {
        return ReadFile(std::string(VX_SOURCE_DIR) + "/tests/fixtures/executables/" + name);
    };
    // The fixtures are so small that their address tables outweigh what disassembly saves.
    std::vector<std::pair<std::string, Bytes>> files{{"calls", CallHeavyElf()},
                                                     {"tiny.c", fixture("tiny.c")}};
    for (const Fixture &each : kFixtures)
        files.emplace_back(each.file, fixture(each.file));
    for (const auto &[name, file] : files) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(file.empty());
        const Bytes plain = PackAndCheck(file, ContainerMode::Plain);
        const Bytes aware = PackAndCheck(file, ContainerMode::ExecutableAware);
        const Bytes smallest = PackAndCheck(file, ContainerMode::Smallest);
        // Ties go to the plain form, which unpacks without assembling anything.
        EXPECT_TRUE(smallest == (plain.size() <= aware.size() ? plain : aware));
    }
}

fs::path CorpusDir()
{
    if (const char *dir = std::getenv("VX_CORPUS_DIR"))
        return dir;
    const char *home = std::getenv("HOME");
    return home ? fs::path(home) / ".cache/voxtrel-corpus/files" : fs::path();
}

// The corpus files present when the tests start; none when the corpus was not fetched.
std::vector<std::string> CorpusFiles()
{
    std::vector<std::string> files;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(CorpusDir(), error)) {
        if (entry.is_regular_file())
            files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string TestName(const testing::TestParamInfo<std::string> &info)
{
    std::string name = info.param;
    for (char &c : name)
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

class Corpus : public testing::TestWithParam<std::string> {};

TEST_P(Corpus, ImagesRebuildFromTheirPrograms)
{
    ExpectImagesRebuild(ReadFile((CorpusDir() / GetParam()).string()));
}

// Packing a 10 MB executable takes most of a minute, so the packing of the whole corpus runs
// on request (and in bench/containers, which checks every unpacked file).
TEST_P(Corpus, PacksAndUnpacksToTheSameBytes)
{
    if (!std::getenv("VX_CORPUS_PACK"))
        GTEST_SKIP() << "set VX_CORPUS_PACK=1 to pack the corpus";
    ExpectPackRoundTrip(ReadFile((CorpusDir() / GetParam()).string()), ContainerExecutableAware);
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Corpus);
INSTANTIATE_TEST_SUITE_P(Files, Corpus, testing::ValuesIn(CorpusFiles()), TestName);

} // namespace
