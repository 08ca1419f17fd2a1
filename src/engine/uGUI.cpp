#include "uGUI.h"

#include "uAssert.h"
#include "uLog.h"
#include "uParticle.h"
#include "uTimer.h"
#include "uUniverse.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "uOpenGL.h"
#include "uPageGLhw.h"
#include "uViewPort.h"

#include <GL/gl.h>

// ---------------------------------------------------------------------------
// tGuiInterface

tGuiInterface::tGuiInterface(tGuiSystem& system, std::string name) : tNamedClass(std::move(name))
{
    system.Register(this);
    MakeScene(Name(), system.GL());
}

tGuiInterface::tGuiInterface(std::string name, std::string sceneName, tOpenGLInterface* gl)
    : tNamedClass(std::move(name))
{
    MakeScene(sceneName, gl);
}

void tGuiInterface::MakeScene(const std::string& sceneName, tOpenGLInterface* gl)
{
    scene_ = std::make_unique<tUniverse>(sceneName, gl);
    // Marks the scene's origin beneath every other layer.
    anchor_ = new tParticle({0, 0}, scene_->BackLayer(), scene_.get(), {0, 0}); // owned by the scene
}

tGuiInterface::~tGuiInterface()
{
    scene_.reset();
    if (system_)
        system_->Unregister(this);
}

void tGuiInterface::Advance(double dt)
{
    if (!scene_)
        return;
    if (OnAdvance)
        OnAdvance(dt);
    scene_->Advance(dt);
    scene_->Sweep();
}

void tGuiInterface::Draw()
{
    if (!scene_)
        return;
    if (!complexMode) {
        scene_->Draw();
        return;
    }
    tViewPortGL* viewport = scene_->Viewport();
    if (!viewport->renderTexture) {
        LogWarning(3, "Complex mode not supported on this gui interface");
        return;
    }
    scene_->Draw();
    viewport->CaptureToTexture();
}

// ---------------------------------------------------------------------------
// tGuiSystem

tGuiSystem::tGuiSystem(tOpenGLInterface* gl)
    : tGuiInterface("GUI System", "Unnamed Universe", gl), gl_(gl), transition_(std::make_unique<tBasicTransition>(gl))
{
    state = kActive;
    if (tTimer* global = GlobalTimer()) {
        timerParent_ = global;
        systemTimer_ = global->NewChild("GUI-SYSTEM:");
    } else {
        ownTimers_ = std::make_unique<tTimer>("GUI-SYSTEM:");
        systemTimer_ = ownTimers_.get();
    }
    drawTimer_ = systemTimer_->NewChild("GUI-Draw");
    advanceTimer_ = systemTimer_->NewChild("GUI-Advance");
    displayTimer_ = systemTimer_->NewChild("GUI-Display");
    windowsTimer_ = systemTimer_->NewChild("GUI-Windows");
}

tGuiSystem::~tGuiSystem()
{
    // The transition first: it frees its "RemoveMe" interfaces, which
    // unregister from this still complete system.
    transition_.reset();
    for (tGuiInterface* gui : interfaces_)
        gui->system_ = nullptr;
    interfaces_.clear();
    if (timerParent_ && timerParent_ == GlobalTimer())
        timerParent_->DeleteChild(systemTimer_);
}

void tGuiSystem::Register(tGuiInterface* gui)
{
    Assert(gui != nullptr, "uGUI", 1001);
    if (IndexOf(gui) < 0)
        interfaces_.push_back(gui);
    gui->system_ = this;
}

void tGuiSystem::Unregister(tGuiInterface* gui)
{
    auto it = std::find(interfaces_.begin(), interfaces_.end(), gui);
    if (it != interfaces_.end())
        interfaces_.erase(it);
    if (gui && gui->system_ == this)
        gui->system_ = nullptr;
    // An active transition must not keep a pointer to an interface that goes.
    if (transition_)
        transition_->Forget(gui);
}

tGuiInterface* tGuiSystem::Interface(int i) const
{
    return i >= 0 && i < Count() ? interfaces_[static_cast<size_t>(i)] : nullptr;
}

int tGuiSystem::IndexOf(const tGuiInterface* gui) const
{
    auto it = std::find(interfaces_.begin(), interfaces_.end(), gui);
    return it == interfaces_.end() ? -1 : static_cast<int>(it - interfaces_.begin());
}

void tGuiSystem::Draw()
{
    drawTimer_->Start();
    for (int i = 0; i < Count(); ++i) {
        tGuiInterface* gui = interfaces_[static_cast<size_t>(i)];
        if (gui->state == kActive || gui->state == kShown)
            gui->Draw();
    }
    drawTimer_->Stop();
}

void tGuiSystem::Advance(double dt)
{
    advanceTimer_->Start();
    if (!(dt >= 0)) { // negative or not a number
        advanceTimer_->Stop();
        return;
    }
    // By index: OnAdvance hooks may register further interfaces.
    for (int i = 0; i < Count(); ++i) {
        tGuiInterface* gui = interfaces_[static_cast<size_t>(i)];
        if (gui->state == kActive)
            gui->Advance(dt);
    }
    if (transition_->active)
        transition_->Advance(dt);
    advanceTimer_->Stop();
}

void tGuiSystem::Display()
{
    displayTimer_->Start();
    bool complex = false;
    for (tGuiInterface* gui : interfaces_)
        if ((gui->state == kActive || gui->state == kShown) && gui->complexMode)
            complex = true;
    tViewPortGL* viewport = Scene()->Viewport();
    viewport->BeginFrame();
    if (complex) {
        if (gl_)
            gl_->ClearBlack();
        if (transition_->active) {
            transition_->Render();
        } else {
            for (tGuiInterface* gui : interfaces_)
                if ((gui->state == kActive || gui->state == kShown) && gui->Scene()->Viewport()->renderTexture)
                    gui->Scene()->Viewport()->ShowRenderTexture();
        }
    }
    viewport->Present();
    displayTimer_->Stop();
}

// ---------------------------------------------------------------------------
// tBasicTransition

tBasicTransition::~tBasicTransition()
{
    tGuiInterface* f = from;
    tGuiInterface* t = to;
    from = to = nullptr;
    if (f && f->Name() == kRemoveMe)
        delete f;
    if (t && t != f && t->Name() == kRemoveMe)
        delete t;
}

void tBasicTransition::Forget(const tGuiInterface* gui)
{
    if (from == gui)
        from = nullptr;
    if (to == gui)
        to = nullptr;
}

void tBasicTransition::Advance(double dt)
{
    elapsed += dt;
    if (elapsed >= duration)
        Finish();
}

double tBasicTransition::Progress() const
{
    const double p = duration > 0 ? elapsed / duration : 1.0;
    return reverse ? 1 - p : p;
}

void tBasicTransition::Finish()
{
    for (tGuiInterface* gui : {from, to}) {
        if (!gui || !gui->complexMode)
            continue;
        gui->complexMode = false;
        gui->Scene()->Viewport()->DisableRenderTexture();
    }
    if (from)
        from->state = tGuiInterface::kInactive;
    tGuiInterface* f = from;
    tGuiInterface* t = to;
    if (f && f->Name() == kRemoveMe) {
        Forget(f);
        delete f;
    }
    if (t && t != f && t->Name() == kRemoveMe) {
        Forget(t);
        delete t;
    }
    active = false;
}

namespace {

/// An interface's captured frame and how it is placed on the screen. Render
/// textures hold the frame bottom-up, so every draw flips it (ScaleY -1).
struct tCapture {
    tPageGLhw* page = nullptr;
    tViewPortGL* viewport = nullptr;
    int32_t width = 0;  // the viewport's size
    int32_t height = 0;
    tRect source;       // the whole viewport
    tVector2 position;  // where the flipped picture's pivot goes

    explicit tCapture(tGuiInterface* gui)
    {
        if (!gui)
            return;
        viewport = gui->Scene()->Viewport();
        page = viewport->renderTexture.get();
        width = viewport->IntWidth();
        height = viewport->IntHeight();
        source = {0, 0, width - 1, height - 1};
        position = {0, static_cast<extended>(height - 2)};
    }
    void Draw(const tDrawParams& params, tVector2 shift = {}) const { page->DrawEx(source, position + shift, params); }
    /// Texture coordinates of the picture's right and top edges.
    tVector2 TexExtent() const
    {
        const tGltexture* t = page->Texture();
        if (!t || t->Width() <= 0 || t->Height() <= 0)
            return {};
        return {static_cast<extended>(source.right) / t->Width(), static_cast<extended>(source.bottom) / t->Height()};
    }
};

tDrawParams FlippedParams()
{
    tDrawParams params = InitDrawParams();
    params.ScaleY = -1;
    params.Pivot = {0, 0};
    return params;
}

tDrawParams Opaque(tDrawParams params)
{
    params.BlendMode = 0;
    params.Alpha = 1;
    return params;
}

tDrawParams Faded(tDrawParams params, double alpha)
{
    params.BlendMode = 3;
    params.Alpha = std::clamp(alpha, 0.0, 1.0);
    return params;
}

/// The picture as a 3-D quad: its top-left at (0, 0) of the quad's frame,
/// texture rows bottom-up.
std::vector<tVector2> QuadTexCoords(const tCapture& c)
{
    const tVector2 e = c.TexExtent();
    return {{0, e.y}, {e.x, e.y}, {e.x, 0}, {0, 0}};
}

} // namespace

void tBasicTransition::Render()
{
    if (!active)
        return;
    Assert(from != nullptr, "uGUI", 317);
    Assert(duration > 0, "uGUI", 318);
    Assert(elapsed >= 0, "uGUI", 319);

    const tCapture src(from);
    const tCapture dst(to);
    if (!src.page || (to && !dst.page))
        return;
    const double p = Progress();
    const tDrawParams flipped = FlippedParams();

    switch (kind) {
    case kCrossFade:
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        if (dst.page)
            dst.Draw(Opaque(flipped));
        src.Draw(Faded(flipped, 1 - p));
        break;
    case kSlide:
        src.Draw(flipped, {src.width * p, 0});
        if (dst.page)
            dst.Draw(flipped, {dst.width * (1 - p), 0});
        break;
    case kPush:
        src.Draw(flipped, {src.width * p, 0});
        if (dst.page)
            dst.Draw(flipped, {dst.width * (p - 1), 0});
        break;
    case kZoom:
    case kZoomTurn: {
        // About the picture's centre: (400, 300) on the 800 x 600 screen the
        // constants were made for, and the same place on any other size.
        const double sc = 800 - 100 * p;
        const tVector2 centre{static_cast<extended>(src.source.right / 2), static_cast<extended>(src.source.bottom / 2)};
        tDrawParams zoom = flipped;
        zoom.Pivot = centre;
        tDrawParams fromParams = Faded(zoom, 1 - p);
        fromParams.ScaleX = sc / 800;
        fromParams.ScaleY = -sc / 800;
        tDrawParams toParams = zoom;
        toParams.ScaleX = sc / 700;
        toParams.ScaleY = -sc / 700;
        if (kind == kZoom) {
            // The incoming picture goes underneath: drawn over the outgoing
            // one it would hide it for the whole transition.
            if (dst.page)
                dst.page->DrawEx(dst.source, centre, Opaque(toParams));
            src.page->DrawEx(src.source, centre, fromParams);
        } else {
            fromParams.Angle = 15 * p;
            src.page->DrawEx(src.source, centre, fromParams);
            if (dst.page) {
                toParams = Faded(toParams, p);
                toParams.Angle = 15 * p - 15;
                dst.page->DrawEx(dst.source, centre, toParams);
            }
        }
        break;
    }
    case kPageTurn: {
        // The outgoing picture turns away about its left edge like a page,
        // uncovering the incoming one.
        if (dst.page)
            dst.Draw(Opaque(flipped));
        const extended w = src.source.right;
        const extended h = src.source.bottom;
        src.page->DrawPolygon3D({0, h / 2, 0}, {0, -90 * p, 0}, {{0, -h / 2, 0}, {w, -h / 2, 0}, {w, h / 2, 0}, {0, h / 2, 0}},
                                QuadTexCoords(src), {}, Opaque(InitDrawParams()));
        break;
    }
    case kFocus:
        if (dst.page)
            RenderFocus(p);
        break;
    case kFloor:
        RenderFloor(p);
        break;
    default:
        break; // kinds 0, 2, 3 and above 10 draw nothing
    }
}

void tBasicTransition::RenderFocus(double p)
{
    // A separable blur whose radius shrinks to nothing: horizontally into the
    // incoming interface's render texture, then vertically onto the screen.
    const tCapture dst(to);
    constexpr int kTaps = 8;
    const double r = 8 - 8 * p;
    const int reach = static_cast<int>(std::trunc(r));
    double weights[2 * kTaps + 1] = {};
    double sum = 0;
    for (int i = -kTaps; i <= kTaps; ++i) {
        double w = 0;
        if (i == 0)
            w = 1; // also at radius 0, where i / r is undefined
        else if (std::abs(i) <= reach)
            w = std::fabs(std::cos(i / r * std::numbers::pi / 2));
        weights[i + kTaps] = w;
        sum += w;
    }
    if (sum > 0)
        for (double& w : weights)
            w /= sum;
    tDrawParams additive = FlippedParams();
    additive.BlendMode = 4;
    for (int i = -kTaps; i <= kTaps; ++i)
        if (weights[i + kTaps] > 0) {
            additive.Alpha = weights[i + kTaps];
            dst.Draw(additive, {static_cast<extended>(i), 0});
        }
    dst.viewport->CaptureToTexture();
    if (gl_)
        gl_->ClearBlack();
    for (int i = -kTaps; i <= kTaps; ++i)
        if (weights[i + kTaps] > 0) {
            additive.Alpha = weights[i + kTaps];
            dst.Draw(additive, {0, static_cast<extended>(i)});
        }
}

void tBasicTransition::RenderFloor(double p)
{
    // The outgoing picture stands on a floor that runs into the distance,
    // with the background page far behind; the camera pulls back, the
    // picture tilts away, the scene darkens and the incoming picture fades
    // in over it.
    tOpenGLInterface* gl = gl_;
    const tCapture src(from);
    const tCapture dst(to);
    const extended w = src.source.right;
    const extended h = src.source.bottom;
    const double q = std::max(0.0, (p - 0.1) / 0.9);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslated(0, 0, 2000 * q * q);
    if (gl) {
        // From in front of the picture (never behind the eye, 1000 units
        // away) to the far distance, fading to black.
        const tPackedColor black = PackRGBA(0, 0, 0, 255);
        gl->FillPolygon3D({w / 2, h, 0}, {PackRGBA(122, 142, 152), PackRGBA(121, 142, 122), black, black},
                          {{-10000, 0, -900}, {10000, 0, -900}, {10000, 0, 10000}, {-10000, 0, 10000}});
    }
    if (background) {
        if (tPageGLhw* page = background->BackgroundPage(); page && page->Texture() && page->Texture()->Width() > 0) {
            const extended u = static_cast<extended>(page->Width()) / page->Texture()->Width();
            const extended v = static_cast<extended>(page->Height()) / page->Texture()->Height();
            page->DrawPolygon3D({w / 2, h - 1000, 2000}, {0, 0, 0},
                                {{-1000, -1000, 0}, {1000, -1000, 0}, {1000, 1000, 0}, {-1000, 1000, 0}},
                                {{0, 0}, {u, 0}, {u, v}, {0, v}}, {}, Opaque(InitDrawParams()));
        }
    }
    // The picture, its bottom edge on the floor, tilted back about that edge.
    const std::vector<tVector2> tex = QuadTexCoords(src);
    src.page->DrawPolygon3D({w / 2, h, 0}, {-15 * q, 0, 0}, {{-w / 2, -h, 0}, {w / 2, -h, 0}, {w / 2, 0, 0}, {-w / 2, 0, 0}},
                            tex, {}, Opaque(InitDrawParams()));
    // Its reflection in the floor, fading out away from the picture.
    tDrawParams blended = InitDrawParams();
    blended.BlendMode = 1;
    const tPackedColor near = PackRGBA(255, 255, 255, 128);
    const tPackedColor far = PackRGBA(255, 255, 255, 0);
    src.page->DrawPolygon3D({w / 2, h, 0}, {15 * q, 0, 0}, {{-w / 2, 0, 0}, {w / 2, 0, 0}, {w / 2, h, 0}, {-w / 2, h, 0}},
                            {tex[3], tex[2], tex[1], tex[0]}, {near, near, far, far}, blended);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();

    if (gl) {
        const double dark = std::clamp((p - 0.5) * 2, 0.0, 1.0);
        gl->drawColor = PackRGBA(0, 0, 0, static_cast<uint8_t>(Round(dark * 255)));
        gl->FillRect({0, 0}, {w, h});
    }
    if (dst.page)
        dst.Draw(Faded(FlippedParams(), (p - 0.25) * 4));
}
