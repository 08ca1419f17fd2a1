#pragma once
// The lane block: up to 64 points (8 for the SSE back ends, 64 for the
// widest) laid out row by row, so that one SIMD register holds one slice of a
// row. Every back end, scalar or SIMD, reads and
// writes this same layout, which is what lets the generator swap back ends by
// replacing a routine, a lane count and an element type.
//
// Row r starts at byte r * lanes * element size. Value rows hold one element
// per lane; int rows hold one 32-bit integer per lane from the row's start
// (lane i at byte 4 * i) whatever the element type.
//
//   0 z re (c re after LoadPoint)   5 int: SIMD lane masks     10 int: slot 2 SIMD limit,
//   1 z im (c im after LoadPoint)   6 int: escape count             slot 3 rounds run
//   2 z re * z im (work)            8 escape bound 4.0         15 int: escaped flags
//   3 c re                          9 4.0; the SSE back ends leave their
//   4 c im                            16-bit counters and increments in it
#include "uAssert.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>

/// Element types of the lane block.
enum : uint8_t {
    kElementInt32 = 1,
    kElementSingle = 2,
    kElementDouble = 3,
    kElementExtended = 4,
};

/// Row numbers of the lane block.
enum : int {
    kRowZRe = 0,
    kRowZIm = 1,
    kRowZProduct = 2,
    kRowCRe = 3,
    kRowCIm = 4,
    kRowMasks = 5,
    kRowCount = 6,
    kRowBound = 8,
    kRowCounters = 9,
    kRowSimdLimit = 10,
    kRowEscaped = 15,
};

/// Slots of int row 10.
enum : int {
    kSlotSimdLimit = 2,
    kSlotRounds = 3,
};

/// Bytes per element of a type: 4, 4, 8, 10 for types 1 to 4, else 0.
int32_t ElementSizeOf(uint8_t type);

/// 80-bit x87 extended values as stored in the block (10 bytes, little
/// endian: 64-bit mantissa with explicit integer bit, then sign and a 15-bit
/// exponent). These work on any processor; where long double is that format
/// they agree with copying its first ten bytes.
void EncodeExtended80(long double value, void* dest);
long double DecodeExtended80(const void* src);
/// The same conversions built by hand, used where long double has another
/// format (and by the tests everywhere).
void EncodeExtended80Portable(long double value, void* dest);
long double DecodeExtended80Portable(const void* src);

class tPackedData {
public:
    static constexpr int32_t kRows = 16;
    /// Bytes of each allocation; the working block is the first multiple of 16
    /// inside it, so at least kBlockBytes - 16 of it are usable.
    static constexpr size_t kAllocationBytes = 65552;
    static constexpr size_t kBlockBytes = 65536;

    tPackedData();
    virtual ~tPackedData();
    tPackedData(const tPackedData&) = delete;
    tPackedData& operator=(const tPackedData&) = delete;

    /// lanes := n, then ClearBlock.
    void SetLanes(int32_t n);
    /// type := t; element size from the type (0 for unknown types); ClearBlock.
    void SetElementType(uint8_t t);
    /// Zeroes the 65 536 bytes of the working block.
    void ClearBlock();
    /// Copies 16 * lanes * element size bytes working block -> template.
    void SaveTemplate();
    /// How many times SaveTemplate ran: tells a caller that keeps a template
    /// across calls whether it is still the one it saved.
    uint64_t TemplateSaves() const { return templateSaves_; }
    /// Copies them back template -> working block.
    void RestoreTemplate();

    /// The value at index lane + row * lanes, converted to double (0 for an
    /// unknown type).
    double ReadValue(int32_t lane, int32_t row) const;
    /// Writes a value at a value index in the element type; integers are
    /// truncated towards zero.
    void StoreValue(int32_t index, double value);

    /// Rows 0 and 3 := re, 1 and 4 := im, 2 := 0, int rows 5 and 6 := 0,
    /// rows 8 and 9 := 4.0.
    void SetLaneDefaults(int32_t lane, double re, double im);
    /// Rows 0-4 := 0, int row 5 := 0, int row 6 := -1 (an empty lane).
    void ClearLane(int32_t lane);
    /// Rows 0 and 3 := re, 1 and 4 := im, int row 6 := 0.
    void LoadPoint(int32_t lane, double re, double im);
    /// LoadPoint(j, re[j], im[j]) for the lanes j = 0 .. n - 1.
    void LoadPoints(int32_t n, const double* re, const double* im);
    /// out[j] := int row 6 of lane j (the escape count) for j = 0 .. n - 1.
    void ReadCounts(int32_t n, int32_t* out) const
    {
        Assert(n >= 0 && RowOffset(kRowCount) + 4 * static_cast<size_t>(n) <= kBlockBytes, "uPackedData", __LINE__);
        std::memcpy(out, block_ + RowOffset(kRowCount), 4 * static_cast<size_t>(n));
    }
    /// Int row 6 := n.
    void SetCount(int32_t lane, int32_t n) { SetInt(lane, kRowCount, n); }
    /// Int row 15 := -1 (all bits set).
    void MarkEscaped(int32_t lane) { SetInt(lane, kRowEscaped, -1); }

    /// Int row access: the 32-bit integer of a lane (or slot) of an int row.
    int32_t Int(int32_t lane, int32_t row) const
    {
        int32_t v;
        std::memcpy(&v, block_ + IntOffset(lane, row), 4);
        return v;
    }
    void SetInt(int32_t lane, int32_t row, int32_t value) { std::memcpy(block_ + IntOffset(lane, row), &value, 4); }

    /// Start of the working block (16-byte aligned).
    uint8_t* Block() { return block_; }
    const uint8_t* Block() const { return block_; }
    const uint8_t* TemplateBlock() const { return template_.get(); }
    /// Start of a row in the working block.
    uint8_t* Row(int32_t row) { return block_ + RowOffset(row); }
    size_t RowOffset(int32_t row) const { return static_cast<size_t>(row) * static_cast<size_t>(lanes_ * elementSize_); }
    /// 16 * lanes * element size: the part that templates copy.
    size_t UsedBytes() const { return static_cast<size_t>(kRows) * static_cast<size_t>(lanes_ * elementSize_); }

    uint8_t ElementType() const { return elementType_; }
    int32_t Lanes() const { return lanes_; }
    int32_t Rows() const { return rows_; }
    int32_t ElementSize() const { return elementSize_; }

private:
    uint8_t* ValueAddress(int32_t index);
    const uint8_t* ValueAddress(int32_t index) const;
    size_t IntOffset(int32_t lane, int32_t row) const
    {
        const size_t offset = RowOffset(row) + 4 * static_cast<size_t>(lane);
        Assert(lane >= 0 && row >= 0 && offset + 4 <= kBlockBytes, "uPackedData", __LINE__);
        return offset;
    }
    /// Writes one value in each of the given rows of a lane, converting once
    /// for the element type.
    void StoreLane(int32_t lane, std::initializer_list<int32_t> rows, double value);

    uint8_t* block_ = nullptr;
    std::unique_ptr<uint8_t[]> template_;
    std::unique_ptr<uint8_t[]> raw_;
    uint8_t elementType_ = 0;
    int32_t lanes_ = 0;
    int32_t rows_ = kRows;
    int32_t elementSize_ = 0;
    uint64_t templateSaves_ = 0;
};

/// The lane block of the fractal generator: adds the iteration limit that the
/// scalar back ends read (the SIMD ones read int row 10, slot 2).
struct tPerturbationData;

class tFractalPackedData : public tPackedData {
public:
    int32_t iterationLimit = 0;
    /// The reference of the perturbation back ends (not owned); they iterate
    /// the lanes' c as offsets from it.
    const tPerturbationData* perturbation = nullptr;
};
