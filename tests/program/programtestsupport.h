// Small builders shared by the program tests: tables from lists, and sinks as vectors.
#pragma once

#include "vxpatch/encodedprogram.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace vxtest {

template <typename T>
void fill(vxpatch::GrowableArray<T> *table, std::initializer_list<T> values)
{
    table->Clear();
    for (T value : values)
        table->Push(value);
}

template <typename T>
std::vector<T> toVector(const vxpatch::GrowableArray<T> &table)
{
    return std::vector<T>(table.begin(), table.end());
}

std::vector<uint8_t> bytesOf(const vxpatch::ByteSink &sink);

// Stores the program, reads it back as a stored program (which must succeed) and assembles
// that onto `out`: the path an applier takes, to be compared with assembling the tables.
vxpatch::Status assembleStored(const vxpatch::EncodedProgram &program, vxpatch::ByteSink *out);

} // namespace vxtest
