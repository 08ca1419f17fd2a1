#include "uSequence.h"

#include "uLog.h"
#include "uRandom.h"

#include <cmath>

void tNumber::SetValue(extended x)
{
    kind = kFixed;
    value = x;
}

extended tNumber::GetValue() const
{
    switch (kind) {
    case kFixed:
        return value;
    case kRandom:
        return lowerBound + static_cast<extended>(Random()) * (upperBound - lowerBound);
    default:
        LogWarning(1, "invalid number type");
        return 0;
    }
}

int tSequence::Add(extended x)
{
    auto n = std::make_unique<tNumber>();
    n->SetValue(x);
    items_.push_back(std::move(n));
    return Count() - 1;
}

void tSequence::AddArray(const std::vector<extended>& values)
{
    for (extended v : values)
        Add(v);
}

extended tSequence::Value(int i) const
{
    return IsValidIndex(i) ? items_[static_cast<size_t>(i)]->GetValue() : 0;
}

extended tSequence::Next()
{
    if (items_.empty())
        return 0; // the cursor stays on the first entry for when items arrive
    if (cursor_ >= Count() || cursor_ < 0)
        cursor_ = 0;
    const extended v = Value(cursor_);
    ++cursor_;
    return v;
}

int64_t tSequence::NextInt()
{
    const extended v = std::trunc(Next());
    return std::isfinite(v) ? static_cast<int64_t>(v) : 0;
}

void tSequence::Delete(int i)
{
    if (IsValidIndex(i))
        items_.erase(items_.begin() + i);
}

void tSequence::Clear()
{
    items_.clear();
    cursor_ = 0;
}

void tSequence::Shuffle()
{
    const int n = Count();
    if (n == 0)
        return;
    // Draw positions from a shrinking list of the remaining indices: each
    // remaining item is equally likely at every step.
    tSequence remaining;
    for (int i = 0; i < n; ++i)
        remaining.Add(i);
    std::vector<std::unique_ptr<tNumber>> before = std::move(items_);
    items_.clear();
    items_.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const int a = static_cast<int>(Random(static_cast<uint32_t>(remaining.Count())));
        const int64_t b = remaining.IntValue(a);
        remaining.Delete(a);
        items_[static_cast<size_t>(i)] = std::move(before[static_cast<size_t>(b)]);
    }
}
