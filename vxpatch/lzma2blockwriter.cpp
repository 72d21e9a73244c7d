// Writing LZMA2 blocks, the making side only: liblzma's raw LZMA2 encoder at level 9 with a
// dictionary no larger than the input needs, and the properties byte that names it.
#include "vxpatch/streams.h"

#include "vxpatch/enginelog.h"

#include <lzma.h>

#include <algorithm>
#include <cstdint>

namespace vxpatch {

namespace {

constexpr uint32_t kSmallestDictionary = LZMA_DICT_SIZE_MIN;
constexpr uint32_t kLevel9Dictionary = 64u << 20;

uint32_t encoderDictionary(size_t length)
{
    // As small as the input allows: the encoder's memory grows about tenfold with it.
    for (uint32_t size = kSmallestDictionary; size < kLevel9Dictionary; size *= 2) {
        if (length <= size)
            return size;
        if (length <= size + size / 2)
            return size + size / 2;
    }
    return kLevel9Dictionary;
}

bool encodeStream(lzma_stream *stream, ByteSink *sink)
{
    for (;;) {
        if (sink->SpareCapacity() == 0 && sink->Extend(std::max<size_t>(sink->Capacity(), 4096)) == nullptr)
            return false;
        stream->next_out = sink->SpareSpace();
        stream->avail_out = sink->SpareCapacity();
        const lzma_ret ret = lzma_code(stream, LZMA_FINISH);
        sink->Commit(static_cast<size_t>(stream->next_out - sink->SpareSpace()));
        if (ret == LZMA_STREAM_END)
            return true;
        if (ret != LZMA_OK)
            return false;
    }
}

} // namespace

bool WriteLzma2Block(const uint8_t *data, size_t length, ByteSink *sink, size_t dictionaryLimit)
{
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 9)) {
        LogError("Error Lzma2Enc_SetProps");
        return false;
    }
    options.dict_size = encoderDictionary(dictionaryLimit != 0 ? std::min(length, dictionaryLimit) : length);
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    // The block's properties byte is LZMA2's own one-byte dictionary property.
    uint8_t properties;
    if (length > UINT32_MAX || lzma_properties_encode(&filters[0], &properties) != LZMA_OK
        || lzma_raw_encoder(&stream, filters) != LZMA_OK) {
        LogError("Error Lzma2Enc_Encode");
        return false;
    }
    stream.next_in = data;
    stream.avail_in = length;
    const size_t start = sink->Size();
    const bool ok = sink->Reserve(start + length / 4 + 4096) && sink->WriteBytes(&properties, 1)
        && sink->WriteSizeVarint(length) && encodeStream(&stream, sink);
    lzma_end(&stream);
    if (!ok) {
        sink->Truncate(start);
        LogError("Error Lzma2Enc_Encode");
    }
    return ok;
}

} // namespace vxpatch
