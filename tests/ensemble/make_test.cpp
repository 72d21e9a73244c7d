#include "patchbuilder.h"

#include "vxpatch/detection.h"
#include "vxpatch/ensemble.h"
#include "vxpatch/ensembleelements.h"
#include "vxpatch/ensemblemaker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

using namespace vxtest;

namespace {

const char *const kFixtures[] = {"elf_x64", "elf_x86", "elf_arm", "pe_x86.exe",
                                 "pe_x64.exe", "macho_x64", "macho_x86"};

Bytes Fixture(const std::string &name)
{
    return ReadFile(FixturePath("executables/" + name));
}

bool Recognized(const Bytes &bytes)
{
    vxpatch::ExecutableType type;
    size_t length = 0;
    return vxpatch::IdentifyExecutable(bytes.data(), bytes.size(), &type, &length)
           == vxpatch::StatusOk;
}

// What a rebuild does to a file: a few bytes changed in the middle, some added at the end.
Bytes Rebuilt(Bytes bytes)
{
    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 3 && i < bytes.size(); ++i)
        bytes[i] ^= 0x5A;
    const Bytes tail = ToBytes("appended by the new build");
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

// Elements are kept even where they do not pay, so that small fixtures exercise them.
Bytes Make(const Bytes &oldFile, const Bytes &newFile, vxpatch::MakeReport *report)
{
    vxpatch::ByteSink sink;
    vxpatch::MakeOptions options;
    options.alwaysUseElements = true;
    EXPECT_EQ(vxpatch::StatusOk,
              vxpatch::MakeEnsemblePatch(oldFile.data(), oldFile.size(), newFile.data(),
                                         newFile.size(), &sink, nullptr, report, options));
    return Bytes(sink.Data(), sink.Data() + sink.Size());
}

void ExpectRoundTrip(const Bytes &oldFile, const Bytes &newFile, vxpatch::MakeReport *report)
{
    const Bytes patch = Make(oldFile, newFile, report);
    Bytes result;
    ASSERT_EQ(vxpatch::StatusOk, ApplyInMemory(oldFile, patch, &result));
    EXPECT_TRUE(result == newFile);
}

TEST(EnsembleMakeTest, FilesWithoutElementsRoundTripThroughTheFinalDiff)
{
    const Bytes text = ToBytes("no executable here, only words that change a little");
    const Bytes elf = Fixture("elf_x64");
    const struct {
        const char *name;
        Bytes oldFile, newFile;
    } cases[] = {
        {"text", text, ToBytes("no executable here, only words that changed a bit")},
        {"identical", text, text},
        {"to empty", text, {}},
        {"single byte", {0}, {1}},
        {"truncated image header", Bytes(elf.begin(), elf.begin() + 40), text},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        vxpatch::MakeReport report;
        ExpectRoundTrip(c.oldFile, c.newFile, &report);
        EXPECT_EQ(0u, report.elements);
    }
}

TEST(EnsembleMakeTest, FixturesRoundTripAsElements)
{
    for (const char *name : kFixtures) {
        SCOPED_TRACE(name);
        const Bytes image = Fixture(name);
        ASSERT_FALSE(image.empty());
        for (const Bytes &newFile : {image, Rebuilt(image)}) {
            vxpatch::MakeReport report;
            ExpectRoundTrip(image, newFile, &report);
            if (Recognized(image)) {
                EXPECT_EQ(1u, report.elements);
            }
        }
    }
}

// Two real releases of the same program, one image per kind, and both as a universal file.
TEST(EnsembleMakeTest, ReleasePairsRoundTrip)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const char *name : kFixtures)
        pairs.emplace_back(FixturePath(std::string("executables/") + name),
                           FixturePath(std::string("../ensemble/fixtures/") + name));
    pairs.emplace_back(FixturePath("../ensemble/fixtures/universal_first"),
                       FixturePath("../ensemble/fixtures/universal"));
    for (const auto &pair : pairs) {
        SCOPED_TRACE(pair.second);
        const Bytes oldFile = ReadFile(pair.first), newFile = ReadFile(pair.second);
        ASSERT_FALSE(oldFile.empty() || newFile.empty());
        vxpatch::MakeReport report;
        ExpectRoundTrip(oldFile, newFile, &report);
        if (Recognized(newFile)) {
            EXPECT_GE(report.elements, 1u);
        }
    }
}

TEST(EnsembleMakeTest, ElementsOfDifferentKindsArePairedWithTheirOwnKind)
{
    const Bytes elf = Fixture("elf_x64"), pe = Fixture("pe_x86.exe"), macho = Fixture("macho_x64");
    const Bytes junk = ToBytes("archive member header ");
    const Bytes oldFile = Concat(Concat(Concat(junk, elf), junk), pe);
    const Bytes newFile = Concat(Concat(Concat(Concat(junk, junk), pe), Rebuilt(elf)), macho);
    vxpatch::MakeReport report;
    ExpectRoundTrip(oldFile, newFile, &report);
    if (Recognized(elf) && Recognized(pe)) {
        EXPECT_EQ(2u, report.elements);
    }
}

// Data whose bytes happen to look like a branch into the image is left out of the new
// element's program and carried by the final diff, even for an element inside a larger file.
TEST(EnsembleMakeTest, SectionsWithChanceReferencesAreLeftToTheFinalDiff)
{
    const Bytes elf = Fixture("elf_x64");
    if (!Recognized(elf))
        GTEST_SKIP() << "no disassembler for the fixtures yet";
    // A call into .text planted in .eh_frame (0x498 to 0x574, loaded at its file offset).
    Bytes rebuilt = elf;
    const uint8_t chanceCall[] = {0xE8, 0x9B, 0xFE, 0xFF, 0xFF};
    std::copy(std::begin(chanceCall), std::end(chanceCall), rebuilt.begin() + 0x4A0);
    rebuilt[0x330] ^= 0x01;
    const Bytes junk = ToBytes("archive member header ");
    for (const Bytes &prefix : {Bytes(), junk}) {
        SCOPED_TRACE(prefix.size());
        vxpatch::MakeReport report;
        ExpectRoundTrip(Concat(prefix, elf), Concat(prefix, rebuilt), &report);
        EXPECT_EQ(1u, report.elements);
        EXPECT_GT(report.leftOutBytes, 0u);
    }
}

TEST(EnsembleMakeTest, KeepsTheSmallerPatchForSmallFiles)
{
    // An unchanged image: the element sets cost more than the final diff alone.
    const Bytes image = Fixture("pe_x86.exe");
    vxpatch::ByteSink chosen;
    vxpatch::MakeReport report;
    ASSERT_EQ(vxpatch::StatusOk, vxpatch::MakeEnsemblePatch(image.data(), image.size(), image.data(),
                                                            image.size(), &chosen, nullptr, &report));
    const Bytes withElements = Make(image, image, nullptr);
    EXPECT_LE(chosen.Size(), withElements.size());
    if (chosen.Size() < withElements.size()) {
        EXPECT_EQ(0u, report.elements);
    }
}

TEST(EnsembleElementsTest, FindsEmbeddedImagesAndPairsByKind)
{
    const Bytes elf = Fixture("elf_x64"), pe = Fixture("pe_x86.exe");
    if (!Recognized(elf) || !Recognized(pe))
        GTEST_SKIP() << "no disassembler for the fixtures yet";
    const Bytes junk = ToBytes("MZ but no image; \x7f" "ELF neither");
    const Bytes file = Concat(Concat(Concat(junk, elf), junk), pe);
    vxpatch::GrowableArray<vxpatch::Element> elements;
    ASSERT_TRUE(vxpatch::FindElements(file.data(), file.size(), &elements));
    ASSERT_EQ(2u, elements.Size());
    EXPECT_EQ(vxpatch::EXE_ELF_64_X64, elements[0].kind);
    EXPECT_EQ(junk.size(), elements[0].offset);
    EXPECT_EQ(vxpatch::EXE_WIN_32_X86, elements[1].kind);
    EXPECT_EQ(2 * junk.size() + elf.size(), elements[1].offset);

    vxpatch::GrowableArray<vxpatch::Element> reversed;
    reversed.Push(elements[1]);
    reversed.Push(elements[0]);
    vxpatch::GrowableArray<vxpatch::ElementPair> pairs;
    ASSERT_TRUE(vxpatch::PairElements(elements, reversed, &pairs));
    ASSERT_EQ(2u, pairs.Size());
    for (const vxpatch::ElementPair &pair : pairs)
        EXPECT_EQ(pair.oldElement.kind, pair.newElement.kind);
}

} // namespace
