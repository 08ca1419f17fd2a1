#pragma once
// The pseudo-random generator. One 32-bit state; each draw is
// s := s * 134775813 + 1 (mod 2^32). A seed therefore repeats a whole run.
// The process has one (ProcessRandom), which the free functions draw from;
// work that must not share it (rendering off the main thread) is handed a
// tRandom of its own.
#include <cstdint>

class tRandom {
public:
    explicit tRandom(uint32_t seed = 0) : state_(seed) {}

    uint32_t Seed() const { return state_; }
    void SetSeed(uint32_t seed) { state_ = seed; }
    /// Integer in 0 .. n-1: the high 32 bits of the 64-bit product s * n (0 for n = 0).
    uint32_t Next(uint32_t n);
    /// Uniform value in [0, 1): s / 2^32.
    double Next();

private:
    uint32_t Step();

    uint32_t state_;
};

/// The process-wide generator.
tRandom& ProcessRandom();

uint32_t RandSeed();
void SetRandSeed(uint32_t seed);

/// ProcessRandom().Next(n) and ProcessRandom().Next().
uint32_t Random(uint32_t n);
double Random();
