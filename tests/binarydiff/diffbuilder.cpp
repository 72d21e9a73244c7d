#include "diffbuilder.h"

#include "vxpatch/binarydiff.h"

namespace binarydifftest {

Bytes bytesOf(const vxpatch::ByteSink &sink)
{
    return Bytes(sink.Data(), sink.Data() + sink.Size());
}

Bytes bytesOf(const std::string &text)
{
    return Bytes(text.begin(), text.end());
}

static vxpatch::ByteSink controlStream(const std::vector<Triple> &triples)
{
    vxpatch::ByteSink sink;
    for (const Triple &t : triples) {
        sink.WriteSignedVarint(t.diff);
        sink.WriteSignedVarint(t.extra);
        sink.WriteSignedVarint(t.seek);
    }
    return sink;
}

Bytes storedBody(const DiffParts &parts)
{
    const vxpatch::ByteSink control = controlStream(parts.control);
    vxpatch::ByteSink body;
    body.WriteSizeVarint(control.Size());
    body.WriteSizeVarint(parts.diff.size());
    body.WriteSizeVarint(parts.extra.size());
    body.WriteBytes(control.Data(), control.Size());
    body.WriteBytes(parts.diff.data(), parts.diff.size());
    body.WriteBytes(parts.extra.data(), parts.extra.size());
    return bytesOf(body);
}

static void writeBody(const DiffParts &parts, uint8_t method, vxpatch::ByteSink *out)
{
    if (method == 1) {
        const vxpatch::ByteSink control = controlStream(parts.control);
        vxpatch::WriteLzma2Block(control.Data(), control.Size(), out);
        vxpatch::WriteLzma2Block(parts.diff.data(), parts.diff.size(), out);
        vxpatch::WriteLzma2Block(parts.extra.data(), parts.extra.size(), out);
        return;
    }
    const Bytes body = storedBody(parts);
    if (method == 2)
        vxpatch::WriteLzma2Block(body.data(), body.size(), out);
    else
        out->WriteBytes(body.data(), body.size());
}

Bytes buildDiff(const DiffParts &parts, uint32_t newSize, uint8_t method)
{
    vxpatch::ByteSink out;
    out.WriteBytes(&method, 1);
    out.WriteVarint(newSize);
    writeBody(parts, method, &out);
    return bytesOf(out);
}

Bytes buildDiffWithHeader(const DiffParts &parts, uint32_t newSize, uint8_t method,
                          uint32_t checksum)
{
    vxpatch::ByteSink out;
    out.WriteBytes(vxpatch::kBinaryDiffMagic, sizeof(vxpatch::kBinaryDiffMagic));
    out.WriteVarint(checksum);
    const Bytes rest = buildDiff(parts, newSize, method);
    out.WriteBytes(rest.data(), rest.size());
    return bytesOf(out);
}

ApplyResult applyDiff(const Bytes &oldBytes, const Bytes &patch, bool withHeader)
{
    vxpatch::ByteSource old, source;
    old.Init(oldBytes.data(), oldBytes.size());
    source.Init(patch.data(), patch.size());
    vxpatch::ByteSink out;
    ApplyResult result;
    result.ok = vxpatch::ApplyBinaryDiff(&old, &source, &out, withHeader);
    result.output = bytesOf(out);
    result.patchLeft = source.Remaining();
    return result;
}

void LogCapture::Write(const std::string &line, int level, const std::string &channel,
                       uint64_t id, const std::string &timestamp, const char *levelName)
{
    if (level != vxlog::LogLevel_ERROR)
        return;
    // The message follows the fourth bar of the record line's prefix.
    size_t at = 0;
    for (int bar = 0; bar < 4 && at != std::string::npos; ++bar)
        at = line.find('|', at) + 1;
    messages.push_back(line.substr(at));
}

} // namespace binarydifftest
