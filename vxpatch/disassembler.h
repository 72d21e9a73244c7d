// Base of the readers that turn one executable image into a ParsedProgram. A disassembler is
// made over a byte range it never owns; detection makes one of each kind over the same bytes
// and keeps the first whose header check passes, so CheckHeader must be cheap, must not read
// outside the range and must leave a reason when it refuses.
#pragma once

#include "vxpatch/assemblyprogram.h"
#include "vxpatch/executabletype.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

class Disassembler {
public:
    Disassembler(const uint8_t *start, size_t length);
    virtual ~Disassembler();
    Disassembler(const Disassembler &) = delete;
    Disassembler &operator=(const Disassembler &) = delete;

    virtual ExecutableType Type() const { return EXE_UNKNOWN; }
    // Validates the headers and records what Disassemble needs. False with FailureMessage()
    // set when the bytes are not an image this disassembler reads.
    virtual bool CheckHeader() = 0;
    // Fills `program`, ending with NumberLabelsInOrder; false on any failure.
    virtual bool Disassemble(ParsedProgram *program) = 0;

    const uint8_t *Start() const { return m_Start; }
    const uint8_t *End() const { return m_End; }
    // Bytes of the image; at most the range given, less once the header tells where the
    // image really ends.
    size_t Length() const { return m_Length; }
    // "uninitialized" before the header check, the reason after a failed one, null after a
    // successful one.
    const char *FailureMessage() const { return m_FailureMessage; }
    bool HeaderChecked() const { return m_FailureMessage == nullptr; }

protected:
    bool Succeed();
    bool Fail(const char *message);
    const uint8_t *PointerAt(size_t offset) const { return m_Start + offset; }
    // Lowers Length() (and End()) to `length` when that is smaller.
    void ShrinkLength(size_t length);

private:
    const uint8_t *m_Start;
    const uint8_t *m_End;
    size_t m_Length;
    const char *m_FailureMessage = "uninitialized";
};

} // namespace vxpatch
