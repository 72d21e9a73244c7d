// The diff that lays each assembled program over its image must rebuild the exact file
// whatever lies around the images, and must refuse assemblies it cannot lay over them.
#include "vxpatch/binarydiff.h"
#include "vxpatch/overlaydiff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vxpatch;

namespace {

using Bytes = std::vector<uint8_t>;

struct Image {
    size_t offset;
    std::string assembled; // what its program assembled to
};

struct OverlayCase {
    const char *name;
    std::string file;
    std::vector<Image> images;
};

bool overlay(const OverlayCase &c, ByteSink *diff)
{
    GrowableArray<ExecutableElement> elements;
    GrowableArray<size_t> assembled;
    std::string assembly;
    for (const Image &image : c.images) {
        // Each image is as long as its assembly would be if it assembled to its own bytes.
        const size_t length = std::min(image.assembled.size(), c.file.size() - image.offset);
        elements.Push(ExecutableElement{image.offset, length, EXE_ELF_32_X86});
        assembled.Push(image.assembled.size());
        assembly += image.assembled;
    }
    return MakeOverlayDiff(reinterpret_cast<const uint8_t *>(assembly.data()), assembled,
                           elements, reinterpret_cast<const uint8_t *>(c.file.data()),
                           c.file.size(), diff) &&
           [&] {
               ByteSource old, patch;
               old.Init(reinterpret_cast<const uint8_t *>(assembly.data()), assembly.size());
               patch.Init(diff->Data(), diff->Size());
               ByteSink result;
               return ApplyBinaryDiff(&old, &patch, &result, false) &&
                      std::string(result.Data(), result.Data() + result.Size()) == c.file &&
                      patch.IsConsumed();
           }();
}

TEST(OverlayDiff, RebuildsTheFileAroundAndUnderTheImages)
{
    const OverlayCase cases[] = {
        {"the whole file", "IMAGE", {{0, "IMAGE"}}},
        {"bytes before, between and after", "hdr|ONE|gap|TWO|end", {{4, "ONE"}, {12, "TWO"}}},
        {"images back to back at both ends", "ONETWO", {{0, "ONE"}, {3, "TWO"}}},
        {"assemblies that differ from their images", "hdr|ONE|TWO", {{4, "one"}, {8, "TwO"}}},
    };
    for (const OverlayCase &c : cases) {
        ByteSink diff;
        EXPECT_TRUE(overlay(c, &diff)) << c.name;
    }
}

TEST(OverlayDiff, RefusesAssembliesThatCannotBeLaidOver)
{
    const OverlayCase cases[] = {
        {"assembly longer than its image", "hdr|ONE", {{4, "ONE+"}}},
        {"images out of order", "ONE|TWO", {{4, "TWO"}, {0, "ONE"}}},
        {"images overlapping", "ONETWO", {{0, "ONET"}, {3, "TWO"}}},
    };
    for (const OverlayCase &c : cases) {
        ByteSink diff;
        diff.WriteBytes("kept", 4);
        EXPECT_FALSE(overlay(c, &diff)) << c.name;
        EXPECT_EQ(std::string(diff.Data(), diff.Data() + diff.Size()), "kept") << c.name;
    }
}

} // namespace
