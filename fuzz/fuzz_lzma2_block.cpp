// LZMA2 blocks from arbitrary bytes. A block that decodes must decode to exactly its
// announced size, and small results must survive being encoded and decoded again.
#include "vxpatch/streams.h"

#include <cstdlib>
#include <cstring>

using vxpatch::ByteSink;
using vxpatch::ByteSource;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ByteSource source;
    source.Init(data, size);
    ByteSink sink;
    if (!sink.WriteBytes("pre", 3))
        std::abort();
    const bool decoded = vxpatch::ReadLzma2Block(&source, &sink);
    if (!decoded) {
        if (source.Remaining() != size || sink.Size() != 3)
            std::abort();
        return 0;
    }
    const size_t content = sink.Size() - 3;
    if (content > 64 * 1024)
        return 0;
    ByteSink block, again;
    ByteSource reread;
    if (!vxpatch::WriteLzma2Block(sink.Data() + 3, content, &block))
        std::abort();
    reread.Init(block);
    if (!vxpatch::ReadLzma2Block(&reread, &again) || !reread.IsConsumed()
        || again.Size() != content
        || (content != 0 && std::memcmp(again.Data(), sink.Data() + 3, content) != 0))
        std::abort();
    return 0;
}
