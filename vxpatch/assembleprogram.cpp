#include "vxpatch/armbranch.h"
#include "vxpatch/encodedprogram.h"
#include "vxpatch/relocationtables.h"

namespace vxpatch {

namespace {

// Bounds-checked reading position in one table of a loaded program.
class TableCursor {
public:
    explicit TableCursor(const GrowableArray<uint32_t> &table) : m_Table(table) {}

    bool Next(uint32_t *value)
    {
        if (m_Next >= m_Table.Size())
            return false;
        *value = m_Table[m_Next++];
        return true;
    }
    bool AllUsed() const { return m_Next == m_Table.Size(); }

private:
    const GrowableArray<uint32_t> &m_Table;
    size_t m_Next = 0;
};

// The same over a stored table's varints, which were checked when the table was read.
class StoredCursor {
public:
    explicit StoredCursor(const StoredTable &table) : m_Left(table.count)
    {
        m_Values.Init(table.values, table.length);
    }

    bool Next(uint32_t *value)
    {
        if (m_Left == 0 || !m_Values.ReadVarint(value))
            return false;
        --m_Left;
        return true;
    }
    bool AllUsed() const { return m_Left == 0; }

private:
    ByteSource m_Values;
    size_t m_Left;
};

// The copy bytes, loaded or stored alike.
class ByteCursor {
public:
    ByteCursor(const uint8_t *bytes, size_t count) : m_Bytes(bytes), m_Count(count) {}

    // `count` bytes at once (an empty table has no data pointer, so success is told apart
    // from the pointer).
    bool Take(size_t count, const uint8_t **bytes)
    {
        if (count > m_Count - m_Next)
            return false;
        *bytes = m_Bytes + m_Next;
        m_Next += count;
        return true;
    }
    bool AllUsed() const { return m_Next == m_Count; }

private:
    const uint8_t *m_Bytes;
    size_t m_Count;
    size_t m_Next = 0;
};

// Loaded and stored programs differ only in how their tables are read, so the assembler
// takes the cursor type and the program's tables.
template <typename Cursor>
class Assembler {
public:
    template <typename Program>
    Assembler(const Program &program, const uint8_t *copyBytes, size_t copyByteCount,
              ByteSink *output)
        : m_ImageBase(program.imageBase), m_Abs32Rvas(program.abs32Rvas),
          m_Rel32Rvas(program.rel32Rvas), m_Output(output), m_Current(output),
          m_Ops(program.ops), m_Origins(program.origins), m_CopyCounts(program.copyCounts),
          m_CopyBytes(copyBytes, copyByteCount), m_Abs32Ix(program.abs32Ix),
          m_Rel32Ix(program.rel32Ix)
    {
    }

    bool Run()
    {
        uint32_t op;
        while (m_Ops.Next(&op)) {
            if (!Op(op))
                return false;
        }
        return WritePendingTables() && m_CopyCounts.AllUsed() && m_CopyBytes.AllUsed() &&
               m_Abs32Ix.AllUsed() && m_Rel32Ix.AllUsed();
    }

private:
    bool Op(uint32_t op)
    {
        switch (op) {
        case OpOrigin:
            return m_Origins.Next(&m_Rva);
        case OpCopy: {
            uint32_t count;
            return m_CopyCounts.Next(&count) && Copy(count);
        }
        case OpCopy1:
            return Copy(1);
        case OpRel32:
            return Rel32();
        case OpAbs32:
            return Abs32();
        case OpPeRelocs:
        case OpPe64Relocs:
            return MarkTable(&m_PeEntryType, op == OpPeRelocs ? kPeRelocHighLow : kPeRelocDir64);
        case OpElfRelocs:
        case OpElfArmRelocs:
            return MarkTable(&m_ElfType,
                             op == OpElfRelocs ? kElfRelocRelative386 : kElfRelocRelativeArm);
        default:
            return op >= kArmOpFirst && op <= kArmOpLast && ArmBranch(static_cast<uint16_t>(op));
        }
    }

    bool Copy(uint32_t count)
    {
        const uint8_t *bytes;
        return m_CopyBytes.Take(count, &bytes) && Emit(bytes, count);
    }

    bool Rel32()
    {
        uint32_t target;
        if (!Rel32Target(&target))
            return false;
        return Emit32(target - (m_Rva + 4));
    }

    bool Abs32()
    {
        uint32_t index;
        if (!m_Abs32Ix.Next(&index) || index >= m_Abs32Rvas.Size() ||
            !m_Abs32Locations.Push(m_Rva))
            return false;
        return Emit32(m_Abs32Rvas[index] + static_cast<uint32_t>(m_ImageBase));
    }

    bool ArmBranch(uint16_t op)
    {
        uint32_t target;
        uint8_t bytes[4];
        if (!Rel32Target(&target))
            return false;
        const uint32_t size = RebuildArmBranch(op, target - m_Rva, bytes);
        return size && Emit(bytes, size);
    }

    bool Rel32Target(uint32_t *target)
    {
        uint32_t index;
        if (!m_Rel32Ix.Next(&index) || index >= m_Rel32Rvas.Size())
            return false;
        *target = m_Rel32Rvas[index];
        return true;
    }

    // Output after a relocation marker is held back until the table, which needs every
    // absolute location of the program, can be written in front of it.
    template <typename T>
    bool MarkTable(T *pending, T type)
    {
        if (*pending)
            return false;
        *pending = type;
        m_Current = &m_Held;
        return true;
    }

    bool WritePendingTables()
    {
        if (m_PeEntryType &&
            !(WritePeRelocationTable(&m_Abs32Locations, m_PeEntryType, m_Output) &&
              m_Output->AppendAndRelease(&m_Held)))
            return false;
        return !m_ElfType || (WriteElfRelocationTable(&m_Abs32Locations, m_ElfType, m_Output) &&
                              m_Output->AppendAndRelease(&m_Held));
    }

    bool Emit32(uint32_t value)
    {
        const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                  static_cast<uint8_t>(value >> 16),
                                  static_cast<uint8_t>(value >> 24)};
        return Emit(bytes, 4);
    }

    bool Emit(const uint8_t *bytes, uint32_t count)
    {
        m_Rva += count;
        return m_Current->WriteBytes(bytes, count);
    }

    const uint64_t m_ImageBase;
    const GrowableArray<uint32_t> &m_Abs32Rvas;
    const GrowableArray<uint32_t> &m_Rel32Rvas;
    ByteSink *m_Output;
    ByteSink *m_Current;
    ByteSink m_Held;
    uint32_t m_Rva = 0;
    uint16_t m_PeEntryType = 0;
    uint32_t m_ElfType = 0;
    GrowableArray<uint32_t> m_Abs32Locations;
    Cursor m_Ops;
    Cursor m_Origins;
    Cursor m_CopyCounts;
    ByteCursor m_CopyBytes;
    Cursor m_Abs32Ix;
    Cursor m_Rel32Ix;
};

} // namespace

Status AssembleProgram(const EncodedProgram &program, ByteSink *output)
{
    Assembler<TableCursor> assembler(program, program.copyBytes.Data(), program.copyBytes.Size(),
                                     output);
    return assembler.Run() ? StatusOk : StatusAssemblyFailed;
}

Status AssembleProgram(const StoredProgram &program, ByteSink *output)
{
    Assembler<StoredCursor> assembler(program, program.copyBytes.values, program.copyBytes.count,
                                      output);
    return assembler.Run() ? StatusOk : StatusAssemblyFailed;
}

} // namespace vxpatch
