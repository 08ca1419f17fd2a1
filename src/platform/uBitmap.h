#pragma once
// A plain 32-bit image in the byte order of a Windows device-independent
// bitmap: B, G, R, A per pixel, rows top first, width × 4 bytes per row with
// no padding. The desktop capture produces one; pages import it.
#include <cstddef>
#include <cstdint>
#include <vector>

struct tBitmap {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;

    /// A picture with at least one pixel whose byte count matches its size.
    bool Valid() const
    {
        return width > 0 && height > 0 &&
               pixels.size() == static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    }
};
