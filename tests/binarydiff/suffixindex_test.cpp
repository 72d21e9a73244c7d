// The suffix index must return a longest match, not merely a long one: the diff maker's
// alignment decisions compare match lengths, so a short answer silently bloats every diff.
// Checked against a brute-force search over small alphabets, where ties and long repeats are
// common, and at the edges (empty old file, key longer than the old file).
#include "vxpatch/suffixindex.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

size_t bruteForceLongest(const Bytes &old, const Bytes &key)
{
    size_t best = 0;
    for (size_t start = 0; start < old.size(); ++start) {
        size_t n = 0;
        while (start + n < old.size() && n < key.size() && old[start + n] == key[n])
            ++n;
        best = std::max(best, n);
    }
    return best;
}

TEST(SuffixIndex, FindsALongestMatch)
{
    std::mt19937 random(7);
    for (int alphabet : {1, 2, 4, 256}) {
        for (int round = 0; round < 200; ++round) {
            Bytes old(random() % 300), key(1 + random() % 40);
            for (uint8_t &b : old)
                b = static_cast<uint8_t>(random() % alphabet);
            for (uint8_t &b : key)
                b = static_cast<uint8_t>(random() % alphabet);
            vxpatch::SuffixIndex index;
            ASSERT_TRUE(index.Build(old.data(), old.size()));
            const vxpatch::SuffixMatch match = index.LongestMatch(key.data(), key.size(), 0);
            ASSERT_EQ(static_cast<size_t>(match.length), bruteForceLongest(old, key))
                << "alphabet " << alphabet << " round " << round;
            ASSERT_TRUE(std::equal(key.begin(), key.begin() + match.length,
                                   old.begin() + match.position));
        }
    }
}

TEST(SuffixIndex, Edges)
{
    vxpatch::SuffixIndex index;
    const uint8_t key[] = {'a', 'b', 'c', 'd'};
    ASSERT_TRUE(index.Build(nullptr, 0));
    EXPECT_EQ(index.LongestMatch(key, sizeof(key), 0).length, 0);

    const Bytes old = {'x', 'a', 'b'};
    ASSERT_TRUE(index.Build(old.data(), old.size()));
    const vxpatch::SuffixMatch match = index.LongestMatch(key, sizeof(key), 0);
    EXPECT_EQ(match.length, 2);
    EXPECT_EQ(match.position, 1);
}

TEST(SuffixIndex, TieGoesToThePreferredSide)
{
    // "abc2" sorts between "abc1..." and "abc3", both sharing three bytes with it.
    const Bytes old = {'a', 'b', 'c', '1', 'a', 'b', 'c', '3'};
    const uint8_t key[] = {'a', 'b', 'c', '2'};
    vxpatch::SuffixIndex index;
    ASSERT_TRUE(index.Build(old.data(), old.size()));
    EXPECT_EQ(index.LongestMatch(key, sizeof(key), 0).position, 0);
    EXPECT_EQ(index.LongestMatch(key, sizeof(key), 6).position, 4);
}

} // namespace
