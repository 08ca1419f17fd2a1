#pragma once
// Pictures that stand in for a desktop capture in the transition tests.
#include "uPage.h"
#include "uPageGLhw.h"

#include <cstring>
#include <memory>

/// A smooth picture: red grows to the right, green downwards, blue fixed;
/// neighbouring pixels differ by about one step, so a half-pixel shift of
/// the drawn picture stays within a small tolerance.
inline std::unique_ptr<tPage> GradientPicture(int32_t width, int32_t height)
{
    auto page = std::make_unique<tPage>();
    page->SetSize(width, height, pfRGBA);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            page->SetPixel(x, y,
                           PackRGBA(static_cast<uint8_t>(40 + x * 200 / width), static_cast<uint8_t>(30 + y * 200 / height),
                                    150));
    return page;
}

/// The page on a texture of the interface.
inline std::unique_ptr<tPageGLhw> Uploaded(tOpenGLInterface& gl, const tPage& picture)
{
    auto page = std::make_unique<tPageGLhw>(gl);
    page->SetSize(picture.Width(), picture.Height(), pfRGBA);
    std::memcpy(page->Pixels(), picture.Pixels(), static_cast<size_t>(picture.PixelCount()));
    page->Upload();
    return page;
}
