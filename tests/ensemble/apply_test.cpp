#include "patchbuilder.h"

#include "vxpatch/ensemble.h"
#include "vxpatch/ensemblemaker.h"
#include "vxpatch/transformationpatcher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vxtest;
using vxpatch::Status;

namespace {

const Bytes kOld = ToBytes("The old file: plain text that no disassembler accepts, 64 bytes.");
const Bytes kNew = ToBytes("The new file: plain text, a little longer than the old one was.");
const Bytes kEmptySets = StreamSet(std::vector<Bytes>(10));

PatchHeader HeaderFor(const Bytes &oldFile, const Bytes &newFile)
{
    PatchHeader header;
    header.sourceChecksum = Checksum(oldFile);
    header.targetChecksum = Checksum(newFile);
    header.finalSizePrediction = static_cast<uint32_t>(oldFile.size());
    return header;
}

// A body whose later streams are valid for `elements` elements, so that only the given
// transformation list decides the outcome.
Bytes BodyWithList(const Bytes &list, size_t elements)
{
    return StreamSet({list, ParameterDiff(elements), Diff(kEmptySets, kEmptySets),
                      Diff(kOld, kNew)});
}

TEST(EnsembleApplyTest, FinalDiffAloneTurnsOldIntoNew)
{
    for (uint32_t prediction : {uint32_t(kOld.size()), 0u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(prediction);
        PatchHeader header = HeaderFor(kOld, kNew);
        header.finalSizePrediction = prediction;
        Bytes result;
        EXPECT_EQ(vxpatch::StatusOk, ApplyInMemory(kOld, Patch(header, BodyWithList(Varints({0}), 0)),
                                                   &result));
        EXPECT_EQ(kNew, result);
    }
}

TEST(EnsembleApplyTest, HeaderFaultsAreReportedInFieldOrder)
{
    const struct {
        const char *name;
        Bytes patch;
        uint32_t status;
    } cases[] = {
        {"empty", {}, vxpatch::StatusBadMagic},
        {"wrong magic", Varints({7696196, 20110216, 0, 0, 0}), vxpatch::StatusBadMagic},
        {"magic alone", Varints({7696195}), vxpatch::StatusBadVersion},
        {"older version", Varints({7696195, 20110215, 0, 0, 0}), vxpatch::StatusBadVersion},
        {"no fields", Varints({7696195, 20110216}), vxpatch::StatusBadHeader},
        {"two of three fields", Varints({7696195, 20110216, Checksum(kOld), 0}),
         vxpatch::StatusBadHeader},
        {"truncated varint", Concat(Varints({7696195, 20110216, 0, 0}), {0x80}),
         vxpatch::StatusBadHeader},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.status, ApplyInMemory(kOld, c.patch));
    }
}

TEST(EnsembleApplyTest, WrongOldFileIsRejectedBeforeTheBodyIsDecoded)
{
    // The body is no LZMA2 block, so reaching it would give a stream error instead.
    const Bytes patch = Concat(Varints({7696195, 20110216, Checksum(kOld), 0, 0}), ToBytes("junk"));
    Bytes oneByteOff = kOld;
    oneByteOff[10] ^= 1;
    EXPECT_EQ(vxpatch::StatusBadCrc, ApplyInMemory(oneByteOff, patch));
    EXPECT_EQ(vxpatch::StatusStreamError, ApplyInMemory(kOld, patch));
}

TEST(EnsembleApplyTest, MalformedBodiesFailWithTheirStatus)
{
    const uint32_t end = static_cast<uint32_t>(kOld.size());
    const struct {
        const char *name;
        Bytes body;
        uint32_t status;
    } cases[] = {
        {"body not a stream set", ToBytes("not a set"), vxpatch::StatusBadHeader},
        {"three streams", StreamSet({Varints({0}), ParameterDiff(0), Diff(kEmptySets, kEmptySets)}),
         vxpatch::StatusBadHeader},
        {"empty list", BodyWithList({}, 0), vxpatch::StatusBadHeader},
        {"kind 0", BodyWithList(Varints({1, 0, 0, 0}), 1), vxpatch::StatusBadHeader},
        {"kind 8", BodyWithList(Varints({1, 8, 0, 0}), 1), vxpatch::StatusBadHeader},
        {"fewer kinds than elements", BodyWithList(Varints({2, 1}), 2), vxpatch::StatusBadHeader},
        {"element count beyond the list", BodyWithList(Varints({0xFFFFFFFF, 1}), 0),
         vxpatch::StatusBadHeader},
        {"extra varint after the list", BodyWithList(Varints({0, 5}), 0), vxpatch::StatusBadHeader},
        {"base length missing", BodyWithList(Varints({1, 7, 0}), 1), vxpatch::StatusBadBase},
        {"offset beyond the old file", BodyWithList(Varints({1, 7, end + 1, 0}), 1),
         vxpatch::StatusBadBase},
        {"length one beyond the rest", BodyWithList(Varints({1, 7, 2, end - 1}), 1),
         vxpatch::StatusBadBase},
        {"offset and length wrapping around", BodyWithList(Varints({1, 7, 0xFFFFFFFF, 2}), 1),
         vxpatch::StatusBadBase},
        {"zero bytes at the end of the old file", BodyWithList(Varints({1, 1, end, 0}), 1),
         vxpatch::StatusInputNotRecognized},
        {"range no disassembler accepts", BodyWithList(Varints({1, 5, 0, end}), 1),
         vxpatch::StatusInputNotRecognized},
        {"parameter correction missing",
         StreamSet({Varints({0}), {}, Diff(kEmptySets, kEmptySets), Diff(kOld, kNew)}),
         vxpatch::StatusGeneralError},
        {"parameters corrected into no set",
         StreamSet({Varints({0}), Diff(kEmptySets, ToBytes("no set")), {}, {}}),
         vxpatch::StatusStreamError},
        {"parameters left over",
         StreamSet({Varints({0}), Diff(kEmptySets, StreamSet({{1}})), {}, {}}),
         vxpatch::StatusStreamNotConsumed},
        {"elements corrected into no set",
         StreamSet({Varints({0}), ParameterDiff(0), Diff(kEmptySets, ToBytes("no set")), {}}),
         vxpatch::StatusStreamError},
        {"elements left over",
         StreamSet({Varints({0}), ParameterDiff(0), Diff(kEmptySets, StreamSet({{1}})), {}}),
         vxpatch::StatusStreamNotConsumed},
        {"final correction corrupt",
         StreamSet({Varints({0}), ParameterDiff(0), Diff(kEmptySets, kEmptySets), ToBytes("xx")}),
         vxpatch::StatusGeneralError},
        {"final correction to other bytes",
         StreamSet({Varints({0}), ParameterDiff(0), Diff(kEmptySets, kEmptySets), Diff(kOld, kOld)}),
         vxpatch::StatusBadCrc},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.status, ApplyInMemory(kOld, Patch(HeaderFor(kOld, kNew), c.body)));
    }
}

TEST(EnsembleApplyTest, PatcherRefusesParameters)
{
    vxpatch::PatcherX86_32 patcher(kOld.data(), kOld.size());
    const Bytes set = StreamSet({{1}});
    vxpatch::ByteSourceSet parameters;
    ASSERT_TRUE(parameters.Parse(set.data(), set.size()));
    vxpatch::ByteSinkSet transformed;
    EXPECT_EQ(vxpatch::StatusGeneralError, patcher.TransformElement(&parameters, &transformed));
}

class EnsembleApplyFileTest : public ::testing::Test {
protected:
    std::string Path(const char *name) const { return m_Dir.filePath(name).toStdString(); }
    Status Apply(const std::string &oldPath, const std::string &patchPath,
                 const std::string &newPath) const
    {
        return vxpatch::ApplyEnsemblePatch(oldPath.c_str(), patchPath.c_str(), newPath.c_str());
    }
    QTemporaryDir m_Dir;
};

TEST_F(EnsembleApplyFileTest, WritesTheNewFileOnSuccessOnly)
{
    WriteFile(Path("old"), kOld);
    WriteFile(Path("patch"), FinalDiffPatch(kOld, kNew));
    WriteFile(Path("new"), ToBytes("left from before"));
    EXPECT_EQ(vxpatch::StatusOk, Apply(Path("old"), Path("patch"), Path("new")));
    EXPECT_EQ(kNew, ReadFile(Path("new")));
    EXPECT_EQ(QStringList({"new", "old", "patch"}), QDir(m_Dir.path()).entryList(QDir::Files));

    // A failing application leaves what is already at the target alone.
    WriteFile(Path("patch"), FinalDiffPatch(kNew, kOld));
    WriteFile(Path("new"), ToBytes("left from before"));
    EXPECT_EQ(vxpatch::StatusBadCrc, Apply(Path("old"), Path("patch"), Path("new")));
    EXPECT_EQ(ToBytes("left from before"), ReadFile(Path("new")));
}

// The applier gives back the element diff and the old file's pages before the final diff
// runs; the final diff must still see all of its own stream and the whole old file.
TEST_F(EnsembleApplyFileTest, ElementPatchesApplyFromFiles)
{
    for (const char *name : {"elf_arm", "elf_x86", "macho_x64", "pe_x64.exe"}) {
        SCOPED_TRACE(name);
        const Bytes oldFile = ReadFile(FixturePath(std::string("executables/") + name));
        ASSERT_FALSE(oldFile.empty());
        Bytes newFile = oldFile;
        newFile[newFile.size() / 2] ^= 0x5A;
        newFile.insert(newFile.end(), oldFile.begin(), oldFile.begin() + 64);
        vxpatch::ByteSink patch;
        vxpatch::MakeOptions options;
        options.alwaysUseElements = true;
        vxpatch::MakeReport report;
        ASSERT_EQ(vxpatch::StatusOk,
                  vxpatch::MakeEnsemblePatch(oldFile.data(), oldFile.size(), newFile.data(),
                                             newFile.size(), &patch, nullptr, &report, options));
        EXPECT_EQ(1u, report.elements);
        WriteFile(Path("old"), oldFile);
        WriteFile(Path("patch"), Bytes(patch.Data(), patch.Data() + patch.Size()));
        EXPECT_EQ(vxpatch::StatusOk, Apply(Path("old"), Path("patch"), Path("new")));
        EXPECT_TRUE(ReadFile(Path("new")) == newFile);
        EXPECT_TRUE(ReadFile(Path("old")) == oldFile);
    }
}

TEST_F(EnsembleApplyFileTest, FileFaultsHaveTheirStatus)
{
    WriteFile(Path("old"), kOld);
    WriteFile(Path("patch"), FinalDiffPatch(kOld, kNew));
    WriteFile(Path("empty"), {});
    WriteFile(Path("notpatch"), ToBytes("hello"));
    const struct {
        const char *name;
        std::string oldPath, patchPath, newPath;
        uint32_t status;
    } cases[] = {
        {"empty patch", Path("old"), Path("empty"), Path("new"), vxpatch::StatusReadOpenError},
        {"missing patch", Path("old"), Path("none"), Path("new"), vxpatch::StatusReadOpenError},
        {"not a patch, old missing", Path("none"), Path("notpatch"), Path("new"),
         vxpatch::StatusBadMagic},
        {"missing old file", Path("none"), Path("patch"), Path("new"),
         vxpatch::StatusReadWriteError},
        {"uncreatable new file", Path("old"), Path("patch"), Path("nodir/new"),
         vxpatch::StatusReadWriteError},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.status, Apply(c.oldPath, c.patchPath, c.newPath));
        EXPECT_FALSE(QFile::exists(QString::fromStdString(c.newPath)));
    }
    EXPECT_FALSE(QDir(m_Dir.filePath("nodir")).exists());
}

} // namespace
