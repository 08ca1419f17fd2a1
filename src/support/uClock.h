#pragma once
// The high-resolution clock: seconds as an 80-bit float since an arbitrary
// origin, from the monotonic clock.
#include "uMath.h"

#include <functional>

extended HighResTime();
/// Sleeps the calling thread for the given milliseconds.
void SleepMs(int milliseconds);

/// Makes HighResTime return the given source's values (tests of timing
/// logic); an empty function restores the real clock.
void SetHighResTimeSource(std::function<extended()> source);
