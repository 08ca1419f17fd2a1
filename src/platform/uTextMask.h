#pragma once
// Text rasterised by the toolkit into a coverage mask that pages blend
// themselves, so the engine needs no font machinery of its own.
#include "uColor.h"

#include <cstdint>
#include <string>
#include <vector>

struct tFont {
    std::string family = "Sans Serif";
    int32_t pointSize = 10;
    /// When above 0 it sets the size in pixels and pointSize is ignored.
    int32_t pixelSize = 0;
    tPackedColor color = PackRGBA(0, 0, 0);
    bool bold = false;
};

/// The text drawn antialiased in pure red on black, clipped to the text's box
/// from the drawing point (x, y) to (x + textWidth, y + textHeight) inclusive
/// and to the page.
struct tTextMask {
    // Part of the page the mask covers: columns left .. left + width - 1,
    // rows top .. top + height - 1.
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    /// Red value of each covered pixel, width per row, top row first.
    std::vector<uint8_t> red;
    int32_t textWidth = 0;
    int32_t textHeight = 0;
};

/// Renders text with its top-left corner at (x, y) on a black page of
/// pageWidth × pageHeight pixels. Creates the graphical application object
/// when the process has none (EnsureGuiApplication); when none can be had it
/// logs a warning and returns an empty mask.
tTextMask RenderTextMask(int32_t pageWidth, int32_t pageHeight, int32_t x, int32_t y, const tFont& font,
                         const std::string& text);
