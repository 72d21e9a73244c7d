#include "patchbuilder.h"

#include "vxpatch/binarydiff.h"
#include "vxpatch/ensemblefinaldiff.h"

#include <gtest/gtest.h>

using namespace vxtest;

namespace {

struct Range {
    size_t newOffset, basicOffset, length;
};

// Text long enough for the matcher to find copies in, with every line different.
Bytes Lines(int first, int count)
{
    std::string text;
    for (int i = first; i < first + count; ++i)
        text += "line " + std::to_string(i * 7919 % 1000) + " of the file\n";
    return ToBytes(text);
}

// Triples that only move the old position, read from a stored diff without header.
size_t SeekOnlyTriples(const vxpatch::ByteSink &diff)
{
    vxpatch::ByteSource source, control;
    source.Init(diff);
    uint8_t method = 0;
    uint32_t newSize = 0, controlLength = 0, diffLength = 0, extraLength = 0;
    EXPECT_TRUE(source.ReadBytes(&method, 1) && source.ReadVarint(&newSize)
                && source.ReadVarint(&controlLength) && source.ReadVarint(&diffLength)
                && source.ReadVarint(&extraLength) && source.TakeSubstream(controlLength, &control));
    size_t count = 0;
    int32_t copied, added, seek;
    while (control.ReadSignedVarint(&copied) && control.ReadSignedVarint(&added)
           && control.ReadSignedVarint(&seek))
        count += copied == 0 && added == 0;
    return count;
}

TEST(FinalDiffTest, RebuildsTheNewFileFromBasicElements)
{
    const Bytes oldFile = Lines(0, 40);
    const Bytes element = Lines(100, 20);
    Bytes damaged = element; // re-assembled bytes that differ from the new element
    damaged[5] ^= 0xFF;
    const Bytes basic = Concat(oldFile, element);
    const Bytes basicDamaged = Concat(oldFile, damaged);
    const size_t at = oldFile.size(), n = element.size();
    const Bytes head = Lines(3, 10), tail = Lines(30, 5);

    const struct {
        const char *name;
        Bytes basic, newFile;
        std::vector<Range> ranges;
    } cases[] = {
        {"no elements", oldFile, Concat(head, tail), {}},
        {"empty new file", oldFile, {}, {}},
        {"element is the whole file", basic, element, {{0, at, n}}},
        {"element between old bytes", basic, Concat(Concat(head, element), tail),
         {{head.size(), at, n}}},
        {"element used twice", basic, Concat(element, Concat(tail, element)),
         {{0, at, n}, {n + tail.size(), at, n}}},
        {"element shorter than its range", basic, Concat(element, tail),
         {{0, at, n - 4}}},
        {"re-assembled bytes differ", basicDamaged, Concat(head, element),
         {{head.size(), at, n}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        vxpatch::GrowableArray<vxpatch::ReformedRange> ranges;
        for (const Range &r : c.ranges)
            ranges.Push(vxpatch::ReformedRange{r.newOffset, r.basicOffset, r.length});
        vxpatch::ByteSink diff;
        ASSERT_TRUE(vxpatch::MakeFinalDiff(c.basic.data(), c.basic.size(), oldFile.size(),
                                           c.newFile.data(), c.newFile.size(), ranges, &diff));
        vxpatch::ByteSource from, patch;
        from.Init(c.basic.data(), c.basic.size());
        patch.Init(diff);
        vxpatch::ByteSink result;
        ASSERT_TRUE(vxpatch::ApplyBinaryDiff(&from, &patch, &result, false));
        EXPECT_EQ(c.newFile, Bytes(result.Data(), result.Data() + result.Size()));
        // Moves between ranges ride on the seek of the triple before; only a move ahead of
        // the first triple needs one of its own.
        EXPECT_LE(SeekOnlyTriples(diff), 1u);
    }
}

} // namespace
