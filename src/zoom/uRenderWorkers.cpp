#include "uRenderWorkers.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sys/resource.h>
#include <unistd.h>

namespace {

/// A worker weighs about half of what the display thread weighs when they
/// share a core; beside other programs it still gets a fair share, so the
/// keyframes keep up on a busy machine too.
constexpr int kWorkerNiceStep = 3;

/// Below the display thread, whatever niceness the process was started with.
void LowerThisThreadPriority()
{
    // On Linux a thread's nice value is its own, and a new thread starts with
    // its creator's: the thread id stands for the process here. Failing only
    // leaves the thread at the display thread's priority.
    const auto thread = static_cast<id_t>(::gettid());
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, thread);
    if (errno != 0)
        return;
    (void)::setpriority(PRIO_PROCESS, thread, std::min(current + kWorkerNiceStep, 19));
}

} // namespace

int32_t RenderThreadsFor(int32_t setting, uint32_t cores)
{
    if (setting < 0)
        return std::max<int32_t>(static_cast<int32_t>(std::min<uint32_t>(cores, tRenderWorkers::kMaxThreads + 1)) - 1, 1);
    return std::min(setting, tRenderWorkers::kMaxThreads);
}

tRenderWorkers::tRenderWorkers(int32_t threads)
{
    const int32_t n = std::clamp(threads, 1, kMaxThreads);
    threads_.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        threads_.emplace_back([this] { Work(); });
}

tRenderWorkers::~tRenderWorkers()
{
    std::vector<std::shared_ptr<tKeyframeRender>> dropped;
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
        dropped.swap(work_);
    }
    wake_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

std::shared_ptr<tKeyframeRender> tRenderWorkers::Choose() const
{
    for (const auto& render : work_)
        if (render && !render->busy && !render->Stuck() && !render->Complete() && !render->Cancelled())
            return render;
    return nullptr;
}

void tRenderWorkers::SetWork(std::vector<std::shared_ptr<tKeyframeRender>> work)
{
    const auto asked = std::chrono::steady_clock::now();
    bool any = false;
    {
        const std::lock_guard lock(mutex_);
        longestWait_ = std::max(longestWait_, std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count());
        work_.swap(work);
        any = Choose() != nullptr;
    }
    if (any)
        wake_.notify_all();
    // The old list goes here, outside the lock: the last reference to a
    // render gives its page back to the pool.
}

void tRenderWorkers::Drain()
{
    std::vector<std::shared_ptr<tKeyframeRender>> dropped;
    std::unique_lock lock(mutex_);
    dropped.swap(work_);
    idle_.wait(lock, [this] { return rendering_ == 0; });
}

uint64_t tRenderWorkers::Slices() const
{
    const std::lock_guard lock(mutex_);
    return slices_;
}

double tRenderWorkers::BusySeconds() const
{
    const std::lock_guard lock(mutex_);
    return busySeconds_;
}

void tRenderWorkers::Work()
{
    LowerThisThreadPriority();
    std::shared_ptr<tKeyframeRender> render;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || Choose() != nullptr; });
        if (stop_)
            return;
        render = Choose();
        render->busy = true;
        ++rendering_;
        lock.unlock();

        const auto started = std::chrono::steady_clock::now();
        render->RenderFor(kStepWrites, kSliceSeconds);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

        lock.lock();
        render->busy = false;
        ++slices_;
        busySeconds_ += took;
        // Let go outside the lock: when the keyframe has let go already, this
        // frees the generator and gives the page back. Only then does the
        // worker count as done (Drain).
        lock.unlock();
        render.reset();
        lock.lock();
        if (--rendering_ == 0)
            idle_.notify_all();
    }
}
