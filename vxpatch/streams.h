// Byte streams shared by every patch-engine format: a bounds-checked read cursor over bytes
// it does not own, a growable buffer that never throws, 32-bit varints, stream sets (up to
// ten streams behind one header of lengths), the engine checksum, read-only mapped input
// files and the whole-file writer. Everything reports failure as a result value: the engine
// runs on worker threads of the updater, where neither an exception nor an abort on a bad
// input is acceptable. Objects are never copied implicitly and are used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vxpatch {

// Paths handed to the engine: NUL-terminated UTF-8.
typedef char oschar;

// Magic of a stream-set header.
constexpr uint32_t kStreamSetMagic = 20090218;
// Most streams a set can carry.
constexpr size_t kMaxStreams = 10;

class ByteSink;

// Read cursor over a view of bytes. Every read checks the bytes left and advances only on
// success, so a failed read leaves the cursor where it was.
class ByteSource {
public:
    ByteSource() = default;
    ByteSource(const ByteSource &) = delete;
    ByteSource &operator=(const ByteSource &) = delete;

    void Init(const uint8_t *data, size_t length);
    // The sink must outlive the view and must not grow while it is read.
    void Init(const ByteSink &sink);

    bool ReadBytes(void *destination, size_t count);
    bool ReadVarint(uint32_t *value);
    bool ReadSignedVarint(int32_t *value);
    bool Skip(size_t count);
    // `out` becomes a view of the next `count` bytes, which this source then steps over.
    bool TakeSubstream(size_t count, ByteSource *out);

    size_t Remaining() const { return static_cast<size_t>(m_End - m_Current); }
    const uint8_t *Position() const { return m_Current; }
    bool IsConsumed() const { return m_Current == m_End; }

private:
    const uint8_t *m_Start = nullptr;
    const uint8_t *m_End = nullptr;
    const uint8_t *m_Current = nullptr;
};

// Growable byte buffer that owns its bytes. Allocation never throws; once it fails the sink
// has dropped its bytes and stays failed, so a sequence of writes needs only one check at
// the end (any later write also returns false).
class ByteSink {
public:
    ByteSink() = default;
    ~ByteSink();
    ByteSink(ByteSink &&other) noexcept;
    ByteSink &operator=(ByteSink &&other) noexcept;
    ByteSink(const ByteSink &) = delete;
    ByteSink &operator=(const ByteSink &) = delete;

    bool WriteBytes(const void *data, size_t count);
    // Makes the capacity at least `capacity` (never less than 256 bytes when it allocates).
    bool Reserve(size_t capacity);
    bool WriteVarint(uint32_t value);
    bool WriteSignedVarint(int32_t value);
    // A size beyond 32 bits is an internal error that ends the process.
    bool WriteSizeVarint(size_t value);
    // Appends all of `other`'s bytes and then frees them; on failure `other` is unchanged.
    bool AppendAndRelease(ByteSink *other);
    // Room for `count` more bytes, growing as WriteBytes would; the bytes are written through
    // SpareSpace() and made part of the sink by Commit. Null when the sink cannot grow.
    uint8_t *Extend(size_t count);
    uint8_t *SpareSpace() { return m_Buffer + m_Length; }
    size_t SpareCapacity() const { return m_Capacity - m_Length; }
    // Adds `count` bytes already written into the spare space; false if they do not fit.
    bool Commit(size_t count);
    // Drops the bytes from `length` on; a sink never grows this way.
    void Truncate(size_t length);
    // Keeps only the `length` bytes from `offset` on, moved to the front, and gives back the
    // rest of the buffer. False, with the sink unchanged, for a range beyond the bytes written.
    bool KeepOnly(size_t offset, size_t length);
    void Release();

    const uint8_t *Data() const { return m_Buffer; }
    size_t Size() const { return m_Length; }
    size_t Capacity() const { return m_Capacity; }
    bool IsFailed() const { return m_Failed; }

private:
    bool Grow(size_t count);
    void Fail();

    uint8_t *m_Buffer = nullptr;
    size_t m_Length = 0;
    size_t m_Capacity = 0;
    bool m_Failed = false;
};

// Streams read out of one buffer: a set header of lengths followed by the streams. The views
// point into the parsed bytes, which must outlive the set.
class ByteSourceSet {
public:
    ByteSourceSet() = default;
    ByteSourceSet(const ByteSourceSet &) = delete;
    ByteSourceSet &operator=(const ByteSourceSet &) = delete;

    // On failure the set is left as it was.
    bool Parse(const uint8_t *data, size_t length);
    // Parses the bytes left in `source` without advancing it.
    bool ParseRemaining(const ByteSource &source);
    // Reads a set written by ByteSinkSet::WriteNested out of this set's streams.
    bool ReadNested(ByteSourceSet *nested);
    bool AllConsumed() const;

    size_t Count() const { return m_Count; }
    // Stream `index`, or null when it is not below Count().
    ByteSource *Stream(size_t index) { return index < m_Count ? &m_Streams[index] : nullptr; }

private:
    size_t m_Count = kMaxStreams;
    ByteSource m_Streams[kMaxStreams];
};

// Streams being written, combined into one buffer at the end.
class ByteSinkSet {
public:
    ByteSinkSet() = default;
    ByteSinkSet(const ByteSinkSet &) = delete;
    ByteSinkSet &operator=(const ByteSinkSet &) = delete;

    // Lowers the number of streams the set announces; only before anything is written.
    bool SetCount(size_t count);
    size_t Count() const { return m_Count; }
    ByteSink *Stream(size_t index) { return index < m_Count ? &m_Streams[index] : nullptr; }

    // Appends the header and the streams to `sink`, emptying the streams.
    bool Combine(ByteSink *sink);
    // Moves the streams of `nested` into this set's streams behind a small header of lengths
    // in stream 0.
    bool WriteNested(ByteSinkSet *nested);

private:
    size_t m_Count = kMaxStreams;
    ByteSink m_Streams[kMaxStreams];
};

// LZMA2 block: properties byte (dictionary size), unsigned varint of the unpacked size, then
// the raw LZMA2 chunks up to their end marker. Reading appends exactly the unpacked size to
// the sink and advances the source past the end marker; on failure the sink keeps what it
// held and the source does not move.
bool ReadLzma2Block(ByteSource *source, ByteSink *sink);
// Appends one block holding the bytes (the making side only). A `dictionaryLimit` other than
// 0 caps the dictionary the size of the data would choose: the encoder needs about eleven
// bytes per dictionary byte, which data with only local repeats does not repay.
bool WriteLzma2Block(const uint8_t *data, size_t length, ByteSink *sink, size_t dictionaryLimit = 0);

// CRC-32/JAMCRC: the common CRC-32 without its final inversion. Check value of "123456789"
// is 0x340BC6D9; of no bytes 0xFFFFFFFF.
uint32_t ComputeChecksum(const void *data, size_t length);

// Read-only shared mapping of a whole input file, so inputs are read in place, not copied.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    // `limit` 0 maps the whole file; `accessHint` 0 normal, 1 sequential, 2 random.
    // An empty file cannot be mapped. Fails when a view is already open.
    bool Open(const oschar *path, size_t limit = 0, int accessHint = 0);
    void Close();
    bool IsValid() const { return m_View != nullptr; }
    // Drops the view's pages from memory; the view stays valid and reads fault them back in
    // from the file. For a caller that has copied what it still needs.
    void DropResidentPages() const;

    const uint8_t *Data() const { return m_View; }
    size_t Length() const { return m_ViewLength; }
    uint64_t FileSize() const { return m_FileSize; }
    // Checked access for diagnostics; throws std::invalid_argument without a view and
    // std::out_of_range past the mapped bytes.
    uint8_t At(size_t index) const;

private:
    uint64_t m_FileSize = 0;
    size_t m_ViewLength = 0;
    int m_Descriptor = -1;
    const uint8_t *m_View = nullptr;
};

// Returned by WriteWholeFile when the file could not be created or closed: an empty result
// must not pass for a successful write of nothing.
constexpr size_t kWriteFailed = SIZE_MAX;

// Creates or truncates `path` and writes all bytes; returns the number of bytes written.
// Any result other than `length` is a failure.
size_t WriteWholeFile(const oschar *path, const void *data, size_t length);

// Writes the bytes to a new file beside `path` and renames it over `path`, so `path` holds
// either its former content or all the new bytes, never a part of them.
bool ReplaceWholeFile(const oschar *path, const void *data, size_t length);

} // namespace vxpatch
