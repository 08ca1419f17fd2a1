#include "uClock.h"

#include <chrono>
#include <thread>

namespace {
std::function<extended()> gSource;
} // namespace

extended HighResTime()
{
    if (gSource)
        return gSource();
    using namespace std::chrono;
    const auto ticks = steady_clock::now().time_since_epoch().count();
    constexpr extended secondsPerTick =
        static_cast<extended>(steady_clock::period::num) / static_cast<extended>(steady_clock::period::den);
    return static_cast<extended>(ticks) * secondsPerTick;
}

void SleepMs(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SetHighResTimeSource(std::function<extended()> source) { gSource = std::move(source); }
