// bench_frameloop: the saver's own frame loop, run for a while on a window of
// the (virtual) display at a chosen detail level, on the real clock. Prints
// how smooth the picture is (frame times and their spread), how often
// keyframe rendering fell behind and slowed the zoom, how many keyframes were
// finished, where the frame time went, section by section, and how long the
// display thread waited at most to hand work to the render threads. With
// --deep-dive (deep zooming and deep dives on) it also tells the share of
// frames that ran at the full speed factor and the deepest magnification the
// camera reached.
//
//   bench_frameloop [--seconds S] [--detail 1-5] [--window WxH] [--seed N] [--deep-dive] [--threads N]
//
// --threads: render threads beside the display thread (0: the frame loop
// renders keyframes in its spare time); the saver's default without it.
#include "uFormat.h"
#include "uGLSurface.h"
#include "uGlobalSettings.h"
#include "uLog.h"
#include "uNumberParser.h"
#include "uPath.h"
#include "uProfileTimer.h"
#include "uRenderWorkers.h"
#include "uRunModes.h"
#include "uToolMain.h"
#include "uToolZoomHost.h"
#include "uZoomRunner.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

struct tOptions {
    double seconds = 60;
    int32_t detail = 1;
    int32_t width = 876;
    int32_t height = 824;
    int32_t seed = 1;
    bool deepDive = false;
    int32_t threads = kDefaultRenderThreads;
};

bool Parse(int argc, char** argv, tOptions& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--deep-dive") {
            o.deepDive = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        if (arg == "--seconds" && TryStrToFloat(value, o.seconds) && o.seconds > 0)
            continue;
        if (arg == "--detail" && ParseWholeNumber(value, 1, 5, o.detail))
            continue;
        if (arg == "--window" && ParseSize(value, 64, 4096, o.width, o.height))
            continue;
        if (arg == "--seed" && ParseWholeNumber(value, 1, INT32_MAX, o.seed))
            continue;
        if (arg == "--threads" && ParseWholeNumber(value, 0, kMaxRenderThreads, o.threads))
            continue;
        return false;
    }
    return true;
}

/// Counts the keyframes finished, from the log's notes.
class tKeyframeCounter : public tLogList {
public:
    bool HasParent() const override { return true; }
    void AddLine(const std::string& line) override { finished += line.find("Keyframe rendered in") != std::string::npos; }
    int finished = 0;
};

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

std::string Ms(double seconds) { return FormatFixed(seconds * 1000, 2) + " ms"; }

int Run(const tOptions& o)
{
    tGlobalSettings settings;
    settings.detailLevel = static_cast<uint8_t>(o.detail);
    settings.zoomDeep = o.deepDive;
    settings.deepDive = o.deepDive;
    settings.ApplyDetailLevel();
    settings.PatternSeed = o.seed;
    settings.renderThreads = o.threads;
    EnsureGLApplication();

    tToolZoomHost host(o.width, o.height, false);
    tZoomRunner runner(settings, host, rmDemo);
    tKeyframeCounter counter;
    SetLogNotesList(&counter);
    LogListLevel = 2;

    std::vector<double> frameTimes;
    std::vector<double> overruns;
    std::vector<double> loopCost;
    std::array<double, 7> sectionSum{};
    double speedSum = 0;
    int lagging = 0;
    int fullSpeed = 0;
    extended deepest = 0;
    double deepestAt = 0;
    extended start = 0;
    runner.onFrame = [&](const tFrameReport& report) {
        if (report.frame > 1) { // the first frame's time includes the start-up
            frameTimes.push_back(report.rawSeconds);
            overruns.push_back(report.generationOverrun);
            speedSum += report.speed;
            lagging += report.lagging;
            fullSpeed += report.speed >= 1.0f;
            const tPath* path = runner.CurrentPath();
            if (const extended scale = path->Evaluate(path->Time()).scale; scale > deepest) {
                deepest = scale;
                deepestAt = static_cast<double>(host.Now() - start);
            }
            const auto& profile = runner.Sections();
            for (size_t s = 0; s < sectionSum.size(); ++s)
                sectionSum[s] += profile[s].LastDuration();
            loopCost.push_back(profile[1].LastDuration() + profile[2].LastDuration() + profile[6].LastDuration());
        }
        if (host.Now() - start >= o.seconds)
            runner.RequestClose();
    };
    while (runner.Phase() != tRunPhase::Zooming && runner.Tick())
        host.ProcessMessages();
    const int startupKeyframes = counter.finished;
    start = host.Now();
    while (runner.Tick())
        host.ProcessMessages();
    SetLogNotesList(nullptr);

    const double n = static_cast<double>(std::max<size_t>(frameTimes.size(), 1));
    const auto share = [&](double limit) {
        return 100.0 * static_cast<double>(std::count_if(frameTimes.begin(), frameTimes.end(),
                                                         [limit](double t) { return t > limit; })) / n;
    };
    std::printf("detail level %d (%s), keyframes %dx%d, %d iterations, window %dx%d, %s s\n", o.detail,
                DetailLevelSettingOf(o.detail).name.c_str(), runner.Resolution(), runner.Resolution(),
                settings.fractalItterations, o.width, o.height, FormatFixed(o.seconds, 0).c_str());
    std::printf("render threads %d\n", runner.RenderThreads());
    std::printf("frames %zu, %s frames per second\n", frameTimes.size(), FormatFixed(n / o.seconds, 1).c_str());
    std::printf("frame time p50 %s, p95 %s, p99 %s, max %s\n", Ms(Percentile(frameTimes, 0.5)).c_str(),
                Ms(Percentile(frameTimes, 0.95)).c_str(), Ms(Percentile(frameTimes, 0.99)).c_str(),
                Ms(Percentile(frameTimes, 1)).c_str());
    std::printf("frames over 1/60 s %s %%, over 50 ms %s %%\n", FormatFixed(share(1.0 / 60), 1).c_str(),
                FormatFixed(share(0.05), 1).c_str());
    std::printf("mean speed factor %s, slowed by lagging keyframes in %d frames (%s %%)\n",
                FormatFixed(speedSum / n, 3).c_str(), lagging, FormatFixed(100.0 * lagging / n, 1).c_str());
    std::printf("speed factor at 1.0 in %s %% of frames\n", FormatFixed(100.0 * fullSpeed / n, 1).c_str());
    std::printf("deepest magnification %s, %s s after the start\n", FloatToStr(deepest).c_str(),
                FormatFixed(deepestAt, 1).c_str());
    std::printf("keyframes completed %d (%d during start-up)\n", counter.finished, startupKeyframes);
    std::printf("generation overrun p50 %s, p99 %s, max %s\n", Ms(Percentile(overruns, 0.5)).c_str(),
                Ms(Percentile(overruns, 0.99)).c_str(), Ms(Percentile(overruns, 1)).c_str());
    std::printf("loop itself (update, advance, messages) mean %s, p99 %s\n",
                Ms([&] {
                    double s = 0;
                    for (double c : loopCost)
                        s += c;
                    return s / n;
                }())
                    .c_str(),
                Ms(Percentile(loopCost, 0.99)).c_str());
    if (const tRenderWorkers* workers = runner.Workers())
        std::printf("display thread's longest wait for the render threads %s; %llu slices rendered, the render "
                    "threads busy %s s of %s s\n",
                    Ms(workers->LongestWait()).c_str(), static_cast<unsigned long long>(workers->Slices()),
                    FormatFixed(workers->BusySeconds(), 1).c_str(), FormatFixed(o.seconds, 0).c_str());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    const double cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    std::printf("processor time of the whole run (start-up included) %s s, %s %% of the %s s zooming\n",
                FormatFixed(cpu, 1).c_str(), FormatFixed(100 * cpu / o.seconds, 0).c_str(),
                FormatFixed(o.seconds, 0).c_str());
    static const char* const kSections[] = {"Draw", "Update", "Advance", "Generate Mandelbrot", "Idle", "Display",
                                            "Windows messages"};
    for (size_t s = 0; s < sectionSum.size(); ++s)
        std::printf("  %-20s %s\n", kSections[s], Ms(sectionSum[s] / n).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    tOptions options;
    if (!Parse(argc, argv, options)) {
        std::fputs("usage: bench_frameloop [--seconds S] [--detail 1-5] [--window WxH] [--seed N] [--deep-dive] "
                   "[--threads N]\n",
                   stderr);
        return 2;
    }
    SendLogToStandardError();
    try {
        return Run(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_frameloop: %s\n", e.what());
    }
    return 1;
}
