#include "vxpatch/ensemblestatus.h"

namespace vxpatch {

const char* StatusName(uint32_t status) {
  switch (status) {
    case StatusOk: return "StatusOk";
    case StatusGeneralError: return "StatusGeneralError";
    case StatusReadOpenError: return "StatusReadOpenError";
    case StatusReadWriteError: return "StatusReadWriteError";
    case StatusBadMagic: return "StatusBadMagic";
    case StatusBadVersion: return "StatusBadVersion";
    case StatusBadHeader: return "StatusBadHeader";
    case StatusBadCrc: return "StatusBadCrc";
    case StatusBadBase: return "StatusBadBase";
    case StatusStreamError: return "StatusStreamError";
    case StatusStreamNotConsumed: return "StatusStreamNotConsumed";
    case StatusDeserializationFailed: return "StatusDeserializationFailed";
    case StatusInputNotRecognized: return "StatusInputNotRecognized";
    case StatusDisassemblyFailed: return "StatusDisassemblyFailed";
    case StatusAssemblyFailed: return "StatusAssemblyFailed";
    case StatusTrimFailed: return "StatusTrimFailed";
  }
  return "StatusUnknown";
}

}  // namespace vxpatch
