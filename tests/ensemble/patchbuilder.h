// Hand-made ensemble patches for the applier's tests: any header field, any body streams,
// so that each malformed patch differs from a valid one in exactly one place.
#pragma once

#include "vxpatch/streams.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vxtest {

using Bytes = std::vector<uint8_t>;

struct PatchHeader {
    uint32_t magic = 7696195;
    uint32_t version = 20110216;
    uint32_t sourceChecksum = 0;
    uint32_t targetChecksum = 0;
    uint32_t finalSizePrediction = 0;
};

Bytes Varints(const std::vector<uint32_t> &values);
Bytes ToBytes(const std::string &text);
Bytes Concat(const Bytes &a, const Bytes &b);

// A stored diff (no header) from `from` to `to`.
Bytes Diff(const Bytes &from, const Bytes &to);
// The parameter correction of `elements` elements: the predicted set turned into itself.
Bytes ParameterDiff(size_t elements);
// A stream set of the given streams, as the body's content.
Bytes StreamSet(const std::vector<Bytes> &streams);
// Header fields followed by `body` as one LZMA2 block.
Bytes Patch(const PatchHeader &header, const Bytes &body);
// A header matching `oldFile` and `newFile` and the body of a patch that carries only the
// final diff (no elements).
Bytes FinalDiffPatch(const Bytes &oldFile, const Bytes &newFile);

uint32_t Checksum(const Bytes &bytes);

// Applies in memory; `result` receives the new bytes on success.
uint32_t ApplyInMemory(const Bytes &oldFile, const Bytes &patch, Bytes *result = nullptr);

Bytes ReadFile(const std::string &path);
void WriteFile(const std::string &path, const Bytes &bytes);
std::string FixturePath(const std::string &name);

} // namespace vxtest
