// Disassemble, encode, store, load and assemble an image the way the container and the
// patches do, so tests can check that a program gives back exactly the bytes it was read
// from.
#pragma once

#include "vxpatch/assemblyprogram.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vxtest {

struct RoundTrip {
    std::string failure; // empty when every step succeeded
    std::vector<uint8_t> assembled;
};

// Runs `program` (numbered, optionally trimmed) through encode, store, load and assemble.
RoundTrip Reassemble(vxpatch::ParsedProgram *program, bool trim);

} // namespace vxtest
