// LZMA2 blocks through liblzma's raw LZMA2 coder. Result codes in messages keep the numbering
// the block format has always reported (data error 1, memory 2, unsupported properties 4,
// input ended early 6), whichever library does the work.
#include "vxpatch/streams.h"

#include "vxpatch/blockmemory.h"
#include "vxpatch/enginelog.h"

#include <lzma.h>

#include <algorithm>
#include <cstdint>

namespace vxpatch {

namespace {

enum ResultCode : int {
    kResultOk = 0,
    kResultData = 1,
    kResultMemory = 2,
    kResultUnsupported = 4,
    kResultParameter = 5,
    kResultInputEnded = 6,
    kResultFail = 11,
};

constexpr uint8_t kLargestProperties = 40;
constexpr uint32_t kSmallestDictionary = LZMA_DICT_SIZE_MIN;
// A block never needs more room than its unpacked size, but that size is taken from the input:
// the first reservation is capped near the best ratio LZMA2 reaches, so a few bytes claiming
// gigabytes cost only what they really decode to.
constexpr size_t kBestCompressionRatio = 8192;
constexpr size_t kReservationSlack = 64 * 1024;

uint32_t dictionaryOf(uint8_t properties)
{
    if (properties == kLargestProperties)
        return 0xFFFFFFFFu;
    return (2u | (properties & 1u)) << (properties / 2 + 11);
}

// The decoder's dictionary is as large as the block; it goes through the engine's block
// memory so that freeing it leaves no resident heap behind for the steps that follow.
void *allocateForDecoder(void *, size_t count, size_t size)
{
    return size != 0 && count > SIZE_MAX / size ? nullptr : AllocateSized(count * size);
}

void freeForDecoder(void *, void *block)
{
    FreeSized(block);
}

const lzma_allocator kDecoderAllocator = {allocateForDecoder, freeForDecoder, nullptr};

int resultCodeOf(lzma_ret ret)
{
    switch (ret) {
    case LZMA_OK:
    case LZMA_STREAM_END:
        return kResultOk;
    case LZMA_DATA_ERROR:
        return kResultData;
    case LZMA_MEM_ERROR:
        return kResultMemory;
    case LZMA_OPTIONS_ERROR:
        return kResultUnsupported;
    case LZMA_PROG_ERROR:
        return kResultParameter;
    case LZMA_BUF_ERROR:
        return kResultInputEnded;
    default:
        return kResultFail;
    }
}

size_t firstReservation(size_t unpacked, size_t packed)
{
    const size_t bound = packed > (SIZE_MAX - kReservationSlack) / kBestCompressionRatio
        ? SIZE_MAX
        : packed * kBestCompressionRatio + kReservationSlack;
    return std::min(unpacked, bound);
}

// Gives the decoder output room: the sink's spare space up to the announced end, then one
// byte of overflow so that a stream running past its size is seen instead of cut short.
bool provideOutput(lzma_stream *stream, ByteSink *sink, size_t end, uint8_t *overflow)
{
    const size_t written = sink->Size();
    if (written == end) {
        stream->next_out = overflow;
        stream->avail_out = 1;
        return true;
    }
    if (sink->SpareCapacity() == 0) {
        const size_t grown = std::min(end, std::max(sink->Capacity() * 2, written + 1));
        if (!sink->Reserve(grown))
            return false;
    }
    stream->next_out = sink->SpareSpace();
    stream->avail_out = std::min(sink->SpareCapacity(), end - written);
    return true;
}

// Decodes into `sink` until the stream's end marker; returns a result code. The sink holds
// the decoded bytes appended behind its former length on success or failure alike.
int decodeStream(lzma_stream *stream, ByteSink *sink, size_t end)
{
    uint8_t overflow;
    for (;;) {
        if (!provideOutput(stream, sink, end, &overflow))
            return kResultMemory;
        uint8_t *const before = stream->next_out;
        const lzma_ret ret = lzma_code(stream, LZMA_RUN);
        if (before != &overflow)
            sink->Commit(static_cast<size_t>(stream->next_out - before));
        else if (stream->next_out != before)
            return kResultData;
        if (ret == LZMA_STREAM_END)
            return kResultOk;
        if (ret != LZMA_OK)
            return resultCodeOf(ret);
        if (stream->avail_in == 0 && stream->avail_out != 0)
            return kResultInputEnded;
    }
}

int decodeBlock(ByteSource *source, uint8_t properties, size_t unpacked, ByteSink *sink,
                size_t *consumed)
{
    if (properties > kLargestProperties)
        return kResultUnsupported;
    lzma_options_lzma options = {};
    // A dictionary beyond what the block decodes to would only cost memory.
    options.dict_size = std::max<uint64_t>(
        kSmallestDictionary, std::min<uint64_t>(dictionaryOf(properties), unpacked));
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    stream.allocator = &kDecoderAllocator;
    lzma_ret ret = lzma_raw_decoder(&stream, filters);
    if (ret != LZMA_OK)
        return resultCodeOf(ret);
    stream.next_in = source->Position();
    stream.avail_in = source->Remaining();
    const int result = decodeStream(&stream, sink, sink->Size() + unpacked);
    *consumed = static_cast<size_t>(stream.next_in - source->Position());
    lzma_end(&stream);
    return result;
}

} // namespace

bool ReadLzma2Block(ByteSource *source, ByteSink *sink)
{
    ByteSource block;
    block.Init(source->Position(), source->Remaining());
    uint8_t properties;
    if (!block.ReadBytes(&properties, 1)) {
        LogError("Error read LZMA2 properties");
        return false;
    }
    uint32_t unpacked;
    if (!block.ReadVarint(&unpacked)) {
        LogError("Error read LZMA2 unpack size");
        return false;
    }
    const size_t start = sink->Size();
    if (!sink->Reserve(start + firstReservation(unpacked, block.Remaining()))) {
        LogError("unable to allocate sink space");
        return false;
    }
    size_t consumed = 0;
    const int result = decodeBlock(&block, properties, unpacked, sink, &consumed);
    if (result == kResultOk && sink->Size() - start == unpacked) {
        source->Skip(source->Remaining() - block.Remaining() + consumed);
        return true;
    }
    sink->Truncate(start);
    LogError("Error uncompressing data " + std::to_string(result));
    return false;
}

} // namespace vxpatch
