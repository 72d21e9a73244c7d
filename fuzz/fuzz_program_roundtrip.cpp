// A program built from arbitrary instructions must come back as the bytes it stands for
// after encoding, storing, loading and assembling, also when some label indexes were
// cleared and filled again the way the patch maker does. The expected bytes are computed
// here directly from the instructions, independently of the encoder.
#include "vxpatch/encodedprogram.h"
#include "vxpatch/labelindexes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace vxpatch;

namespace {

class Input {
public:
    Input(const uint8_t *data, size_t size) : m_Data(data), m_Size(size) {}
    bool Empty() const { return m_Used == m_Size; }
    uint32_t Take(size_t bytes)
    {
        uint32_t value = 0;
        for (size_t i = 0; i < bytes && m_Used < m_Size; ++i)
            value |= uint32_t(m_Data[m_Used++]) << (8 * i);
        return value;
    }
    const uint8_t *TakeRun(size_t *count)
    {
        *count = std::min<size_t>(*count, m_Size - m_Used);
        const uint8_t *run = m_Data + m_Used;
        m_Used += *count;
        return run;
    }

private:
    const uint8_t *m_Data;
    size_t m_Size;
    size_t m_Used = 0;
};

void Put32(std::vector<uint8_t> *out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

bool Build(Input &in, ParsedProgram *program, std::vector<uint8_t> *expected)
{
    const uint32_t base = in.Take(4);
    program->SetImageBase(base);
    uint32_t rva = 0;
    while (!in.Empty()) {
        bool ok = true;
        switch (in.Take(1) % 5) {
        case 0:
            rva = in.Take(4);
            ok = program->EmitOrigin(rva);
            continue;
        case 1: {
            const uint8_t value = static_cast<uint8_t>(in.Take(1));
            ok = program->EmitByte(value);
            expected->push_back(value);
            rva += 1;
            break;
        }
        case 2: {
            size_t count = in.Take(1);
            const uint8_t *run = in.TakeRun(&count);
            ok = program->EmitBytes(run, count);
            expected->insert(expected->end(), run, run + count);
            rva += static_cast<uint32_t>(count);
            break;
        }
        case 3: {
            const uint32_t target = in.Take(2) * 16;
            ok = program->EmitRel32(program->Rel32LabelAt(target));
            Put32(expected, target - (rva + 4));
            rva += 4;
            break;
        }
        case 4: {
            const uint32_t target = in.Take(2) * 16;
            ok = program->EmitAbs32(program->Abs32LabelAt(target));
            Put32(expected, target + base);
            rva += 4;
            break;
        }
        }
        if (!ok)
            return false;
    }
    return true;
}

// Labels whose RVA has bit 4 set lose their index and get one back from FillLabelIndexes.
bool Renumber(LabelMap *labels)
{
    for (Label *label : *labels) {
        if (label->rva & 0x10)
            label->index = -1;
    }
    return FillLabelIndexes(labels);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in(data, size);
    ParsedProgram program(EXE_WIN_32_X86);
    std::vector<uint8_t> expected;
    if (!Build(in, &program, &expected))
        std::abort();
    NumberLabelsInOrder(&program);
    if (size & 1 && !(Renumber(&program.Abs32Labels()) && Renumber(&program.Rel32Labels())))
        std::abort();

    EncodedProgram encoded;
    ByteSinkSet sinks;
    ByteSink combined;
    ByteSourceSet sources;
    EncodedProgram loaded;
    ByteSink out;
    if (EncodeProgram(program, &encoded) != StatusOk ||
        StoreEncodedProgram(encoded, &sinks) != StatusOk || !sinks.Combine(&combined) ||
        !sources.Parse(combined.Data(), combined.Size()) ||
        LoadEncodedProgram(&sources, &loaded) != StatusOk ||
        AssembleProgram(loaded, &out) != StatusOk)
        std::abort();
    if (out.Size() != expected.size() ||
        (!expected.empty() && std::memcmp(out.Data(), expected.data(), expected.size())))
        std::abort();
    return 0;
}
