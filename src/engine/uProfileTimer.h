#pragma once
// A stopwatch with a ten-sample moving average. The running zoom keeps one
// per section of its frame loop and the debug window shows their reports.
#include "uMath.h"

#include <array>
#include <functional>
#include <string>

class tProfileTimer {
public:
    static constexpr int kHistory = 10;

    void Start();
    /// Sets the name, then starts.
    void Begin(const std::string& name);
    /// Records the elapsed time as a sample: the first sample fills the whole
    /// ring, later ones replace the oldest entry.
    void End();
    /// Seconds since Start, up to End when stopped.
    extended Elapsed() const;
    /// Mean of the ten samples, seconds.
    double Average() const;
    double LastDuration() const { return lastDuration_; }
    /// The name right-aligned in 25 characters, " - ", the average in
    /// milliseconds with three decimals right-aligned in 6, "ms".
    std::string Report() const;

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }

    /// Where the timer takes its seconds from; the high-resolution clock
    /// when empty.
    std::function<extended()> clock;

private:
    extended Now() const;

    std::string name_;
    int historyPosition_ = -1;
    extended startTime_ = 0;
    extended stopTime_ = 0; // 0 while running
    double lastDuration_ = 0;
    std::array<double, kHistory> history_{};
};
