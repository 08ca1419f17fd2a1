#include "uScratchPages.h"

#include "uAssert.h"
#include "uFormat.h"
#include "uLog.h"

#include <algorithm>

tScratchPageArray::tScratchPageArray(int32_t count) { AllocatePages(count); }

tScratchPageArray::~tScratchPageArray() { FreeAllPages(); }

void tScratchPageArray::AllocatePages(int32_t n)
{
    FreeAllPages();
    count_ = std::clamp(n, 0, kMaxPages);
    for (int32_t i = 0; i < count_; ++i) {
        auto page = std::make_unique<tPage>();
        page->SetSize(width_, height_, pfRGBA, false);
        pages_[static_cast<size_t>(i)] = std::move(page);
    }
}

void tScratchPageArray::SetPageSize(int32_t width, int32_t height)
{
    width_ = width;
    height_ = height;
    AllocatePages(count_);
}

void tScratchPageArray::FreeAllPages()
{
    const std::lock_guard lock(mutex_);
    inUse_.fill(false);
    for (auto& page : pages_)
        page.reset();
    count_ = 0;
}

tPage* tScratchPageArray::AcquirePage()
{
    const std::lock_guard lock(mutex_);
    for (int32_t i = 0; i < count_; ++i) {
        if (inUse_[static_cast<size_t>(i)])
            continue;
        tPage* page = pages_[static_cast<size_t>(i)].get();
        Assert(page != nullptr, "uPath", 334);
        inUse_[static_cast<size_t>(i)] = true;
        return page;
    }
    return nullptr;
}

void tScratchPageArray::ReleasePage(const tPage* page)
{
    const auto found = std::find_if(pages_.begin(), pages_.end(),
                                    [page](const std::unique_ptr<tPage>& p) { return page && p.get() == page; });
    if (found == pages_.end()) {
        LogWarning(2, "Could not release invalid page");
        return;
    }
    const std::lock_guard lock(mutex_);
    inUse_[static_cast<size_t>(found - pages_.begin())] = false;
}

bool tScratchPageArray::InUse(int32_t i) const
{
    const std::lock_guard lock(mutex_);
    return i >= 0 && i < kMaxPages && inUse_[static_cast<size_t>(i)];
}

int32_t tScratchPageArray::FreeCount() const
{
    const std::lock_guard lock(mutex_);
    int32_t free = 0;
    for (int32_t i = 0; i < count_; ++i)
        if (!inUse_[static_cast<size_t>(i)])
            ++free;
    return free;
}

void tScratchPageArray::ShowUsage(const tLineSink& list) const
{
    if (!list)
        return;
    list("Buffers: " + IntToStr(FreeCount()) + "/" + IntToStr(count_));
    std::string usage;
    for (int32_t i = 0; i < count_; ++i)
        usage += InUse(i) ? '*' : '-';
    list("Usage [" + usage + "]");
}
