// Any file handed to LoadFromPng must give a picture or a refusal with a
// warning, with the page left whole: never a crash, an overread, a leak or a
// huge allocation. Each input is loaded three ways: as it stands into an
// empty page, and with its chunk checksums repaired (so that mutations reach
// the decoder instead of stopping at the first checksum) into an empty page
// and into a page that already has a buffer of some format.
#include "uLog.h"
#include "uPage.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

uint32_t Crc32(const uint8_t* data, size_t size)
{
    static const auto table = [] {
        std::vector<uint32_t> t(256);
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void RepairChunkChecksums(std::vector<uint8_t>& bytes)
{
    size_t at = 8; // after the signature
    while (at + 12 <= bytes.size()) {
        const uint64_t length = (uint64_t{bytes[at]} << 24) | (uint64_t{bytes[at + 1]} << 16) |
                                (uint64_t{bytes[at + 2]} << 8) | bytes[at + 3];
        if (length > bytes.size() - at - 12)
            return;
        const size_t crcAt = at + 8 + static_cast<size_t>(length);
        const uint32_t crc = Crc32(bytes.data() + at + 4, static_cast<size_t>(length) + 4);
        for (int i = 0; i < 4; ++i)
            bytes[crcAt + static_cast<size_t>(i)] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        at = crcAt + 4;
    }
}

const std::string& TempPath()
{
    static const std::string path = [] {
        SetLogFilePath("/dev/null");
        char name[] = "/tmp/qx_png_fuzz_XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0)
            std::abort();
        close(fd);
        static std::string kept = name;
        std::atexit([] { std::remove(kept.c_str()); });
        return kept;
    }();
    return path;
}

void WriteFile(const std::vector<uint8_t>& bytes)
{
    FILE* f = std::fopen(TempPath().c_str(), "wb");
    if (!f)
        std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        std::abort();
    std::fclose(f);
}

// A refused file must leave a page exactly as it was.
void LoadAndCheck(tPage& page)
{
    const int32_t width = page.Width(), height = page.Height();
    const uint8_t format = page.Format();
    const std::vector<uint8_t> before =
        page.Pixels() ? std::vector<uint8_t>(page.Pixels(), page.Pixels() + page.PixelCount()) : std::vector<uint8_t>();
    const bool loaded = page.LoadFromPng(TempPath());
    if (!loaded) {
        const std::vector<uint8_t> after = page.Pixels()
                                               ? std::vector<uint8_t>(page.Pixels(), page.Pixels() + page.PixelCount())
                                               : std::vector<uint8_t>();
        if (after != before || page.Width() != width || page.Height() != height || page.Format() != format)
            std::abort();
        return;
    }
    // Touch every pixel, so that the sanitizers see any wrong layout.
    uint32_t sum = 0;
    for (int32_t y = 0; y < page.Height(); ++y)
        for (int32_t x = 0; x < page.Width(); ++x)
            sum += page.GetPixel(x, y);
    (void)sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    WriteFile(bytes);
    {
        tPage page;
        LoadAndCheck(page);
    }
    RepairChunkChecksums(bytes);
    WriteFile(bytes);
    {
        tPage page;
        LoadAndCheck(page);
    }
    {
        static const uint8_t kFormats[] = {pfRGBA, pfBGRA, pfFloat4, pf8};
        tPage page;
        const uint8_t choice = size > 0 ? data[size / 2] : 0;
        page.SetSize(1 + choice % 7, 1 + choice / 64, kFormats[choice % 4], false);
        page.Clear({10, 20, 30, 40});
        LoadAndCheck(page);
    }
    return 0;
}
