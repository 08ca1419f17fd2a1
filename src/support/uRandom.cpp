#include "uRandom.h"

uint32_t tRandom::Step()
{
    state_ = state_ * 134775813u + 1u;
    return state_;
}

uint32_t tRandom::Next(uint32_t n) { return static_cast<uint32_t>((static_cast<uint64_t>(Step()) * n) >> 32); }

double tRandom::Next() { return static_cast<double>(Step()) / 4294967296.0; }

tRandom& ProcessRandom()
{
    static tRandom generator;
    return generator;
}

uint32_t RandSeed() { return ProcessRandom().Seed(); }
void SetRandSeed(uint32_t seed) { ProcessRandom().SetSeed(seed); }

uint32_t Random(uint32_t n) { return ProcessRandom().Next(n); }

double Random() { return ProcessRandom().Next(); }
