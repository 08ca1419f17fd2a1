#include "uGUI.h"

#include "uAssert.h"
#include "uLog.h"
#include "uParticle.h"
#include "uTimer.h"
#include "uUniverse.h"

#include <algorithm>
#include <cmath>

#define QX_HAVE_GL __has_include("uViewPort.h")
#if QX_HAVE_GL
#include "uViewPort.h"
#endif

namespace {
tGuiSystem* gGuiSystem = nullptr;
} // namespace

tGuiSystem* GuiSystem() { return gGuiSystem; }

// ---------------------------------------------------------------------------
// tGuiInterface

tGuiInterface::tGuiInterface(std::string name) : tNamedClass(std::move(name))
{
    Assert(gGuiSystem != nullptr, "uGUI", 824);
    gGuiSystem->Register(this);
    MakeScene(Name());
}

tGuiInterface::tGuiInterface(std::string name, std::string sceneName) : tNamedClass(std::move(name))
{
    MakeScene(sceneName);
}

void tGuiInterface::MakeScene(const std::string& sceneName)
{
    scene_ = std::make_unique<tUniverse>(sceneName);
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
#if QX_HAVE_GL
    tViewPortGL* viewport = scene_->Viewport();
    if (!viewport || !viewport->RenderTexture()) {
        LogWarning(3, "Complex mode not supported on this gui interface");
        return;
    }
    scene_->Draw();
    viewport->CaptureToTexture();
#else
    LogWarning(3, "Complex mode not supported on this gui interface");
#endif
}

// ---------------------------------------------------------------------------
// tGuiSystem

tGuiSystem::tGuiSystem() : tGuiInterface("GUI System", "Unnamed Universe"), transition_(std::make_unique<tBasicTransition>())
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
    gGuiSystem = this;
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
    if (gGuiSystem == this)
        gGuiSystem = nullptr;
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
#if QX_HAVE_GL
    bool complex = false;
    for (tGuiInterface* gui : interfaces_)
        if ((gui->state == kActive || gui->state == kShown) && gui->complexMode)
            complex = true;
    tViewPortGL* viewport = Scene()->Viewport();
    viewport->BeginFrame();
    if (complex) {
        if (tOpenGLInterface* gl = OpenGLInterface())
            gl->Clear(PackRGBA(0, 0, 0, 255));
        if (transition_->active) {
            transition_->Render();
        } else {
            for (tGuiInterface* gui : interfaces_)
                if ((gui->state == kActive || gui->state == kShown) && gui->Scene()->Viewport()->RenderTexture())
                    gui->Scene()->Viewport()->ShowRenderTexture();
        }
    }
    viewport->Present();
#endif
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
#if QX_HAVE_GL
        if (tViewPortGL* viewport = gui->Scene()->Viewport())
            viewport->DisableRenderTexture();
#endif
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

void tBasicTransition::Render()
{
    if (!active)
        return;
    Assert(from != nullptr, "uGUI", 317);
    Assert(duration > 0, "uGUI", 318);
    Assert(elapsed >= 0, "uGUI", 319);
}
