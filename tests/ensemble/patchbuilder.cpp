#include "patchbuilder.h"

#include "vxpatch/binarydiffmaker.h"
#include "vxpatch/ensemble.h"

#include <fstream>
#include <iterator>

namespace vxtest {

Bytes Varints(const std::vector<uint32_t> &values)
{
    vxpatch::ByteSink sink;
    for (uint32_t value : values)
        sink.WriteVarint(value);
    return Bytes(sink.Data(), sink.Data() + sink.Size());
}

Bytes ToBytes(const std::string &text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Concat(const Bytes &a, const Bytes &b)
{
    Bytes joined = a;
    joined.insert(joined.end(), b.begin(), b.end());
    return joined;
}

Bytes Diff(const Bytes &from, const Bytes &to)
{
    vxpatch::ByteSink sink;
    if (!vxpatch::MakeBinaryDiff(from.data(), from.size(), to.data(), to.size(),
                                 vxpatch::BinaryDiffStored, false, &sink))
        return Bytes();
    return Bytes(sink.Data(), sink.Data() + sink.Size());
}

Bytes ParameterDiff(size_t elements)
{
    vxpatch::ByteSinkSet predicted;
    for (size_t i = 0; i < elements; ++i) {
        vxpatch::ByteSinkSet none;
        predicted.WriteNested(&none);
    }
    vxpatch::ByteSink combined;
    predicted.Combine(&combined);
    const Bytes set(combined.Data(), combined.Data() + combined.Size());
    return Diff(set, set);
}

Bytes StreamSet(const std::vector<Bytes> &streams)
{
    vxpatch::ByteSinkSet set;
    set.SetCount(streams.size());
    for (size_t i = 0; i < streams.size(); ++i)
        set.Stream(i)->WriteBytes(streams[i].data(), streams[i].size());
    vxpatch::ByteSink combined;
    set.Combine(&combined);
    return Bytes(combined.Data(), combined.Data() + combined.Size());
}

Bytes Patch(const PatchHeader &header, const Bytes &body)
{
    vxpatch::ByteSink sink;
    for (uint32_t value : {header.magic, header.version, header.sourceChecksum,
                           header.targetChecksum, header.finalSizePrediction})
        sink.WriteVarint(value);
    vxpatch::WriteLzma2Block(body.data(), body.size(), &sink);
    return Bytes(sink.Data(), sink.Data() + sink.Size());
}

uint32_t Checksum(const Bytes &bytes)
{
    return vxpatch::ComputeChecksum(bytes.data(), bytes.size());
}

Bytes FinalDiffPatch(const Bytes &oldFile, const Bytes &newFile)
{
    const Bytes emptySets = StreamSet(std::vector<Bytes>(10));
    const Bytes body = StreamSet({Varints({0}), ParameterDiff(0), Diff(emptySets, emptySets),
                                  Diff(oldFile, newFile)});
    PatchHeader header;
    header.sourceChecksum = Checksum(oldFile);
    header.targetChecksum = Checksum(newFile);
    header.finalSizePrediction = static_cast<uint32_t>(oldFile.size());
    return Patch(header, body);
}

uint32_t ApplyInMemory(const Bytes &oldFile, const Bytes &patch, Bytes *result)
{
    vxpatch::ByteSource oldSource, patchSource;
    oldSource.Init(oldFile.data(), oldFile.size());
    patchSource.Init(patch.data(), patch.size());
    vxpatch::ByteSink sink;
    const uint32_t status = vxpatch::ApplyEnsemblePatchStreams(&oldSource, &patchSource, &sink);
    if (result)
        result->assign(sink.Data(), sink.Data() + sink.Size());
    return status;
}

Bytes ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string FixturePath(const std::string &name)
{
    return std::string(VX_SOURCE_DIR) + "/tests/fixtures/" + name;
}

} // namespace vxtest
