#include "uProfileTimer.h"

#include "uClock.h"
#include "uFormat.h"

extended tProfileTimer::Now() const { return clock ? clock() : HighResTime(); }

void tProfileTimer::Start()
{
    stopTime_ = 0;
    startTime_ = Now();
}

void tProfileTimer::Begin(const std::string& name)
{
    name_ = name;
    Start();
}

extended tProfileTimer::Elapsed() const
{
    const extended stop = stopTime_ != 0 ? stopTime_ : Now();
    return stop - startTime_;
}

void tProfileTimer::End()
{
    lastDuration_ = static_cast<double>(Elapsed());
    if (historyPosition_ < 0) {
        history_.fill(lastDuration_);
        historyPosition_ = 0;
    } else {
        historyPosition_ = (historyPosition_ + 1) % kHistory;
        history_[historyPosition_] = lastDuration_;
    }
    stopTime_ = Now();
}

double tProfileTimer::Average() const
{
    double sum = 0;
    for (double d : history_)
        sum += d;
    return sum / kHistory;
}

std::string tProfileTimer::Report() const
{
    return PadLeft(name_, 25) + " - " + PadLeft(FormatFixed(Average() * 1000.0, 3), 6) + "ms";
}
