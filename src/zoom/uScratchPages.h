#pragma once
// tScratchPageArray: a fixed pool of equally sized pages that keyframes
// render into. The two zoom paths share one pool, so rendering never runs
// more than its page count ahead of the camera, counting both paths.
//
// Pages are taken and given back under a lock: a render worker gives a page
// back when it lets go of a keyframe's render last. Sizing the pages again
// (AllocatePages, SetPageSize, FreeAllPages) frees them, so it must not
// happen while a page is in use.
#include "uPage.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

/// Receives one line of text (the debug window's list, a test's vector).
using tLineSink = std::function<void(const std::string& line)>;

class tScratchPageArray {
public:
    static constexpr int32_t kMaxPages = 100;

    /// count pages of 512 × 512 pfRGBA pixels, none in use.
    explicit tScratchPageArray(int32_t count);
    ~tScratchPageArray();
    tScratchPageArray(const tScratchPageArray&) = delete;
    tScratchPageArray& operator=(const tScratchPageArray&) = delete;

    /// Frees every page, then makes n new ones of the current size (at most
    /// kMaxPages).
    void AllocatePages(int32_t n);
    /// New size for every page; the pages are made again, their content and
    /// their in-use marks are lost.
    void SetPageSize(int32_t width, int32_t height);
    /// Clears every in-use mark and frees every page; count becomes 0.
    void FreeAllPages();

    /// The first free page, marked in use; none when all are in use.
    tPage* AcquirePage();
    /// Marks a page of the pool free again. A page that is not in the pool
    /// gives the warning "Could not release invalid page" and changes nothing.
    void ReleasePage(const tPage* page);
    /// Pages not in use.
    int32_t FreeCount() const;
    /// "Buffers: free/count", then "Usage [" + '*' per page in use, '-' per
    /// free page + "]".
    void ShowUsage(const tLineSink& list) const;

    int32_t Count() const { return count_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    tPage* Page(int32_t i) const { return i >= 0 && i < count_ ? pages_[static_cast<size_t>(i)].get() : nullptr; }
    bool InUse(int32_t i) const;

private:
    mutable std::mutex mutex_; // guards the in-use marks
    std::array<std::unique_ptr<tPage>, kMaxPages> pages_;
    std::array<bool, kMaxPages> inUse_{};
    int32_t width_ = 512;
    int32_t height_ = 512;
    int32_t count_ = 0;
};
