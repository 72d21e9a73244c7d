// A program as separate tables of addresses, label indexes, opcodes and literal bytes. Each
// table changes little between two versions of an executable, so the stream set they are
// stored in compresses and diffs well. Assembling the tables reproduces the image bytes
// exactly, relocation tables included, which is how the engine gets executables back.
//
// The tables, their order and their encodings are shared with the tool that makes patches
// and containers: both sides must produce exactly the same bytes.
#pragma once

#include "vxpatch/assemblyprogram.h"
#include "vxpatch/ensemblestatus.h"
#include "vxpatch/growablearray.h"
#include "vxpatch/streams.h"

#include <cstdint>
#include <memory>

namespace vxpatch {

enum EncodedOp : uint32_t {
    OpOrigin = 0,       // next origin becomes the current RVA
    OpCopy = 1,         // next copy count, that many copy bytes
    OpCopy1 = 2,        // one copy byte
    OpRel32 = 3,        // next rel32 index: displacement to its address
    OpAbs32 = 4,        // next abs32 index: its address plus the image base
    OpPeRelocs = 5,     // the PE relocation table (32-bit entries) goes here
    OpElfRelocs = 6,    // the ELF relocation table (type 8) goes here
    OpElfArmRelocs = 7, // the ELF relocation table (type 23) goes here
    OpPe64Relocs = 8,   // the PE relocation table (64-bit entries) goes here
    // 0x1000 to 0x5FFF: ARM branches (armbranch.h), each taking the next rel32 index.
};

struct EncodedProgram {
    uint64_t imageBase = 0;              // only its low 32 bits are stored and used
    GrowableArray<uint32_t> abs32Rvas;   // "abs32 rvas": address of each abs32 index
    GrowableArray<uint32_t> rel32Rvas;   // "rel32 rvas": address of each rel32 index
    GrowableArray<uint32_t> ops;         // "ops"
    GrowableArray<uint32_t> origins;     // "origins"
    GrowableArray<uint32_t> copyCounts;  // "copy_counts"
    GrowableArray<uint8_t> copyBytes;    // "copy_bytes"
    GrowableArray<uint32_t> abs32Ix;     // "abs32_ix"
    GrowableArray<uint32_t> rel32Ix;     // "rel32_ix"

    void Clear();
};

// Streams of the set an encoded program is stored in (ten streams; 8 and 9 stay empty).
enum EncodedStream : size_t {
    kStreamOrigins = 0,     // image base, then the origins
    kStreamOps = 1,
    kStreamCopyBytes = 2,
    kStreamAbs32Ix = 3,
    kStreamRel32Ix = 4,
    kStreamAbs32Rvas = 5,
    kStreamRel32Rvas = 6,
    kStreamCopyCounts = 7,
    kEncodedStreamsRead = 9, // streams a stored program must have and use up exactly
};

// StatusOk, or StatusGeneralError (out of memory, or a reference to a label without an
// index), with `out` left empty.
Status EncodeProgram(const ParsedProgram &program, EncodedProgram *out);
// The same for a program that is not needed afterwards: its literal bytes become the copy
// bytes in place and the program is destroyed as soon as it is translated, so the program
// and its encoding are never held in full side by side.
Status EncodeProgram(std::unique_ptr<ParsedProgram> program, EncodedProgram *out);

// StatusOk, or StatusStreamError when a write failed.
Status StoreEncodedProgram(const EncodedProgram &program, ByteSinkSet *sinks);

// Reads a program stored by StoreEncodedProgram from a parsed set, replacing the tables of
// `out`. StatusOk, or StatusDeserializationFailed for a set with fewer than nine streams, a
// truncated table, or bytes left over in streams 0 to 8.
Status LoadEncodedProgram(ByteSourceSet *sources, EncodedProgram *out);

// A stored program read without copying its tables out of the set: the address tables,
// which assembly reads at random, in memory; every other table as a view of its varints
// (or bytes), already checked to be complete. Assembling from it needs a fraction of the
// memory of a loaded program and gives the same bytes and statuses.
struct StoredTable {
    const uint8_t *values = nullptr;
    size_t count = 0;  // values in the table
    size_t length = 0; // bytes they take
};

struct StoredProgram {
    uint64_t imageBase = 0;
    GrowableArray<uint32_t> abs32Rvas;
    GrowableArray<uint32_t> rel32Rvas;
    StoredTable origins, ops, copyCounts, abs32Ix, rel32Ix;
    StoredTable copyBytes; // raw bytes, not varints
};

// Reads what LoadEncodedProgram reads and fails where it fails, with the same status. The
// set's bytes must outlive `out`.
Status ReadStoredProgram(ByteSourceSet *sources, StoredProgram *out);

// Appends the image bytes to `output`. StatusOk, or StatusAssemblyFailed when a table runs
// out, an opcode is unknown, a relocation marker repeats, a relocation page overflows or a
// table has entries left over; `output` may then hold part of the image.
Status AssembleProgram(const EncodedProgram &program, ByteSink *output);
Status AssembleProgram(const StoredProgram &program, ByteSink *output);

} // namespace vxpatch
