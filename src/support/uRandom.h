#pragma once
// The process-wide pseudo-random generator. One 32-bit state; each draw is
// s := s * 134775813 + 1 (mod 2^32). A seed therefore repeats a whole run.
#include <cstdint>

uint32_t RandSeed();
void SetRandSeed(uint32_t seed);

/// Integer in 0 .. n-1: the high 32 bits of the 64-bit product s * n (0 for n = 0).
uint32_t Random(uint32_t n);
/// Uniform value in [0, 1): s / 2^32.
double Random();
