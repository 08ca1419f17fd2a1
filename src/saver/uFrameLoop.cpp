#include "uFrameLoop.h"

#include <algorithm>

int ClampRefreshRate(int hertz) { return std::clamp(hertz, 60, 100); }

double FramePeriod(int refreshRate) { return 1.0 / (refreshRate + 10); }

double GenerationBudget(double averageDisplaySeconds, int refreshRate)
{
    return std::min(std::max(2 * averageDisplaySeconds, FramePeriod(refreshRate)), kMaxGenerationBudget);
}

double ClampFrameStep(double rawSeconds) { return std::clamp(rawSeconds, 0.0, kMaxFrameStep); }

void tFrameTimes::Store(uint64_t frame, double rawSeconds) { slots_[frame % kSlots] = rawSeconds; }

double tFrameTimes::Sum() const
{
    double sum = 0;
    for (double t : slots_)
        sum += t;
    return sum;
}

float NextSpeed(float speed, double dt, bool slowDown, bool speedUp)
{
    const auto step = static_cast<float>(dt);
    if (slowDown)
        speed = std::max(speed - step, 0.1f);
    else if (speedUp)
        speed = std::min(speed + 4 * step, 5.0f);
    else
        speed += step / 6;
    if (speed > 1)
        speed = std::max(speed - 3 * step, 1.0f);
    return speed;
}

double PathFadeAlpha(extended t, extended duration)
{
    if (t < 2)
        return static_cast<double>(1 - t / 2);
    if (t > duration - 2)
        return static_cast<double>(1 - (duration - t) / 2);
    return 0;
}

double ClosingFadeAlpha(double pathAlpha, float closeFade) { return 1 - closeFade + pathAlpha; }

void tSaverStatus::BeginStop()
{
    if (state == ssClosing)
        return;
    state = ssClosing;
    closeFade = 1.0f;
}

void tSaverStatus::CloseFadeStep(double dt)
{
    if (state != ssClosing)
        return;
    closeFade -= static_cast<float>(2 * dt);
    if (closeFade < 0)
        stop = true;
}

bool tSaverStatus::RequestClose()
{
    const bool first = state < ssClosing;
    stop = true;
    state = ssClosing;
    return first;
}

int SpendGenerationBudget(const std::function<int64_t()>& step, const std::function<extended()>& now,
                          extended frameStart, double budget)
{
    int calls = 0;
    for (;;) {
        const int64_t writes = step();
        if (writes == kNoWorkLeft)
            break;
        ++calls;
        if (writes == 0 || now() - frameStart > budget)
            break;
    }
    return calls;
}
