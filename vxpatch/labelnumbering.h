// Numbering labels for a stored program that no older program has to line up with (the
// container writer). Each reference stores its label's index as a varint and the address
// tables are delta-coded, so indexes are handed out in tiers by use: the most referenced
// labels take the indexes that fit one varint byte, the next ones those that fit two, and
// within a tier labels keep address order so the tables stay cheap (one decrease per tier).
#pragma once

#include "vxpatch/labelmap.h"

namespace vxpatch {

// Labels in the one-byte and two-byte varint ranges of the index streams.
constexpr size_t kOneByteIndexes = 128;
constexpr size_t kTwoByteIndexes = 16384;

// Gives every label of the map an index from 0 up: by falling `count` into the tiers above,
// in ascending address within each tier. False when out of memory; indexes are then unset.
bool NumberLabelsByUse(LabelMap *labels);

} // namespace vxpatch
