#pragma once
// The engine's image: a rectangle of pixels in main memory.
//   - pixel formats, the buffer layout and tDrawParams
//   - tPage: per-pixel access, fills, copies, text
//   - loading (PNG, imported bitmaps) and saving (PNG, BMP)
// The buffer layout is public so that producers such as the fractal
// generator fill it directly; the per-pixel operations are for small jobs.
#include "uBitmap.h"
#include "uColor.h"
#include "uFiles.h"
#include "uMath.h"
#include "uTextMask.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Pixel formats: the codes callers pass to SetSize.
constexpr uint8_t pf8 = 1;      // one byte; size and stride only
constexpr uint8_t pf16 = 2;     // two bytes; size and stride only
constexpr uint8_t pfRGBA = 3;   // bytes R, G, B, A: the packed colour as a little-endian word
constexpr uint8_t pfBGRA = 4;   // bytes B, G, R, A: imported bitmaps
constexpr uint8_t pfFloat4 = 5; // four floats R, G, B, A on the scale 0..255

/// Bits per pixel of a format code; 0 for an unknown code.
int32_t BitsPerPixelOf(uint8_t format);

/// The parameters of every textured draw.
struct tDrawParams {
    double ScaleX = 1.0;
    double ScaleY = 1.0;
    /// Degrees; with y pointing down a positive angle turns clockwise.
    double Angle = 0.0;
    /// Source point (pixels from the source rectangle's corner) placed at the
    /// draw position; scale and rotation act about it.
    tVector2 Pivot;
    /// 0 to 4 (see the hardware page).
    int32_t BlendMode = 0;
    /// Opacity 0..1 for blend modes 2, 3 and 4.
    double Alpha = 0.0;
    /// When true the tint's R, G and B replace white as the draw colour.
    bool Tinted = false;
    tFloatColor Tint;
};

/// Everything zero except both scales, which are 1.
tDrawParams InitDrawParams();

class tPage {
public:
    /// Largest picture LoadFromPng accepts, in pixels.
    static constexpr int64_t kMaxPngPixels = int64_t{16384} * 16384;

    /// An empty page: no buffer, 0 × 0, named "unnamed page".
    tPage();
    virtual ~tPage();
    tPage(const tPage&) = delete;
    tPage& operator=(const tPage&) = delete;

    // Drawing slots, overridden by the hardware page.

    /// Discards the pixels and makes a zero-filled buffer of the new size and
    /// format (none when it would hold no bytes). Negative sizes count as 0.
    /// There is no GDI here: makeGdiBitmap is accepted and ignored. Returns 0.
    virtual int SetSize(int32_t width, int32_t height, uint8_t format, bool makeGdiBitmap = false);
    /// Not implemented for memory pages: fails the assertion "NIY".
    virtual int DrawRect(const tRect& source, int32_t x, int32_t y);
    /// Abstract: a memory page cannot be drawn on screen (raises std::logic_error).
    virtual int DrawEx(const tRect& source, const tVector2& position, const tDrawParams& params);
    /// DrawEx with the whole page as the source rectangle.
    virtual int Draw(const tVector2& position, const tDrawParams& params);
    /// Abstract like DrawEx.
    virtual int DrawPolygon(const tVector2& position, const std::vector<tVector2>& vertices,
                            const std::vector<tVector2>& texCoords, const tDrawParams& params);

    // The buffer: Stride() bytes per row, top row first; a row always holds
    // a multiple of 4 pixels. Pixel (x, y) starts at byte y × stride + x × bpp ÷ 8.
    uint8_t* Pixels() { return reinterpret_cast<uint8_t*>(buffer_.get()); }
    const uint8_t* Pixels() const { return reinterpret_cast<const uint8_t*>(buffer_.get()); }
    /// The buffer as 32-bit words (pfRGBA pages: one word per pixel).
    uint32_t* Words() { return buffer_.get(); }
    const uint32_t* Words() const { return buffer_.get(); }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int32_t BitsPerPixel() const { return bitsPerPixel_; }
    int32_t Stride() const { return stride_; }
    uint8_t Format() const { return format_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    /// Buffer size in bytes: height × stride.
    int64_t PixelCount() const { return static_cast<int64_t>(height_) * stride_; }
    void FreeBuffer();

    /// Index of the pixel in whole pixels (x + y × pixels per row), or -1
    /// outside the page. Every pixel operation ignores -1.
    int64_t PixelIndex(int32_t x, int32_t y) const;

    // Pixel access for pfRGBA, pfBGRA and pfFloat4; formats without pixel
    // access and positions outside the page write nothing and read 0 (or
    // leave the output untouched).
    void SetPixel(int32_t x, int32_t y, tPackedColor color);
    /// Packing clamps each component to 0..255 and truncates.
    void SetPixelF(int32_t x, int32_t y, const tFloatColor& color);
    tPackedColor GetPixel(int32_t x, int32_t y) const;
    void GetPixelF(int32_t x, int32_t y, tFloatColor& out) const;
    /// Alpha blend: each component becomes round(dst × (1 − t) + src × t)
    /// with t = src.A ÷ 255 clamped to 0..1; the alpha then becomes
    /// 255 − (255 − src.A) × (255 − dst.A) ÷ 255.
    void BlendPixel(int32_t x, int32_t y, const tFloatColor& color);

    /// SetPixelF from the smaller to the larger of x1, x2, inclusive.
    void HLine(int32_t x1, int32_t y, const tFloatColor& color, int32_t x2);
    /// HLine for every row from the smaller to the larger of y1, y2, inclusive.
    void FillRect(int32_t x1, int32_t y1, const tFloatColor& color, int32_t y2, int32_t x2);
    /// The whole page; pfRGBA pages fill every word, row padding included.
    void Clear(const tFloatColor& color);
    /// pfRGBA pages: fully transparent pixels next to visible ones (in the
    /// same row or column) take the colour of such a neighbour, still fully
    /// transparent. A picture that fades out at its rim then keeps its rim's
    /// colour when a texture filter blends it with the pixels beyond, instead
    /// of darkening towards black.
    void BleedIntoTransparentEdges() { BleedIntoTransparentEdges(0, height_); }
    /// The same for rows firstRow … endRow - 1 only, reading their neighbour
    /// rows: a pixel keeps its alpha, so rows may be done in any order, each
    /// once its neighbours are final, and the page ends as if done at once.
    void BleedIntoTransparentEdges(int32_t firstRow, int32_t endRow);
    /// Copies the inclusive source rectangle pixel by pixel through the float
    /// colour (so between any formats with pixel access) to the destination,
    /// its corner at (destX, destY). Source pixels outside this page are skipped.
    void CopyToPageSlow(const tRect& source, tPage& dest, int32_t destX, int32_t destY) const;

    /// Loads a PNG picture (any colour type, bit depth or interlacing, as
    /// 8-bit RGBA; opaque where it has no alpha). An empty page is first sized
    /// to the picture as pfRGBA; a page with a buffer keeps its size and
    /// format, and picture pixels outside it are dropped. False without a
    /// word when the file does not exist; false with a warning naming the
    /// file when it is no PNG, damaged, truncated or larger than
    /// maxPixels (at most kMaxPngPixels). The page is touched only after the
    /// whole picture decoded.
    bool LoadFromPng(const std::string& fileName, int64_t maxPixels = kMaxPngPixels);
    /// Writes the page as an 8-bit RGBA PNG. Pages without pixel access or
    /// without pixels, and write errors, give a warning and false. The file
    /// is saved as WriteFileReplacing does under the rules.
    bool SaveToPngFile(const std::string& fileName, const tReplaceRules& rules = {}) const;
    /// Writes a 32-bit uncompressed bottom-up BMP with each pixel's R, G, B
    /// (the fourth byte, which readers ignore, is 0), saved as
    /// WriteFileReplacing does under the rules. Failures are logged and give
    /// false.
    bool SaveToBitmapFile(const std::string& fileName, const tReplaceRules& rules = {}) const;
    /// Sizes the page to the bitmap as pfBGRA, copies its rows and makes every
    /// pixel opaque. The bitmap must be valid (assertion).
    void LoadFromBitmap(const tBitmap& bitmap);
    /// Blends antialiased text in the font's colour onto the page with its
    /// top-left corner at (x, y).
    void DrawText(int32_t x, int32_t y, const tFont& font, const std::string& text);

private:
    std::unique_ptr<uint32_t[]> buffer_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t bitsPerPixel_ = 0;
    int32_t stride_ = 0;
    uint8_t format_ = 0;
    std::string name_ = "unnamed page";
};
