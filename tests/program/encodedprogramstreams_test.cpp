// Storing and loading encoded programs: the stream layout is a file format shared with the
// patch maker, and loading reads untrusted bytes.
#include "programtestsupport.h"

#include "vxpatch/labelindexes.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vxpatch;
using vxtest::bytesOf;
using vxtest::fill;
using vxtest::toVector;

namespace {

using Bytes = std::vector<uint8_t>;

EncodedProgram sample()
{
    EncodedProgram p;
    p.imageBase = 0xABCD00400000ull;
    fill(&p.abs32Rvas, {0x1000u, 0x800u});
    fill(&p.rel32Rvas, {0x10u, 0x90u});
    fill(&p.ops, {uint32_t(OpOrigin), uint32_t(OpCopy), uint32_t(OpAbs32), uint32_t(OpRel32)});
    fill(&p.origins, {0x400u});
    fill(&p.copyCounts, {2u});
    fill<uint8_t>(&p.copyBytes, {0xC3, 0x90});
    fill(&p.abs32Ix, {1u});
    fill(&p.rel32Ix, {0u});
    return p;
}

std::vector<Bytes> storedStreams(const EncodedProgram &program)
{
    ByteSinkSet set;
    EXPECT_EQ(StoreEncodedProgram(program, &set), StatusOk);
    std::vector<Bytes> streams;
    for (size_t i = 0; i < set.Count(); ++i)
        streams.push_back(bytesOf(*set.Stream(i)));
    return streams;
}

TEST(StoreEncodedProgram, WritesEachTableIntoItsStream)
{
    const std::vector<Bytes> streams = storedStreams(sample());
    ASSERT_EQ(streams.size(), 10u);
    EXPECT_EQ(streams[0], (Bytes{0x80, 0x80, 0x80, 0x02, 0x01, 0x80, 0x08}));
    EXPECT_EQ(streams[1], (Bytes{4, 0, 1, 4, 3}));
    EXPECT_EQ(streams[2], (Bytes{2, 0xC3, 0x90}));
    EXPECT_EQ(streams[3], (Bytes{1, 1}));
    EXPECT_EQ(streams[4], (Bytes{1, 0}));
    // A decrease wraps around and costs five bytes.
    EXPECT_EQ(streams[5], (Bytes{2, 0x80, 0x20, 0x80, 0xF0, 0xFF, 0xFF, 0x0F}));
    EXPECT_EQ(streams[6], (Bytes{2, 0x10, 0x80, 0x01}));
    EXPECT_EQ(streams[7], (Bytes{1, 2}));
    EXPECT_TRUE(streams[8].empty());
    EXPECT_TRUE(streams[9].empty());
}

// The set as a container or patch carries it: combined, then parsed.
struct Parsed {
    ByteSink storage;
    ByteSourceSet set;
};

void parse(std::vector<Bytes> streams, Parsed *out)
{
    ByteSinkSet set;
    ASSERT_TRUE(set.SetCount(streams.size()));
    for (size_t i = 0; i < streams.size(); ++i)
        set.Stream(i)->WriteBytes(streams[i].data(), streams[i].size());
    ASSERT_TRUE(set.Combine(&out->storage));
    ASSERT_TRUE(out->set.Parse(out->storage.Data(), out->storage.Size()));
}

TEST(LoadEncodedProgram, ReadsBackWhatWasStored)
{
    Parsed parsed;
    parse(storedStreams(sample()), &parsed);
    EncodedProgram loaded;
    ASSERT_EQ(LoadEncodedProgram(&parsed.set, &loaded), StatusOk);
    const EncodedProgram expected = sample();
    EXPECT_EQ(loaded.imageBase, 0x00400000u) << "only the low 32 bits are stored";
    EXPECT_EQ(toVector(loaded.abs32Rvas), toVector(expected.abs32Rvas));
    EXPECT_EQ(toVector(loaded.rel32Rvas), toVector(expected.rel32Rvas));
    EXPECT_EQ(toVector(loaded.ops), toVector(expected.ops));
    EXPECT_EQ(toVector(loaded.origins), toVector(expected.origins));
    EXPECT_EQ(toVector(loaded.copyCounts), toVector(expected.copyCounts));
    EXPECT_EQ(toVector(loaded.copyBytes), toVector(expected.copyBytes));
    EXPECT_EQ(toVector(loaded.abs32Ix), toVector(expected.abs32Ix));
    EXPECT_EQ(toVector(loaded.rel32Ix), toVector(expected.rel32Ix));
}

struct BadSetCase {
    const char *name;
    std::function<void(std::vector<Bytes> &)> spoil;
};

class LoadRefuses : public testing::TestWithParam<BadSetCase> {};

TEST_P(LoadRefuses, WithDeserializationFailed)
{
    std::vector<Bytes> streams = storedStreams(sample());
    GetParam().spoil(streams);
    Parsed parsed;
    parse(streams, &parsed);
    EncodedProgram loaded;
    fill(&loaded.ops, {7u});
    EXPECT_EQ(LoadEncodedProgram(&parsed.set, &loaded), StatusDeserializationFailed);
    EXPECT_TRUE(loaded.ops.Empty()) << "a failed load leaves no partial tables";

    // Reading the program in place refuses the same sets.
    Parsed again;
    parse(streams, &again);
    StoredProgram stored;
    EXPECT_EQ(ReadStoredProgram(&again.set, &stored), StatusDeserializationFailed);
    EXPECT_EQ(stored.ops.count, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadRefuses,
    testing::Values(
        BadSetCase{"EightStreams", [](std::vector<Bytes> &s) { s.resize(8); }},
        BadSetCase{"NoStreams", [](std::vector<Bytes> &s) { s.clear(); }},
        BadSetCase{"LeftoverInStream0", [](std::vector<Bytes> &s) { s[0].push_back(0); }},
        BadSetCase{"LeftoverInStream8", [](std::vector<Bytes> &s) { s[8].push_back(0); }},
        BadSetCase{"OneOpcodeMissing", [](std::vector<Bytes> &s) { s[1].pop_back(); }},
        BadSetCase{"CopyBytesCut", [](std::vector<Bytes> &s) { s[2].pop_back(); }},
        BadSetCase{"EmptyOriginsStream", [](std::vector<Bytes> &s) { s[0].clear(); }},
        BadSetCase{"VarintWithBadFifthByte",
                   [](std::vector<Bytes> &s) { s[7] = {1, 0xFF, 0xFF, 0xFF, 0xFF, 0x80}; }},
        // A count of 2^32 - 1 elements backed by three bytes must not be reserved for.
        BadSetCase{"CountFarBeyondTheBytes",
                   [](std::vector<Bytes> &s) { s[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 1, 2, 3}; }},
        BadSetCase{"ByteCountFarBeyondTheBytes",
                   [](std::vector<Bytes> &s) { s[2] = {0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 1}; }}),
    [](const testing::TestParamInfo<BadSetCase> &info) { return info.param.name; });

TEST(LoadEncodedProgram, IgnoresStream9)
{
    std::vector<Bytes> streams = storedStreams(sample());
    streams[9] = {1, 2, 3};
    Parsed parsed;
    parse(streams, &parsed);
    EncodedProgram loaded;
    EXPECT_EQ(LoadEncodedProgram(&parsed.set, &loaded), StatusOk);
}

// The whole road of an executable: program, encoding, stream set, loading, assembly.
TEST(EncodedProgram, RoundTripReproducesTheImage)
{
    const Bytes image = {
        0x4D, 0x5A, 0x00, 0x00,                         // header bytes
        0xE8, 0x0B, 0x00, 0x00, 0x00,                   // call +11 (to 0x1014)
        0xA1, 0x00, 0x20, 0x40, 0x00,                   // mov eax, [0x402000]
        0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, // code, and the call's target
        0x00, 0x10, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, // relocation block: page 0x1000,
        0x0A, 0x30, 0x00, 0x00,                         // one entry (0x100A) and padding
    };
    ParsedProgram program(EXE_WIN_32_X86);
    program.SetImageBase(0x400000);
    program.EmitOrigin(0x1000);
    for (size_t i = 0; i < 5; ++i)
        program.EmitByte(image[i]);
    program.EmitRel32(program.Rel32LabelAt(0x1014));
    program.EmitByte(image[9]);
    program.EmitAbs32(program.Abs32LabelAt(0x2000));
    program.EmitBytes(&image[14], 8);
    program.EmitPeRelocs();
    NumberLabelsInOrder(&program);

    EncodedProgram encoded;
    ASSERT_EQ(EncodeProgram(program, &encoded), StatusOk);
    Parsed parsed;
    parse(storedStreams(encoded), &parsed);
    EncodedProgram loaded;
    ASSERT_EQ(LoadEncodedProgram(&parsed.set, &loaded), StatusOk);
    ByteSink out;
    ASSERT_EQ(AssembleProgram(loaded, &out), StatusOk);
    EXPECT_EQ(bytesOf(out), image);
}

} // namespace
