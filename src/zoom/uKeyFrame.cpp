#include "uKeyFrame.h"

#include "uAssert.h"
#include "uClock.h"
#include "uFormat.h"
#include "uFractal.h"
#include "uGlobalSettings.h"
#include "uLog.h"
#include "uPage.h"
#include "uPathBase.h"

tFractalKeyFrame::tFractalKeyFrame(tPathBase* path, int32_t index) : path_(path), index_(index)
{
    Assert(path != nullptr, "uPath", 374);
    Assert(index >= 0 && index < tPathBase::kMaxKeyframes, "uPath", 375);
}

tFractalKeyFrame::~tFractalKeyFrame() { ReleaseRender(); }

tPage* tFractalKeyFrame::Page() const { return generator_ ? generator_->Page() : nullptr; }

float tFractalKeyFrame::Progress() const { return generator_ ? static_cast<float>(generator_->Progress()) : 0.0f; }

bool tFractalKeyFrame::StartRender()
{
    Assert(path_ != nullptr, "uPath", 398);
    Assert(path_->ScratchPool() != nullptr, "uPath", 399);
    ReleaseRender();

    tPage* page = path_->ScratchPool()->AcquirePage();
    if (!page)
        return false;
    const tPathRenderParams& params = path_->params;
    if (page->Width() != params.resolution || page->Height() != params.resolution) {
        LogNote(2, "Warning buffer / fractal size miss match... resizing to compensate");
        page->SetSize(params.resolution, params.resolution, pfRGBA, false);
    }

    generator_ = std::make_unique<tFractalMandelBrot>(page);
    generator_->centreRe = static_cast<double>(view.x);
    generator_->centreIm = static_cast<double>(view.y);
    generator_->zoom = static_cast<double>(view.scale);
    generator_->Restart();
    generator_->discMode = true;
    generator_->colorMap = params.colorMap;
    generator_->antiAliasing = params.aa;
    generator_->SetMaxIterations(params.iterations);
    generator_->SetSize(params.resolution);
    generator_->precision = params.precision;
    generator_->SelectBackEnd();

    page->Clear(tFloatColor{0, 0, 0, 0});
    renderStart = HighResTime();
    renderEnd = 0;
    renderDuration = 0;
    return true;
}

int64_t tFractalKeyFrame::RenderStep(int64_t budget)
{
    if (Progress() == 0.0f && !StartRender())
        return 0;
    const int64_t result = generator_->RenderStep(budget);
    if (Complete() && renderStart > renderEnd) {
        renderEnd = HighResTime();
        renderDuration = renderEnd - renderStart;
        LogNote(2, "Keyframe rendered in " + Format3(renderDuration));
        if (GlobalSettings && GlobalSettings->writeKeyFramesToDisk)
            generator_->Page()->SaveToBitmapFile("Fractal " + FloatToStr(view.x) + "-" +
                                                 IntToStr(path_->RenderingIndex()) + ".bmp");
        // Drawn scaled, the texture filter blends the disc's rim with the
        // pixels beyond it; in black those would leave a dark ring.
        generator_->Page()->BleedIntoTransparentEdges();
    }
    return result;
}

void tFractalKeyFrame::ReleaseRender()
{
    if (!generator_)
        return;
    if (tPage* page = generator_->Page())
        path_->ScratchPool()->ReleasePage(page);
    generator_.reset();
}
