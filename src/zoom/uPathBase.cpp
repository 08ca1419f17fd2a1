// Sections: points and Evaluate, parameters, the keyframe plan, current
// keyframes, rendering, Advance, the display helpers.
#include "uPathBase.h"

#include "uAssert.h"
#include "uFormat.h"
#include "uFractal.h"
#include "uLog.h"
#include "uRandom.h"

#include <cmath>
#include <numbers>

namespace {

constexpr float kSmoothingLimit = 0.025f;

void LogCompletion(const tFractalKeyFrame& keyframe, int32_t count)
{
    LogNote(2, "Keyframe rendered in " + Format3(keyframe.renderDuration));
    LogNote(4, "Completed key-frame [" + IntToStr(keyframe.Index() + 1) + "/" + IntToStr(count) + "]");
}

std::string PositionText(extended x, extended y) { return "[" + Format3(x) + "," + Format3(y) + "]"; }

extended CosEase(extended u) { return 1 - (std::cos(u * std::numbers::pi_v<extended>) * 0.5L + 0.5L); }

} // namespace

std::optional<extended> Lerp2(extended w, extended a, extended b)
{
    if (!(a > 0) || !(b > 0))
        return std::nullopt;
    const extended r = std::exp2((1 - w) * std::log2(b) + w * std::log2(a));
    if (!std::isfinite(r))
        return std::nullopt;
    return r;
}

tPathBase::tPathBase(std::shared_ptr<tScratchPageArray> pool)
{
    ClearPoints();
    for (int32_t i = 0; i < kMaxKeyframes; ++i)
        keyframes_[static_cast<size_t>(i)] = std::make_unique<tFractalKeyFrame>(i);
    SetParams(tPathRenderParams{});
    if (pool) {
        pool_ = std::move(pool);
    } else {
        pool_ = std::make_shared<tScratchPageArray>(kPoolPages);
        ownsScratch_ = true;
    }
}

tPathBase::~tPathBase()
{
    // Pages go back to the pool, which may still serve the other path.
    for (auto& keyframe : keyframes_)
        keyframe->ReleaseRender();
}

// ---------------------------------------------------------------------------
// Points and Evaluate
// ---------------------------------------------------------------------------

void tPathBase::ClearPoints()
{
    pointCount_ = 0;
    points_.fill(tPathPoint{});
}

void tPathBase::AddPoint(int32_t easing, extended x, extended y, extended scale, extended angle, extended time)
{
    if (pointCount_ >= kMaxPoints - 1) {
        LogWarning(1, "Too many points in path");
        return;
    }
    points_[static_cast<size_t>(pointCount_)] = tPathPoint{x, y, scale, angle, time, easing};
    ++pointCount_;
}

const tPathPoint& tPathBase::WidestPoint() const
{
    int32_t widest = 0;
    for (int32_t i = 1; i < pointCount_; ++i)
        if (points_[static_cast<size_t>(i)].scale < points_[static_cast<size_t>(widest)].scale)
            widest = i;
    return points_[static_cast<size_t>(widest)];
}

extended tPathBase::Duration() const
{
    if (pointCount_ == 0)
        return 0;
    return points_[static_cast<size_t>(pointCount_ - 1)].time - points_[0].time;
}

void tPathBase::SetTime(extended t)
{
    time_ = t;
    UpdateCurrentKeyframes();
}

tPathPoint tPathBase::Evaluate(extended t) const { return EvaluateSmoothed(t, smoothing_); }

tPathPoint tPathBase::EvaluateSmoothed(extended t, float window) const
{
    const extended duration = Duration();
    if (t < 0)
        t = 0;
    if (t > duration)
        t = duration;
    if (window <= kSmoothingLimit)
        return EvaluatePlain(t);

    // Each half of the window is smoothed with half the window again, so the
    // result is the plain mean of 2^k evaluations; near the ends the clamped
    // sample times pile up on the end points, which eases the camera in and out.
    const float half = window * 0.5f;
    const tPathPoint e1 = EvaluateSmoothed(t - half, half);
    const tPathPoint e2 = EvaluateSmoothed(t + half, half);
    tPathPoint result;
    result.x = (e1.x + e2.x) * 0.5L;
    result.y = (e1.y + e2.y) * 0.5L;
    result.scale = (e1.scale + e2.scale) * 0.5L;
    result.angle = (e1.angle + e2.angle) * 0.5L;
    result.time = t;
    return result;
}

tPathPoint tPathBase::EvaluatePlain(extended t) const
{
    tPathPoint result{-1, -1, -1, -1, -1, 0};
    int32_t o = -1;
    for (int32_t i = 0; i + 1 < pointCount_; ++i)
        if (points_[static_cast<size_t>(i) + 1].time >= t) {
            o = i;
            break;
        }
    if (o < 0)
        return result;

    const tPathPoint& p0 = points_[static_cast<size_t>(o)];
    const tPathPoint& p1 = points_[static_cast<size_t>(o) + 1];
    Assert(p0.time != p1.time, "uPath", 668, "Points in path have identical times");
    const extended u = (t - p0.time) / (p1.time - p0.time);
    extended w = u;
    switch (p1.easing) {
    case 2:
        w = std::sqrt(u);
        break;
    case 3:
        w = u * u;
        break;
    case 4:
        w = CosEase(u);
        break;
    case 5:
        w = CosEase(CosEase(u));
        break;
    default:
        break;
    }

    result.angle = (1 - w) * p0.angle + w * p1.angle;
    if (const auto scale = Lerp2(w, p1.scale, p0.scale)) {
        result.scale = *scale;
    } else {
        LogWarning(2, "Error on Lerp2");
        result.scale = p0.scale;
    }
    result.x = w * p1.x + (1 - w) * p0.x;
    result.y = w * p1.y + (1 - w) * p0.y;
    result.time = t;
    return result;
}

// ---------------------------------------------------------------------------
// Parameters
// ---------------------------------------------------------------------------

void tPathBase::ApplyResolution() { pool_->SetPageSize(params.resolution, params.resolution); }

void tPathBase::LogRenderParams(const tPathRenderParams& renderParams)
{
    LogNote(1, "Fractal rendering parameters:");
    LogNote(1, " -resolution " + IntToStr(renderParams.resolution) + "x" + IntToStr(renderParams.resolution));
    LogNote(1, " -itterations " + IntToStr(renderParams.iterations));
}

// ---------------------------------------------------------------------------
// The keyframe plan
// ---------------------------------------------------------------------------

void tPathBase::GenerateKeyframes()
{
    if (pointCount_ < 2)
        return;
    ClearKeyframes();

    if (singleKeyframe) {
        tPathPoint view = WidestPoint();
        view.scale /= scaleDivisor;
        AddKeyframe(view);
    } else {
        const extended ratio = params.keyframeRatio;
        const extended lastTime = points_[static_cast<size_t>(pointCount_ - 1)].time;
        // Every keyframe's magnification is divided, the first one's too.
        tPathPoint first = points_[0];
        first.scale /= scaleDivisor;
        AddKeyframe(first);
        extended last = first.scale;
        extended p = points_[0].time;
        tPathPoint v;
        extended s = 0;
        do {
            v = Evaluate(p);
            s = v.scale / scaleDivisor;
            v.scale = s;
            if (s / last > ratio || last / s > ratio) {
                AddKeyframe(v);
                const tVector2 centre = PlaneCentre(v);
                LogNote(4, " -keyframe at scale " + FloatToStr(s) + " at time " + FloatToStr(p) + " at position " +
                               PositionText(centre.x, centre.y));
                last = s;
            }
            p += kSampleStep;
        } while (lastTime > p);

        // The end of the path still needs its own picture unless the last
        // keyframe is already close to it.
        const extended halfRatio = ratio / 2;
        if (s / last > halfRatio || last / s > halfRatio) {
            AddKeyframe(v);
            const tVector2 centre = PlaneCentre(v);
            LogNote(4, " -final keyframe at scale " + FloatToStr(s) + " at time " + FloatToStr(p) +
                           " at position " + PositionText(centre.x, centre.y));
        } else {
            LogNote(4, " -no final keyframe required");
        }
    }

    const extended duration = Duration();
    LogNote(3, "Generated " + IntToStr(keyframeCount_) + " key frames over " + FloatToStr(duration) +
                   " seconds (" + FloatToStr(duration / keyframeCount_) + ")");
}

void tPathBase::AddKeyframe(const tPathPoint& view)
{
    if (keyframeCount_ >= kMaxKeyframes - 1) {
        LogWarning(1, "Too many keyframes in path");
        return;
    }
    keyframes_[static_cast<size_t>(keyframeCount_)]->view = view;
    ++keyframeCount_;
}

void tPathBase::ClearKeyframes()
{
    for (int32_t i = 0; i < keyframeCount_; ++i) {
        tFractalKeyFrame& keyframe = Keyframe(i);
        keyframe.ReleaseRender();
        keyframe.view = tPathPoint{};
    }
    slotA_.shown = slotB_.shown = nullptr;
    a_ = b_ = nullptr;
    keyframeCount_ = 0;
}

void tPathBase::UpdateCurrentKeyframes()
{
    if (keyframeCount_ == 0) {
        a_ = b_ = nullptr;
        return;
    }
    if (keyframeCount_ == 1) {
        a_ = b_ = &Keyframe(0);
        return;
    }
    int32_t i = 0;
    while (i < keyframeCount_ - 1 && Keyframe(i + 1).view.time < time_)
        ++i;
    if (i == keyframeCount_ - 1) {
        a_ = b_ = &Keyframe(i);
    } else {
        a_ = &Keyframe(i);
        b_ = &Keyframe(i + 1);
    }
}

// ---------------------------------------------------------------------------
// A zoom on this path: start, render, advance
// ---------------------------------------------------------------------------

void tPathBase::StartPath()
{
    renderProgress_ = 0;
    time_ = 0;
    renderingIndex_ = 0;
    a_ = b_ = nullptr;
    slotA_.shown = slotB_.shown = nullptr;
    GenerateKeyframes();
    UpdateCurrentKeyframes();
}

int64_t tPathBase::RenderStep(int64_t budget)
{
    renderingIndex_ = -1;
    if (!a_)
        return 0;
    for (int32_t i = a_->Index(); i < keyframeCount_; ++i) {
        tFractalKeyFrame& keyframe = Keyframe(i);
        if (keyframe.Complete())
            continue;
        renderingIndex_ = i;
        const int64_t result = keyframe.RenderStep(budget, Job(i, false));
        if (keyframe.Complete())
            LogCompletion(keyframe, keyframeCount_);
        renderProgress_ = (keyframe.Progress() + static_cast<float>(i)) / static_cast<float>(keyframeCount_);
        return result;
    }
    return 0;
}

tKeyframeJob tPathBase::Job(int32_t index, bool workers)
{
    tKeyframeJob job{*pool_, params, index, ProcessRandom(), DumpKeyframe, deepDive.get()};
    job.workers = workers;
    return job;
}

bool tPathBase::CollectWork(std::vector<std::shared_ptr<tKeyframeRender>>& work, bool startNew)
{
    for (int32_t i = 0; i < keyframeCount_; ++i)
        if (Keyframe(i).NoteCompletion(Job(i, true)))
            LogCompletion(Keyframe(i), keyframeCount_);
    renderingIndex_ = -1;
    if (!a_)
        return true;
    bool pagesLeft = true;
    for (int32_t i = a_->Index(); i < keyframeCount_; ++i) {
        tFractalKeyFrame& keyframe = Keyframe(i);
        if (keyframe.Complete())
            continue;
        if (renderingIndex_ < 0) {
            renderingIndex_ = i;
            renderProgress_ = (keyframe.Progress() + static_cast<float>(i)) / static_cast<float>(keyframeCount_);
        }
        if (!keyframe.Render()) {
            if (!startNew || !pagesLeft)
                continue;
            if (!keyframe.StartRender(Job(i, true))) {
                pagesLeft = false;
                continue;
            }
        }
        work.push_back(keyframe.Render());
    }
    if (renderingIndex_ < 0)
        renderProgress_ = 1;
    return pagesLeft;
}

bool tPathBase::BothKeyframesReady() const
{
    if (!a_ || !b_)
        return true;
    return a_->Complete() && b_->Complete();
}

float tPathBase::KeyframesProgress() const
{
    if (a_ && b_)
        return (a_->Progress() + b_->Progress()) * 0.5f;
    if (a_)
        return a_->Progress();
    if (b_)
        return b_->Progress();
    return 0;
}

void tPathBase::Advance(extended dt)
{
    if (uploadCooldown_ > 0) {
        uploadCooldown_ -= static_cast<float>(std::fabs(dt));
        if (!(uploadCooldown_ > 0))
            uploadCooldown_ = 0;
    }
    CleanBuffers();
    time_ += dt * speed;
}

void tPathBase::CleanBuffers()
{
    if (!a_)
        return;
    for (int32_t i = 0; i < a_->Index(); ++i) {
        tFractalKeyFrame& keyframe = Keyframe(i);
        if (!keyframe.Generator())
            continue;
        keyframe.ReleaseRender();
        LogNote(3, "Cleaned buffer \"" + IntToStr(i) + "\"");
    }
}

std::string tPathBase::RenderMethodName() const
{
    if (const tFractalMandelBrot* generator = Keyframe(0).Generator())
        return generator->BackEndName();
    if (keyframeCount_ == 0)
        return "?";
    const tBackEnd* backEnd = MandelbrotBackEnd(params.precision, static_cast<double>(Keyframe(0).view.scale));
    return backEnd ? backEnd->name : "?";
}

// ---------------------------------------------------------------------------
// Display helpers
// ---------------------------------------------------------------------------

void tPathBase::UploadToSlot(int /*slot*/, const tPage& /*page*/) {}

void tPathBase::UploadRowsToSlot(int /*slot*/, const tPage& /*page*/, int32_t /*firstRow*/, int32_t /*endRow*/,
                                 bool /*clearBelow*/)
{
}

void tPathBase::UploadSlot(int slot, tFractalKeyFrame* keyframe, tSlot& shown)
{
    if (shown.shown == keyframe && !(shown.partial && uploadCooldown_ <= 0))
        return;
    if (!keyframe || !keyframe->Page())
        return;
    uploadCooldown_ = kUploadInterval;
    const tKeyframeRender& render = *keyframe->Render();
    if (render.Workers()) {
        // A worker may be writing the rows below the finished ones: only
        // those go up, and of a keyframe shown before only the new ones.
        const int32_t rows = render.FinishedRows();
        const bool fresh = shown.shown != keyframe;
        UploadRowsToSlot(slot, render.Page(), fresh ? 0 : shown.rows, rows, fresh);
        shown.rows = rows;
        shown.partial = rows < render.Page().Height();
    } else {
        UploadToSlot(slot, render.Page());
        shown.partial = !keyframe->Complete();
    }
    shown.shown = keyframe;
}

void tPathBase::UploadKeyframes()
{
    UploadSlot(0, a_, slotA_);
    UploadSlot(1, b_, slotB_);
}

float tPathBase::BlendFactor(const tPathPoint& cur) const
{
    if (!a_ || !b_)
        return 0;
    if (static_cast<float>(b_->view.time - a_->view.time) == 0)
        return 0;
    const tFractalKeyFrame* deep = a_->view.scale > b_->view.scale ? a_ : b_;
    const tFractalKeyFrame* shallow = deep == a_ ? b_ : a_;
    const extended span = std::log2(shallow->view.scale) - std::log2(deep->view.scale);
    if (span == 0 || !std::isfinite(span))
        return 0;
    return static_cast<float>((std::log2(cur.scale) - std::log2(deep->view.scale)) / span);
}

std::optional<tKeyframePlacement> tPathBase::KeyframePlacement(const tFractalKeyFrame& keyframe,
                                                                const tPathPoint& cur, extended clientWidth,
                                                                const tVector2& viewportSize) const
{
    const tFractalMandelBrot* g = keyframe.Generator();
    if (!g)
        return std::nullopt;
    // A dive's views are offsets from its target already, exact where the
    // plane's coordinates would have lost every digit.
    const tVector2 centre = deepDive ? tVector2{keyframe.view.x, keyframe.view.y}
                                     : tVector2{static_cast<extended>(g->centreRe), static_cast<extended>(g->centreIm)};
    return PlaceKeyframeView(centre, g->zoom, g->Size(), cur, clientWidth, viewportSize, params.displayScale);
}

tKeyframePlacement PlaceKeyframeView(const tVector2& centre, extended zoom, int32_t size, const tPathPoint& cur,
                                     extended clientWidth, const tVector2& viewportSize, extended displayScale)
{
    tKeyframePlacement placement;
    placement.scale = (clientWidth / 1024) * (1.1L * displayScale) * (1024.0L / size) * (cur.scale / zoom);
    const tVector2 offset{centre.x - cur.x, centre.y - cur.y};
    placement.position = (offset * ((clientWidth / 900 * 1024) * cur.scale)).Rotated(cur.angle) + viewportSize * 0.5L;
    placement.angle = cur.angle;
    return placement;
}

tVector2 tPathBase::PlaneCentre(const tPathPoint& view) const
{
    return deepDive ? deepDive->Approximately({view.x, view.y}) : tVector2{view.x, view.y};
}

std::optional<tTilt> tPathBase::TiltAngles(int32_t mode, extended t)
{
    switch (mode) {
    case 0:
        return tTilt{0, 0};
    case 1:
        return tTilt{15 * std::sin(t / 5), 2 * std::sin((t + 2.012L) / 4)};
    case 2:
        return tTilt{2 * std::sin((t + 2.012L) / 4), 15 * std::sin(t / 5)};
    case 3:
        return tTilt{15 * std::sin(t / 6), 15 * std::sin((t + 2.012L) / 5)};
    case 4:
        return tTilt{15 * std::sin(t / 12), 15 * std::sin((t + 2.012L) / 9)};
    default:
        return std::nullopt;
    }
}
