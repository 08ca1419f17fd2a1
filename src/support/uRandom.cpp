#include "uRandom.h"

namespace {
uint32_t gSeed = 0;

uint32_t Step()
{
    gSeed = gSeed * 134775813u + 1u;
    return gSeed;
}
} // namespace

uint32_t RandSeed() { return gSeed; }
void SetRandSeed(uint32_t seed) { gSeed = seed; }

uint32_t Random(uint32_t n)
{
    return static_cast<uint32_t>((static_cast<uint64_t>(Step()) * n) >> 32);
}

double Random()
{
    return static_cast<double>(Step()) / 4294967296.0;
}
