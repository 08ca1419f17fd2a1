#include "uTimer.h"

#include "uClock.h"

#include <algorithm>

tTimer::tTimer(std::string name) : tNamedClass(std::move(name)) {}

tTimer::~tTimer() = default;

void tTimer::Start()
{
    startTime = HighResTime();
    state = kRunning;
}

void tTimer::Stop()
{
    stopTime = HighResTime();
    state = kStopped;
}

double tTimer::Elapsed() const
{
    switch (state) {
    case kStopped:
        return static_cast<double>(stopTime - startTime);
    case kRunning:
        return static_cast<double>(HighResTime() - startTime);
    default:
        return 0;
    }
}

tTimer* tTimer::AddChild(std::unique_ptr<tTimer> child)
{
    if (!child)
        return nullptr;
    child->parent_ = this;
    children_.push_back(std::move(child));
    return children_.back().get();
}

tTimer* tTimer::NewChild(const std::string& name) { return AddChild(std::make_unique<tTimer>(name)); }

bool tTimer::DeleteChild(const tTimer* child)
{
    auto it = std::find_if(children_.begin(), children_.end(), [child](const auto& c) { return c.get() == child; });
    if (it == children_.end())
        return false;
    children_.erase(it);
    return true;
}

tTimer* tTimer::Child(int i) const
{
    return i >= 0 && i < ChildCount() ? children_[static_cast<size_t>(i)].get() : nullptr;
}

tTimer* tTimer::FindChild(const std::string& name) const
{
    for (const auto& c : children_)
        if (c->Name() == name)
            return c.get();
    return nullptr;
}

namespace {
std::unique_ptr<tTimer> gGlobalTimer;
} // namespace

tTimer* GlobalTimer() { return gGlobalTimer.get(); }

void CreateGlobalTimer()
{
    if (gGlobalTimer)
        return;
    gGlobalTimer = std::make_unique<tTimer>("Global Timer");
    gGlobalTimer->Start();
}

void FreeGlobalTimer() { gGlobalTimer.reset(); }
