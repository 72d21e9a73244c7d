#include "vxpatch/disassembler.h"

namespace vxpatch {

Disassembler::Disassembler(const uint8_t *start, size_t length)
    : m_Start(start), m_End(start + length), m_Length(length)
{
}

Disassembler::~Disassembler() = default;

bool Disassembler::Succeed()
{
    m_FailureMessage = nullptr;
    return true;
}

bool Disassembler::Fail(const char *message)
{
    m_FailureMessage = message;
    return false;
}

void Disassembler::ShrinkLength(size_t length)
{
    if (length < m_Length) {
        m_Length = length;
        m_End = m_Start + length;
    }
}

} // namespace vxpatch
