// Type names as the engine prints them, the disassembler base's bookkeeping, and detection
// of bytes that are no executable.
#include "vxpatch/detection.h"

#include <gtest/gtest.h>

#include <string>

using namespace vxpatch;

namespace {

TEST(ExecutableTypeName, NamesEveryTypeAndCallsTheRestUnknown)
{
    const std::pair<uint32_t, std::string> cases[] = {
        {0, "UNKNOWN"},        {1, "WIN_32_X86"}, {2, "EXE_ELF_32_X86"}, {3, "ELF_32_ARM"},
        {4, "WIN_32_X64"},     {5, "ELF_64_X64"}, {6, "MACHO_X86"},      {7, "MACHO_X64"},
        {8, "UNKNOWN"},        {0xFFFFFFFF, "UNKNOWN"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ExecutableTypeName(c.first), c.second) << c.first;
}

class Probe : public Disassembler {
public:
    using Disassembler::Disassembler;
    bool CheckHeader() override
    {
        if (Length() < 4)
            return Fail("Too small");
        ShrinkLength(6);
        ShrinkLength(100);
        return Succeed();
    }
    bool Disassemble(ParsedProgram *) override { return HeaderChecked(); }
};

TEST(Disassembler, RecordsTheHeaderCheckAndOnlyShrinks)
{
    const uint8_t bytes[10] = {};
    Probe probe(bytes, sizeof(bytes));
    EXPECT_STREQ(probe.FailureMessage(), "uninitialized");
    EXPECT_FALSE(probe.HeaderChecked());
    ASSERT_TRUE(probe.CheckHeader());
    EXPECT_EQ(probe.FailureMessage(), nullptr);
    EXPECT_EQ(probe.Length(), 6u);
    EXPECT_EQ(probe.End(), bytes + 6);
    EXPECT_EQ(probe.Type(), EXE_UNKNOWN);

    Probe small(bytes, 3);
    EXPECT_FALSE(small.CheckHeader());
    EXPECT_STREQ(small.FailureMessage(), "Too small");
}

TEST(Detection, BytesNoDisassemblerAcceptsAreNotRecognized)
{
    const uint8_t bytes[64] = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    ExecutableType type = EXE_MACHO_X64;
    size_t length = 99;
    EXPECT_EQ(IdentifyExecutable(bytes, sizeof(bytes), &type, &length), StatusInputNotRecognized);
    EXPECT_EQ(type, EXE_UNKNOWN);
    EXPECT_EQ(length, 0u);

    std::unique_ptr<ParsedProgram> program;
    EXPECT_EQ(DisassembleElement(bytes, sizeof(bytes), &program), StatusInputNotRecognized);
    EXPECT_EQ(program, nullptr);
    EXPECT_EQ(DisassembleElement(bytes, 0, &program), StatusInputNotRecognized);
}

} // namespace
