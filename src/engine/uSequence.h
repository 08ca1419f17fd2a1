#pragma once
// tSequence: an owning list of numbers read round-robin through a cursor,
// and shuffled through the process-wide pseudo-random generator.
#include "uMath.h"

#include <memory>
#include <vector>

class tNumber {
public:
    enum Kind : int32_t { kFixed = 0, kRandom = 1 };

    void SetValue(extended x);
    /// Fixed: the value. Random: uniform between the bounds. Any other kind:
    /// the warning "invalid number type" and 0.
    extended GetValue() const;

    extended upperBound = 0;
    extended lowerBound = 0;
    extended value = 0;
    int32_t kind = kFixed;
};

class tSequence {
public:
    /// Appends a fixed number; returns its index.
    int Add(extended x);
    void AddArray(const std::vector<extended>& values);
    int Count() const { return static_cast<int>(items_.size()); }
    bool IsValidIndex(int i) const { return i >= 0 && i < Count(); }
    /// Item i's value, 0 for an invalid index.
    extended Value(int i) const;
    int64_t IntValue(int i) const { return Round(Value(i)); }
    /// The value under the cursor; the cursor then moves on, wrapping to the
    /// first entry after the last. 0 on an empty sequence.
    extended Next();
    /// Next, truncated towards zero.
    int64_t NextInt();
    void Delete(int i);
    void Clear();
    /// A uniformly random permutation of the items; the cursor stays.
    void Shuffle();

    int Cursor() const { return cursor_; }
    tNumber* Item(int i) { return IsValidIndex(i) ? items_[static_cast<size_t>(i)].get() : nullptr; }

private:
    std::vector<std::unique_ptr<tNumber>> items_;
    int cursor_ = 0;
};
