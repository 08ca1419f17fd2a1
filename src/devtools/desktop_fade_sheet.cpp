// desktop-fade-sheet OUT.png: a contact sheet of the two desktop transitions,
// so that a person can see them without running the screen saver. A made-up
// desktop (wallpaper, two windows, a task bar) stands in for the capture; the
// fade-out runs on a fake clock at 30 frames per second while pretend
// keyframes complete after 8.5 s, then the fade-in runs; eight frames (six of
// the fade-out, two of the fade-in) are written as labelled thumbnails. The
// logo comes from gfxdata.dat beside this program. Needs a display
// (tools/xvfb-exec gives one).
#include "uCoreGraphics.h"
#include "uDesktopTransitions.h"
#include "uFormat.h"
#include "uGLSurface.h"
#include "uOpenGL.h"
#include "uPage.h"
#include "uPlatform.h"
#include "uSprite.h"
#include "uToolMain.h"
#include "uViewPort.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 400;
constexpr int kColumns = 4;
constexpr int kThumbWidth = kWidth / 2;
constexpr int kThumbHeight = kHeight / 2;
constexpr int kLabelHeight = 20;
constexpr int kGap = 6;
constexpr double kFrameTime = 1.0 / 30;
constexpr double kKeyframesReady = 8.5;

/// The made-up desktop: a violet-to-teal wallpaper with faint diagonal
/// stripes, two windows with title bars, a task bar and a large word.
std::unique_ptr<tPage> MadeUpDesktop()
{
    auto page = std::make_unique<tPage>();
    page->SetSize(kWidth, kHeight, pfRGBA);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool stripe = (x + y) / 24 % 2 == 0;
            const int r = 90 - x * 60 / kWidth + (stripe ? 8 : 0);
            const int g = 40 + y * 110 / kHeight + (stripe ? 8 : 0);
            const int b = 150 + x * 60 / kWidth;
            page->SetPixel(x, y, PackRGBA(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)));
        }
    const auto window = [&](int left, int top, int right, int bottom, tPackedColor title) {
        page->FillRect(left + 4, top + 4, PackedToFloat(PackRGBA(10, 10, 30)), bottom + 4, right + 4);
        page->FillRect(left, top, PackedToFloat(PackRGBA(245, 245, 240)), bottom, right);
        page->FillRect(left, top, PackedToFloat(title), top + 18, right);
        for (int line = top + 30; line < bottom - 10; line += 14)
            page->FillRect(left + 12, line, PackedToFloat(PackRGBA(150, 150, 160)), line + 5,
                           left + 12 + (right - left - 24) * (3 + line % 5) / 8);
    };
    window(40, 40, 300, 230, PackRGBA(200, 60, 50));
    window(250, 120, 590, 330, PackRGBA(40, 140, 80));
    page->FillRect(0, kHeight - 28, PackedToFloat(PackRGBA(30, 30, 40)), kHeight - 1, kWidth - 1);
    page->FillRect(6, kHeight - 23, PackedToFloat(PackRGBA(230, 180, 40)), kHeight - 6, 70);
    tFont font;
    font.family = "DejaVu Sans";
    font.pixelSize = 56;
    font.bold = true;
    font.color = PackRGBA(255, 235, 90);
    page->DrawText(330, 250, font, "DESKTOP");
    return page;
}

struct tShot {
    std::string label;
    std::unique_ptr<tPage> picture = std::make_unique<tPage>();
};

/// Half-size copy of the frame just drawn.
void Thumbnail(tPage& out)
{
    tPage frame;
    ReadBackBuffer(kWidth, kHeight, frame);
    out.SetSize(kThumbWidth, kThumbHeight, pfRGBA);
    for (int y = 0; y < kThumbHeight; ++y)
        for (int x = 0; x < kThumbWidth; ++x) {
            int sum[3] = {};
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const tPackedColor c = frame.GetPixel(2 * x + dx, 2 * y + dy);
                    sum[0] += RedOf(c);
                    sum[1] += GreenOf(c);
                    sum[2] += BlueOf(c);
                }
            out.SetPixel(x, y,
                         PackRGBA(static_cast<uint8_t>(sum[0] / 4), static_cast<uint8_t>(sum[1] / 4),
                                  static_cast<uint8_t>(sum[2] / 4)));
        }
}

/// Takes a thumbnail of the first frame shown at or after each wanted time.
class tRecorder {
public:
    tRecorder(std::string name, std::vector<double> times) : name_(std::move(name)), times_(std::move(times)) {}

    void Shown(double t, std::vector<tShot>& shots)
    {
        if (next_ >= times_.size() || t + 1e-9 < times_[next_])
            return;
        shots.push_back({name_ + " " + FormatFixed(t, 2) + " s"});
        Thumbnail(*shots.back().picture);
        ++next_;
    }

private:
    std::string name_;
    std::vector<double> times_;
    size_t next_ = 0;
};

bool WriteSheet(const std::vector<tShot>& shots, const std::string& path)
{
    const int rows = (static_cast<int>(shots.size()) + kColumns - 1) / kColumns;
    tPage sheet;
    sheet.SetSize(kColumns * (kThumbWidth + kGap) + kGap, rows * (kThumbHeight + kLabelHeight + kGap) + kGap, pfRGBA);
    sheet.Clear(PackedToFloat(PackRGBA(48, 48, 52)));
    tFont font;
    font.family = "DejaVu Sans";
    font.pixelSize = 13;
    font.color = PackRGBA(235, 235, 235);
    for (size_t i = 0; i < shots.size(); ++i) {
        const int left = kGap + static_cast<int>(i % kColumns) * (kThumbWidth + kGap);
        const int top = kGap + static_cast<int>(i / kColumns) * (kThumbHeight + kLabelHeight + kGap);
        sheet.DrawText(left + 2, top + 2, font, shots[i].label);
        shots[i].picture->CopyToPageSlow({0, 0, kThumbWidth - 1, kThumbHeight - 1}, sheet, left, top + kLabelHeight);
    }
    return sheet.SaveToPngFile(path);
}

} // namespace

int main(int argc, char** argv)
{
    return PictureToolMain(argc, argv, "desktop-fade-sheet", [](const std::string& out) {
        tWindowHandle window = CreateTestWindow(kWidth, kHeight);
        std::unique_ptr<tOpenGLInterface> gl = tOpenGLInterface::Create(window);
        auto viewport = std::make_unique<tViewPortGL>(gl.get(), "mainGui");
        const std::unique_ptr<tPage> desktop = MadeUpDesktop();
        const std::unique_ptr<tSpritePage> graphics = LoadCoreGraphics(*gl, ExecutableFolder() + "gfxdata.dat");

        std::vector<tShot> shots;
        {
            // Frames as the runner draws them, kFrameTime apart (the first
            // after none); the keyframes are ready after kKeyframesReady.
            tDesktopFadeOut fadeOut(*gl, *viewport, *desktop, CoreGraphicsLogo(graphics.get()));
            tRecorder recorder("fade-out", {0, 1.5, 3.0, 4.5, 6.5, 9.0});
            double keyframeTime = 0;
            for (double now = 0, dt = 0; !fadeOut.Finished(); dt = kFrameTime, now += kFrameTime) {
                fadeOut.Draw();
                keyframeTime += dt;
                fadeOut.Advance(dt, static_cast<float>(std::min(keyframeTime / kKeyframesReady, 1.0)));
                recorder.Shown(now, shots);
            }
        }
        {
            tDesktopFadeIn fadeIn(*gl, *viewport, *desktop);
            tRecorder recorder("fade-in", {0.25, 0.6});
            bool complete = false;
            for (double now = 0, dt = 0; !complete; dt = kFrameTime, now += kFrameTime) {
                complete = fadeIn.Frame(dt);
                recorder.Shown(now, shots);
            }
        }

        if (!WriteSheet(shots, out))
            throw std::runtime_error("could not write " + out);
        std::printf("%zu frames written to %s\n", shots.size(), out.c_str());
    });
}
