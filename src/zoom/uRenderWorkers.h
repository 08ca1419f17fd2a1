#pragma once
// tRenderWorkers: threads that render keyframes while the display thread
// only draws. Every frame the display thread hands over the renders the
// paths need, most needed first (SetWork); each worker takes the first one
// that no other worker holds, renders a slice of it (a few milliseconds),
// lets go and chooses again, so the keyframe the camera needs next is never
// behind a later one for longer than a slice. A keyframe's generator is
// rendered by one worker at a time, always in its own scan order, so the
// pixels are the same whichever thread renders which slice.
//
// The lock guards the list and the renders' busy marks only; nobody holds it
// while rendering, so SetWork waits at most for another thread's choice of
// work (LongestWait measures it). With nothing left to render the workers
// sleep on a condition variable until SetWork brings work. Workers run at a
// lower priority than the display thread.
#include "uKeyFrame.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class tRenderWorkers {
public:
    /// Pixel writes per generator step within a slice.
    static constexpr int64_t kStepWrites = 1280;
    /// Seconds a worker renders one keyframe before it chooses again.
    static constexpr double kSliceSeconds = 0.004;
    /// Most workers a run starts.
    static constexpr int32_t kMaxThreads = 64;

    /// Starts threads workers (1 … kMaxThreads).
    explicit tRenderWorkers(int32_t threads);
    /// Stops the workers after their current slice and waits for them.
    ~tRenderWorkers();
    tRenderWorkers(const tRenderWorkers&) = delete;
    tRenderWorkers& operator=(const tRenderWorkers&) = delete;

    /// The renders to work on, most needed first, replacing the last list.
    /// Complete, cancelled and stuck renders are passed over; a render
    /// dropped from the list is finished by no one.
    void SetWork(std::vector<std::shared_ptr<tKeyframeRender>> work);
    /// Waits until no worker renders and the list is empty (tests, and before
    /// pages are sized again).
    void Drain();

    int32_t Threads() const { return static_cast<int32_t>(threads_.size()); }
    /// The longest time SetWork waited for the lock, seconds.
    double LongestWait() const { return longestWait_; }
    /// Slices rendered so far.
    uint64_t Slices() const;
    /// Seconds the workers spent rendering slices, summed over the workers.
    double BusySeconds() const;

private:
    void Work();
    /// The first render of the list a worker may take; none when there is none.
    std::shared_ptr<tKeyframeRender> Choose() const;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::vector<std::shared_ptr<tKeyframeRender>> work_;
    int32_t rendering_ = 0;
    uint64_t slices_ = 0;
    double busySeconds_ = 0;
    bool stop_ = false;
    double longestWait_ = 0;
    std::vector<std::thread> threads_;
};

/// Render threads for a setting: negative means the default, all cores but
/// one (at least 1); 0 renders on the display thread; more than
/// tRenderWorkers::kMaxThreads are that many.
int32_t RenderThreadsFor(int32_t setting, uint32_t cores);
