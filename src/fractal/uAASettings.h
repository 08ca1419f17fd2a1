#pragma once
// The anti-aliasing of a rendered image: the generator acts on it, the
// detail levels of the settings hold one per level.
#include <cstdint>

struct tAASettings {
    /// 1.0 is off; 0.0 supersamples every pixel whose colour differs at all
    /// from its neighbour's; values between supersample fewer pixels the
    /// higher they are.
    float threshold = 1.0f;
    /// Samples per supersampled pixel, the pixel itself included (at most 9).
    int32_t samples = 1;
    /// Sample spread in pixels.
    float radius = 1.0f;
    friend bool operator==(const tAASettings&, const tAASettings&) = default;
};

/// True when the settings supersample at all: samples >= 2 and threshold < 1.
inline bool AAEnabled(const tAASettings& aa) { return aa.samples >= 2 && aa.threshold < 1.0f; }
