#pragma once
// tTimer: a named stopwatch in a tree. The engine hangs all its phase timers
// under one process-wide "Global Timer" so a debug view can walk the tree and
// see where frame time goes.
#include "uMath.h"
#include "uNamedClass.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class tTimer : public tNamedClass {
public:
    enum State : uint8_t { kStopped = 0, kRunning = 1 };

    /// A stopped root timer (start and stop time 0, so Elapsed is 0).
    explicit tTimer(std::string name);
    ~tTimer() override;
    tTimer(const tTimer&) = delete;
    tTimer& operator=(const tTimer&) = delete;

    void Start();
    void Stop();
    /// Stopped: stop - start. Running: now - start. Any other state: 0.
    double Elapsed() const;

    /// Takes ownership of the timer and becomes its parent.
    tTimer* AddChild(std::unique_ptr<tTimer> child);
    /// Makes a stopped timer owned by this one.
    tTimer* NewChild(const std::string& name);
    /// Frees one of this timer's children (with its own children); false when
    /// it is not a child of this timer.
    bool DeleteChild(const tTimer* child);
    /// The child at index i, nullptr when out of range.
    tTimer* Child(int i) const;
    int ChildCount() const { return static_cast<int>(children_.size()); }
    /// The first direct child with this name, nullptr when there is none.
    tTimer* FindChild(const std::string& name) const;

    tTimer* Parent() const { return parent_; }
    uint8_t state = kStopped;
    extended startTime = 0;
    extended stopTime = 0;

private:
    tTimer* parent_ = nullptr;
    std::vector<std::unique_ptr<tTimer>> children_;
};

/// The process-wide "Global Timer", nullptr outside program initialisation
/// and finalisation.
tTimer* GlobalTimer();
/// Makes and starts the global timer; nothing when it already exists (its
/// children belong to live subsystems).
void CreateGlobalTimer();
/// Frees the global timer with every timer hanging under it.
void FreeGlobalTimer();
