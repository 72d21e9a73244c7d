// Status values of the patch engine.
//
// Every engine step that can fail reports one of these numbers instead of throwing; the
// numbers are stable because callers outside the engine log and compare them.
#pragma once

#include <cstdint>

namespace vxpatch {

enum Status : uint32_t {
  StatusOk = 1,
  StatusGeneralError = 2,
  StatusReadOpenError = 3,
  StatusReadWriteError = 4,
  StatusBadMagic = 5,
  StatusBadVersion = 6,
  StatusBadHeader = 7,
  StatusBadCrc = 8,
  StatusBadBase = 12,
  StatusStreamError = 20,
  StatusStreamNotConsumed = 21,
  StatusDeserializationFailed = 23,
  StatusInputNotRecognized = 24,
  StatusDisassemblyFailed = 25,
  StatusAssemblyFailed = 26,
  StatusTrimFailed = 28,
};

// The status's own name ("StatusBadCrc"), for tools and logs; "StatusUnknown" for other values.
const char* StatusName(uint32_t status);

}  // namespace vxpatch
