// bench_viewprobe: what probing a plan's views costs against rendering one
// keyframe. Plans a run of zooms with the path sequence as the saver does
// (the settings of a detail level for a screen of the given width) and, for
// every plan, times on the processor clock of this thread the view probe
// with its search for views with structure, the rest of the planning, and
// the rendering of each of the plan's keyframes. Prints the distributions
// and how many candidates the searches drew.
//
//   bench_viewprobe [--plans N] [--detail 1-5] [--screen WIDTH] [--seed N]
#include "uFractalPointFinder.h"
#include "uFormat.h"
#include "uFrameMeasures.h"
#include "uGlobalSettings.h"
#include "uKeyFrame.h"
#include "uLog.h"
#include "uPathBase.h"
#include "uPathSequence.h"
#include "uRandom.h"
#include "uToolMain.h"
#include "uViewProbe.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

struct tOptions {
    int32_t plans = 60;
    int32_t detail = 1;
    int32_t screen = 1280;
    int32_t seed = 1;
};

bool Parse(int argc, char** argv, tOptions& o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const std::string value = argv[i + 1];
        if (arg == "--plans" && ParseWholeNumber(value, 1, 10000, o.plans))
            continue;
        if (arg == "--detail" && ParseWholeNumber(value, 1, 5, o.detail))
            continue;
        if (arg == "--screen" && ParseWholeNumber(value, 64, 8192, o.screen))
            continue;
        if (arg == "--seed" && ParseWholeNumber(value, 1, INT32_MAX, o.seed))
            continue;
        return false;
    }
    return argc % 2 == 1;
}

/// Seconds of processor time this thread has used.
double ThreadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::string Ms(double seconds) { return FormatFixed(seconds * 1000, 1) + " ms"; }

/// Counts the candidates the searches drew, from their log notes.
class tCandidateCounter : public tLogList {
public:
    bool HasParent() const override { return true; }
    void AddLine(const std::string& line) override
    {
        const auto at = line.find("View probe: ");
        if (at == std::string::npos)
            return;
        candidates.push_back(std::stoi(line.substr(at + 12)));
        lacking += line.find("still lack structure") != std::string::npos;
    }
    std::vector<int> candidates;
    int lacking = 0;
};

int Run(const tOptions& o)
{
    tGlobalSettings settings;
    settings.detailLevel = static_cast<uint8_t>(o.detail);
    settings.ApplyDetailLevel();
    tPathRenderParams params;
    params.aa = settings.aa;
    params.iterations = settings.fractalItterations;
    params.resolution = LevelResolution(o.detail, o.screen);
    params.precision = 2;

    tCandidateCounter counter;
    SetLogNotesList(&counter);
    LogListLevel = 3;
    // Two sequences plan the same run from the same generator states, one
    // without the probe and one with it: the probe draws nothing from the
    // process-wide generator, so they stay in step, and the difference of
    // their times is the probe's cost.
    tFractalPointFinder plainFinder;
    tFractalPointFinder probedFinder;
    tPathSequence plain(plainFinder);
    tPathSequence probed(probedFinder);
    probed.viewProbe = std::make_unique<tViewProbe>(BackEndProbeRenderer(params.precision));
    for (tPathSequence* sequence : {&plain, &probed}) {
        SetRandSeed(static_cast<uint32_t>(o.seed));
        sequence->ResetSequences();
    }

    std::vector<double> probeTimes;
    std::vector<double> planTimes;
    std::vector<double> keyframeTimes;
    tPathBase plainPath;
    tPathBase path;
    for (tPathBase* p : {&plainPath, &path}) {
        p->SetParams(params);
        p->ApplyResolution();
    }
    for (int32_t i = 0; i < o.plans; ++i) {
        const uint32_t state = RandSeed();
        double started = ThreadSeconds();
        plain.PlanPath(plainPath);
        const double plainTime = ThreadSeconds() - started;
        planTimes.push_back(plainTime);
        SetRandSeed(state);
        started = ThreadSeconds();
        probed.PlanPath(path);
        probeTimes.push_back(std::max(ThreadSeconds() - started - plainTime, 0.0));

        path.StartPath();
        for (int32_t k = 0; k < path.KeyframeCount(); ++k) {
            path.SetTime(path.Keyframe(k).view.time);
            started = ThreadSeconds();
            while (!path.Keyframe(k).Complete() && path.RenderStep(1 << 16) > 0) {
            }
            keyframeTimes.push_back(ThreadSeconds() - started);
            path.CleanBuffers();
        }
    }
    SetLogNotesList(nullptr);

    int drawn = 0;
    int searched = 0;
    for (const int c : counter.candidates) {
        drawn += c;
        searched += c > 0;
    }
    std::printf("detail level %d, keyframes %dx%d, %d iterations, %d plans\n", o.detail, params.resolution,
                params.resolution, params.iterations, o.plans);
    std::printf("keyframes %zu\n", keyframeTimes.size());
    std::printf("keyframe render  p50 %s, p90 %s, max %s\n", Ms(Quantile(keyframeTimes, 0.5)).c_str(),
                Ms(Quantile(keyframeTimes, 0.9)).c_str(), Ms(Quantile(keyframeTimes, 1)).c_str());
    std::printf("view probe       p50 %s, p90 %s, max %s\n", Ms(Quantile(probeTimes, 0.5)).c_str(),
                Ms(Quantile(probeTimes, 0.9)).c_str(), Ms(Quantile(probeTimes, 1)).c_str());
    std::printf("plan without it  p50 %s, p90 %s, max %s (mostly the search for a zoom point)\n",
                Ms(Quantile(planTimes, 0.5)).c_str(), Ms(Quantile(planTimes, 0.9)).c_str(),
                Ms(Quantile(planTimes, 1)).c_str());
    std::printf("probe / keyframe p50 %s %%, max probe / p50 keyframe %s %%\n",
                FormatFixed(100 * Quantile(probeTimes, 0.5) / Quantile(keyframeTimes, 0.5), 1).c_str(),
                FormatFixed(100 * Quantile(probeTimes, 1) / Quantile(keyframeTimes, 0.5), 1).c_str());
    std::printf("plans re-drawn %d of %d, candidates drawn %d, plans still without structure %d\n", searched,
                o.plans, drawn, counter.lacking);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    tOptions options;
    return ToolMain(
        argc, argv, "bench_viewprobe", "usage: bench_viewprobe [--plans N] [--detail 1-5] [--screen WIDTH] [--seed N]\n",
        [&] { return Parse(argc, argv, options); }, [&] { return Run(options); });
}
