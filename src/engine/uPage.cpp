// tPage:
//   - size, layout and the drawing slots
//   - pixel access, blending, fills and copies
//   - PNG decoding and encoding (libpng; the setjmp frames hold plain data only)
//   - BMP writing, bitmap import, text
#include "uPage.h"

#include "uAssert.h"
#include "uFiles.h"
#include "uFormat.h"
#include "uLog.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <sys/stat.h>

int32_t BitsPerPixelOf(uint8_t format)
{
    switch (format) {
    case pf8: return 8;
    case pf16: return 16;
    case pfRGBA: return 32;
    case pfBGRA: return 32;
    case pfFloat4: return 128;
    default: return 0;
    }
}

tDrawParams InitDrawParams()
{
    return tDrawParams{};
}

// ---------------------------------------------------------------------------
// Size, layout and the drawing slots

tPage::tPage() = default;
tPage::~tPage() = default;

int tPage::SetSize(int32_t width, int32_t height, uint8_t format, bool makeGdiBitmap)
{
    (void)makeGdiBitmap;
    LogNote(4, "Resizing page \"" + name_ + "\"");
    if (width < 0 || height < 0) {
        LogWarning(1, "Page \"" + name_ + "\" given a negative size (" + IntToStr(width) + " x " +
                          IntToStr(height) + "); it stays empty");
        width = std::max(width, 0);
        height = std::max(height, 0);
    }
    const int32_t bits = BitsPerPixelOf(format);
    const int64_t rowPixels = (static_cast<int64_t>(width) + 3) / 4 * 4;
    const int64_t stride = bits * rowPixels / 8;
    if (stride > std::numeric_limits<int32_t>::max())
        throw std::length_error("Page \"" + name_ + "\" cannot be " + IntToStr(width) + " pixels wide");

    // Empty and consistent first, so that a failed allocation leaves a usable page.
    FreeBuffer();
    width_ = height_ = stride_ = 0;
    const int64_t bytes = stride * height;
    if (bytes > 0)
        buffer_ = std::make_unique<uint32_t[]>(static_cast<size_t>(bytes / 4)); // zeroed: transparent black
    width_ = width;
    height_ = height;
    format_ = format;
    bitsPerPixel_ = bits;
    stride_ = static_cast<int32_t>(stride);
    return 0;
}

int tPage::DrawRect(const tRect& source, int32_t x, int32_t y)
{
    (void)source;
    (void)x;
    (void)y;
    AssertionFailure("NIY", "uPage", 803);
}

int tPage::DrawEx(const tRect& source, const tVector2& position, const tDrawParams& params)
{
    (void)source;
    (void)position;
    (void)params;
    throw std::logic_error("Abstract error: a memory page cannot draw itself (tPage::DrawEx)");
}

int tPage::Draw(const tVector2& position, const tDrawParams& params)
{
    return DrawEx(tRect{0, 0, width_ - 1, height_ - 1}, position, params);
}

int tPage::DrawPolygon(const tVector2& position, const std::vector<tVector2>& vertices,
                       const std::vector<tVector2>& texCoords, const tDrawParams& params)
{
    (void)position;
    (void)vertices;
    (void)texCoords;
    (void)params;
    throw std::logic_error("Abstract error: a memory page cannot draw itself (tPage::DrawPolygon)");
}

void tPage::FreeBuffer()
{
    buffer_.reset();
}

int64_t tPage::PixelIndex(int32_t x, int32_t y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || !buffer_ || bitsPerPixel_ == 0)
        return -1;
    return x + static_cast<int64_t>(y) * stride_ * 8 / bitsPerPixel_;
}

// ---------------------------------------------------------------------------
// Pixel access

namespace {
// A pfFloat4 pixel occupies four buffer words holding the floats R, G, B, A.
void StoreFloat4(uint32_t* words, const tFloatColor& c)
{
    const float f[4] = {c.r, c.g, c.b, c.a};
    std::memcpy(words, f, sizeof f);
}
tFloatColor LoadFloat4(const uint32_t* words)
{
    float f[4];
    std::memcpy(f, words, sizeof f);
    return {f[0], f[1], f[2], f[3]};
}
} // namespace

void tPage::SetPixel(int32_t x, int32_t y, tPackedColor color)
{
    const int64_t i = PixelIndex(x, y);
    if (i < 0)
        return;
    switch (format_) {
    case pfRGBA: buffer_[i] = color; break;
    case pfBGRA: buffer_[i] = SwapRedBlue(color); break;
    case pfFloat4: StoreFloat4(&buffer_[i * 4], PackedToFloat(color)); break;
    default: break;
    }
}

void tPage::SetPixelF(int32_t x, int32_t y, const tFloatColor& color)
{
    const int64_t i = PixelIndex(x, y);
    if (i < 0)
        return;
    switch (format_) {
    case pfRGBA: buffer_[i] = FloatToPacked(color); break;
    case pfBGRA: buffer_[i] = SwapRedBlue(FloatToPacked(color)); break;
    case pfFloat4: StoreFloat4(&buffer_[i * 4], color); break;
    default: break;
    }
}

tPackedColor tPage::GetPixel(int32_t x, int32_t y) const
{
    const int64_t i = PixelIndex(x, y);
    if (i < 0)
        return 0;
    switch (format_) {
    case pfRGBA: return buffer_[i];
    case pfBGRA: return SwapRedBlue(buffer_[i]);
    case pfFloat4: return FloatToPacked(LoadFloat4(&buffer_[i * 4]));
    default: return 0;
    }
}

void tPage::GetPixelF(int32_t x, int32_t y, tFloatColor& out) const
{
    const int64_t i = PixelIndex(x, y);
    if (i < 0)
        return;
    switch (format_) {
    case pfRGBA: out = PackedToFloat(buffer_[i]); break;
    case pfBGRA: out = PackedToFloat(SwapRedBlue(buffer_[i])); break;
    case pfFloat4: out = LoadFloat4(&buffer_[i * 4]); break;
    default: break;
    }
}

void tPage::BlendPixel(int32_t x, int32_t y, const tFloatColor& color)
{
    if (PixelIndex(x, y) < 0)
        return;
    tFloatColor dst;
    GetPixelF(x, y, dst);
    // Lerp clamps t to 0..1 and rounds each component to the nearest integer, ties to even.
    tFloatColor mix = Lerp(dst, color, static_cast<double>(color.a) / 255.0);
    mix.a = static_cast<float>(255.0 - (255.0 - color.a) * (255.0 - dst.a) / 255.0);
    SetPixelF(x, y, mix);
}

void tPage::HLine(int32_t x1, int32_t y, const tFloatColor& color, int32_t x2)
{
    if (y < 0 || y >= height_)
        return;
    // Clipped first, so that a line of any length costs only its visible pixels.
    const int32_t from = std::max(std::min(x1, x2), 0);
    const int32_t to = std::min(std::max(x1, x2), width_ - 1);
    for (int32_t x = from; x <= to; ++x)
        SetPixelF(x, y, color);
}

void tPage::FillRect(int32_t x1, int32_t y1, const tFloatColor& color, int32_t y2, int32_t x2)
{
    const int32_t from = std::max(std::min(y1, y2), 0);
    const int32_t to = std::min(std::max(y1, y2), height_ - 1);
    for (int32_t y = from; y <= to; ++y)
        HLine(x1, y, color, x2);
}

void tPage::Clear(const tFloatColor& color)
{
    if (format_ == pfRGBA) {
        if (buffer_)
            std::fill_n(buffer_.get(), static_cast<size_t>(PixelCount() / 4), FloatToPacked(color));
        return;
    }
    FillRect(0, 0, color, height_ - 1, width_ - 1);
}

void tPage::BleedIntoTransparentEdges(int32_t firstRow, int32_t endRow)
{
    if (format_ != pfRGBA || !buffer_)
        return;
    constexpr uint32_t kAlpha = 0xFF000000u;
    const int32_t rowWords = stride_ / 4;
    uint32_t* words = buffer_.get();
    // A pixel that takes a colour stays transparent, so colours never spread
    // beyond the first ring around the visible part.
    const auto visibleAt = [&](int32_t x, int32_t y, uint32_t& colour) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_)
            return false;
        colour = words[y * rowWords + x];
        return (colour & kAlpha) != 0;
    };
    for (int32_t y = std::max(firstRow, 0); y < std::min(endRow, height_); ++y)
        for (int32_t x = 0; x < width_; ++x) {
            uint32_t& pixel = words[y * rowWords + x];
            if ((pixel & kAlpha) != 0)
                continue;
            uint32_t colour = 0;
            if (visibleAt(x - 1, y, colour) || visibleAt(x + 1, y, colour) || visibleAt(x, y - 1, colour) ||
                visibleAt(x, y + 1, colour))
                pixel = colour & ~kAlpha;
        }
}

void tPage::CopyToPageSlow(const tRect& source, tPage& dest, int32_t destX, int32_t destY) const
{
    LogNote(3, "Drawing tPage to tPage using slow pixel method.");
    // A source pixel outside this page has no colour to copy: it is skipped
    // rather than repeating the colour read before it.
    const int32_t left = std::max(source.left, 0);
    const int32_t right = std::min(source.right, width_ - 1);
    const int32_t top = std::max(source.top, 0);
    const int32_t bottom = std::min(source.bottom, height_ - 1);
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    for (int32_t y = top; y <= bottom; ++y) {
        const int64_t dy = static_cast<int64_t>(destY) + y - source.top;
        if (dy < kMin || dy > kMax)
            continue;
        for (int32_t x = left; x <= right; ++x) {
            const int64_t dx = static_cast<int64_t>(destX) + x - source.left;
            if (dx < kMin || dx > kMax)
                continue;
            tFloatColor c;
            GetPixelF(x, y, c);
            dest.SetPixelF(static_cast<int32_t>(dx), static_cast<int32_t>(dy), c);
        }
    }
}

// ---------------------------------------------------------------------------
// PNG decoding and encoding
//
// libpng reports errors by longjmp back into the function that called setjmp.
// Those functions (DecodePng, EncodePng) and the error callback therefore hold
// only plain data: nothing with a destructor may be skipped by the jump. Every
// buffer they allocate is reachable from their record, so the caller frees it
// whatever happened.

namespace {

// Deflate cannot expand data by more than 1032 to 1: a header that promises
// more pixel bytes than that from the whole file is damaged or truncated,
// and is refused before any pixel memory is reserved for it.
constexpr uint64_t kDeflateMaxRatio = 1032;

struct tPngDecode {
    FILE* file = nullptr;
    uint64_t fileSize = 0;
    uint64_t maxPixels = 0;
    // Results: width × height RGBA pixels, 4 × width bytes per row.
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t* pixels = nullptr;  // malloc
    png_bytep* rows = nullptr;  // malloc
    char message[160] = {};
};

struct tPngEncode {
    FILE* file = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    png_bytep* rows = nullptr;
    char message[160] = {};
};

template <typename T> void PngFail(png_structp png, const char* message)
{
    auto* job = static_cast<T*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", message);
    png_longjmp(png, 1);
}

void PngDecodeError(png_structp png, png_const_charp message) { PngFail<tPngDecode>(png, message); }
void PngEncodeError(png_structp png, png_const_charp message) { PngFail<tPngEncode>(png, message); }
// Warnings concern ancillary details the picture does not need.
void PngIgnoreWarning(png_structp, png_const_charp) {}

bool DecodePng(tPngDecode* job)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job, PngDecodeError, PngIgnoreWarning);
    if (!png) {
        std::snprintf(job->message, sizeof job->message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::snprintf(job->message, sizeof job->message, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, job->file);
    png_set_sig_bytes(png, 8); // the caller has checked the signature
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    const uint64_t pixels = static_cast<uint64_t>(width) * height;
    if (pixels > job->maxPixels) {
        std::snprintf(job->message, sizeof job->message, "a picture of %u x %u pixels is too large",
                      static_cast<unsigned>(width), static_cast<unsigned>(height));
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    const uint64_t packedBits = pixels * png_get_channels(png, info) * static_cast<unsigned>(bitDepth);
    if (packedBits / 8 > job->fileSize * kDeflateMaxRatio + 1024) {
        std::snprintf(job->message, sizeof job->message,
                      "a picture of %u x %u pixels cannot fit in %llu bytes (damaged or truncated)",
                      static_cast<unsigned>(width), static_cast<unsigned>(height),
                      static_cast<unsigned long long>(job->fileSize));
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }

    // Everything to 8-bit R, G, B, A.
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (bitDepth == 16)
        png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes != static_cast<size_t>(width) * 4) {
        std::snprintf(job->message, sizeof job->message, "unexpected row layout after conversion");
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }

    job->pixels = static_cast<uint8_t*>(std::malloc(rowBytes * height));
    job->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (!job->pixels || !job->rows) {
        std::snprintf(job->message, sizeof job->message, "not enough memory for %u x %u pixels",
                      static_cast<unsigned>(width), static_cast<unsigned>(height));
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    for (png_uint_32 y = 0; y < height; ++y)
        job->rows[y] = job->pixels + rowBytes * y;
    png_read_image(png, job->rows);
    png_read_end(png, nullptr); // a picture without its end is truncated
    png_destroy_read_struct(&png, &info, nullptr);
    job->width = width;
    job->height = height;
    return true;
}

bool EncodePng(tPngEncode* job)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, job, PngEncodeError, PngIgnoreWarning);
    if (!png) {
        std::snprintf(job->message, sizeof job->message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(job->message, sizeof job->message, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, job->file);
    png_set_IHDR(png, info, job->width, job->height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, job->rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool HasPixelAccess(uint8_t format)
{
    return format == pfRGBA || format == pfBGRA || format == pfFloat4;
}

void PngWarning(const std::string& fileName, const std::string& reason)
{
    LogWarning(1, "Could not load PNG picture \"" + fileName + "\": " + reason);
}

} // namespace

bool tPage::LoadFromPng(const std::string& fileName, int64_t maxPixels)
{
    if (!FileExists(fileName))
        return false;
    FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file) {
        PngWarning(fileName, std::strerror(errno));
        return false;
    }
    png_byte signature[8] = {};
    struct stat st {};
    if (std::fread(signature, 1, sizeof signature, file) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0 || ::fstat(fileno(file), &st) != 0) {
        std::fclose(file);
        PngWarning(fileName, "not a PNG picture");
        return false;
    }
    tPngDecode job;
    job.file = file;
    job.fileSize = static_cast<uint64_t>(st.st_size);
    job.maxPixels = static_cast<uint64_t>(std::clamp<int64_t>(maxPixels, 0, kMaxPngPixels));
    const bool decoded = DecodePng(&job);
    std::fclose(file);
    std::free(job.rows);
    const std::unique_ptr<uint8_t, decltype(&std::free)> pixels(job.pixels, &std::free);
    if (!decoded) {
        PngWarning(fileName, job.message);
        return false;
    }

    if (!buffer_)
        SetSize(static_cast<int32_t>(job.width), static_cast<int32_t>(job.height), pfRGBA, false);
    const int32_t rows = static_cast<int32_t>(std::min<uint32_t>(job.height, static_cast<uint32_t>(height_)));
    const int32_t cols = static_cast<int32_t>(std::min<uint32_t>(job.width, static_cast<uint32_t>(width_)));
    const size_t pictureStride = static_cast<size_t>(job.width) * 4;
    for (int32_t y = 0; y < rows; ++y) {
        const uint8_t* src = pixels.get() + pictureStride * static_cast<size_t>(y);
        if (format_ == pfRGBA) { // same byte order: whole rows at once
            std::memcpy(Pixels() + static_cast<size_t>(stride_) * static_cast<size_t>(y), src,
                        static_cast<size_t>(cols) * 4);
            continue;
        }
        for (int32_t x = 0; x < cols; ++x, src += 4)
            SetPixel(x, y, PackRGBA(src[0], src[1], src[2], src[3]));
    }
    return true;
}

bool tPage::SaveToPngFile(const std::string& fileName, const tReplaceRules& rules) const
{
    auto fail = [&](const std::string& reason) {
        LogWarning(1, "Could not save page \"" + name_ + "\" as PNG picture \"" + fileName + "\": " + reason);
        return false;
    };
    if (width_ <= 0 || height_ <= 0 || !buffer_)
        return fail("the page is empty");
    if (!HasPixelAccess(format_))
        return fail("its pixel format has no colours");

    const size_t rowBytes = static_cast<size_t>(width_) * 4;
    std::vector<uint8_t> rgba(rowBytes * static_cast<size_t>(height_));
    std::vector<png_bytep> rows(static_cast<size_t>(height_));
    for (int32_t y = 0; y < height_; ++y) {
        uint8_t* row = rgba.data() + rowBytes * static_cast<size_t>(y);
        rows[static_cast<size_t>(y)] = row;
        for (int32_t x = 0; x < width_; ++x) {
            const tPackedColor c = GetPixel(x, y);
            row[4 * x + 0] = RedOf(c);
            row[4 * x + 1] = GreenOf(c);
            row[4 * x + 2] = BlueOf(c);
            row[4 * x + 3] = AlphaOf(c);
        }
    }
    // Through a temporary file: a failed save leaves the old picture.
    const std::string failure = WriteFileReplacing(fileName, [&](std::FILE* file, std::string& reason) {
        tPngEncode job;
        job.file = file;
        job.width = static_cast<uint32_t>(width_);
        job.height = static_cast<uint32_t>(height_);
        job.rows = rows.data();
        if (EncodePng(&job))
            return true;
        reason = job.message;
        return false;
    }, rules);
    return failure.empty() || fail(failure);
}

// ---------------------------------------------------------------------------
// BMP writing, bitmap import, text

namespace {
void PutU16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}
} // namespace

bool tPage::SaveToBitmapFile(const std::string& fileName, const tReplaceRules& rules) const
{
    auto fail = [&](const std::string& reason) {
        LogWarning(1, "Could not save page \"" + name_ + "\" as bitmap \"" + fileName + "\": " + reason);
        return false;
    };
    if (width_ <= 0 || height_ <= 0)
        return fail("the page is empty");
    constexpr uint32_t kHeaderBytes = 14 + 40;
    const uint64_t imageBytes = static_cast<uint64_t>(width_) * static_cast<uint64_t>(height_) * 4;
    if (imageBytes + kHeaderBytes > std::numeric_limits<uint32_t>::max())
        return fail("the page is too large for the bitmap format");

    std::vector<uint8_t> out;
    out.reserve(kHeaderBytes + static_cast<size_t>(imageBytes));
    // BITMAPFILEHEADER
    out.push_back('B');
    out.push_back('M');
    PutU32(out, static_cast<uint32_t>(kHeaderBytes + imageBytes));
    PutU32(out, 0); // two reserved words
    PutU32(out, kHeaderBytes);
    // BITMAPINFOHEADER: positive height, so rows run bottom-up as every reader expects
    PutU32(out, 40);
    PutU32(out, static_cast<uint32_t>(width_));
    PutU32(out, static_cast<uint32_t>(height_));
    PutU16(out, 1);  // planes
    PutU16(out, 32); // bits per pixel
    PutU32(out, 0);  // uncompressed
    PutU32(out, static_cast<uint32_t>(imageBytes));
    PutU32(out, 0); // horizontal resolution
    PutU32(out, 0); // vertical resolution
    PutU32(out, 0); // colours used
    PutU32(out, 0); // important colours
    for (int32_t y = height_ - 1; y >= 0; --y) {
        for (int32_t x = 0; x < width_; ++x) {
            const tPackedColor c = GetPixel(x, y);
            out.push_back(BlueOf(c));
            out.push_back(GreenOf(c));
            out.push_back(RedOf(c));
            out.push_back(0);
        }
    }

    const std::string failure = WriteFileReplacing(
        fileName,
        [&](std::FILE* file, std::string& reason) {
            if (std::fwrite(out.data(), 1, out.size(), file) == out.size())
                return true;
            reason = std::strerror(errno);
            return false;
        },
        rules);
    return failure.empty() || fail(failure);
}

void tPage::LoadFromBitmap(const tBitmap& bitmap)
{
    Assert(bitmap.Valid(), "uPage", 1025);
    SetSize(bitmap.width, bitmap.height, pfBGRA, false);
    const size_t rowBytes = static_cast<size_t>(bitmap.width) * 4;
    for (int32_t y = 0; y < height_; ++y)
        std::memcpy(Pixels() + static_cast<size_t>(stride_) * static_cast<size_t>(y),
                    bitmap.pixels.data() + rowBytes * static_cast<size_t>(y), rowBytes);
    uint8_t* bytes = Pixels();
    const int64_t count = PixelCount();
    for (int64_t i = 3; i < count; i += 4)
        bytes[i] = 255;
}

void tPage::DrawText(int32_t x, int32_t y, const tFont& font, const std::string& text)
{
    if (!HasPixelAccess(format_))
        return;
    const tTextMask mask = RenderTextMask(width_, height_, x, y, font, text);
    const tFloatColor ink = PackedToFloat(font.color);
    for (int32_t row = 0; row < mask.height; ++row) {
        for (int32_t col = 0; col < mask.width; ++col) {
            const uint8_t red = mask.red[static_cast<size_t>(row) * static_cast<size_t>(mask.width) +
                                         static_cast<size_t>(col)];
            if (red > 0)
                BlendPixel(mask.left + col, mask.top + row, tFloatColor{ink.r, ink.g, ink.b, static_cast<float>(red)});
        }
    }
}
