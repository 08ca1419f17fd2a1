#pragma once
// The GUI system: the engine's frame driver.
//
//   - tGuiInterface:    one scene (tUniverse) with its state and OnAdvance hook
//   - tGuiSystem:       the registered interfaces; Draw, Advance and Display
//                       of a frame, each timed under the global timer
//   - tBasicTransition: a cross from one interface's picture to another's
//
// Ownership: the caller owns the GUI system and its interfaces, and frees the
// interfaces before the system (an interface unregisters itself; one still
// registered when the system goes is only detached). An interface is made
// for one system and draws with that system's OpenGL interface; several
// systems, each on its own OpenGL interface, may exist at once. An
// interface named "RemoveMe" that is given to a transition belongs to the
// transition, which frees it when it finishes.
#include "uColor.h"
#include "uMath.h"
#include "uNamedClass.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class tGuiSystem;
class tOpenGLInterface;
class tPageGLhw;
class tParticle;
class tTimer;
class tUniverse;

class tGuiInterface : public tNamedClass {
public:
    enum State : uint8_t { kInactive = 1, kActive = 2, kShown = 3 };

    /// Registers with the GUI system and makes the scene, named like the
    /// interface, on the system's OpenGL interface, with its anchor particle.
    tGuiInterface(tGuiSystem& system, std::string name);
    /// Frees the scene and unregisters from the system.
    ~tGuiInterface() override;
    tGuiInterface(const tGuiInterface&) = delete;
    tGuiInterface& operator=(const tGuiInterface&) = delete;

    /// State 2: advanced, drawn and displayed.
    void Activate() { state = kActive; }
    /// OnAdvance, then the scene's Advance and Sweep.
    virtual void Advance(double dt);
    /// The scene's Draw; in complex mode into the viewport's render texture.
    virtual void Draw();

    tUniverse* Scene() const { return scene_.get(); }
    tParticle* Anchor() const { return anchor_; }
    tGuiSystem* System() const { return system_; }

    bool complexMode = false;
    std::function<void(double dt)> OnAdvance;
    /// 1 inactive, 2 active, 3 drawn and displayed but not advanced.
    uint8_t state = kInactive;

protected:
    /// For the system itself, which joins no system.
    tGuiInterface(std::string name, std::string sceneName, tOpenGLInterface* gl);

private:
    friend class tGuiSystem;
    void MakeScene(const std::string& sceneName, tOpenGLInterface* gl);

    std::unique_ptr<tUniverse> scene_;
    tParticle* anchor_ = nullptr; // owned by the scene
    tGuiSystem* system_ = nullptr;
};

/// Supplies the picture behind the floor scene of transition kind 10.
class tTransitionBackground {
public:
    virtual ~tTransitionBackground() = default;
    virtual tPageGLhw* BackgroundPage() = 0;
};

class tBasicTransition {
public:
    enum Kind : uint8_t {
        kNone = 0,
        kCrossFade = 1,
        kSlide = 4,
        kPush = 5,
        kZoom = 6,
        kZoomTurn = 7,
        kPageTurn = 8,
        kFocus = 9,
        kFloor = 10,
    };
    static constexpr const char* kRemoveMe = "RemoveMe";

    /// A transition that draws with the interface (none draws only textures).
    explicit tBasicTransition(tOpenGLInterface* gl = nullptr) : gl_(gl) {}
    /// Frees interfaces named "RemoveMe" that it still holds.
    ~tBasicTransition();
    tBasicTransition(const tBasicTransition&) = delete;
    tBasicTransition& operator=(const tBasicTransition&) = delete;

    /// elapsed += dt; Finish once the duration is reached.
    void Advance(double dt);
    /// Ends complex mode on both interfaces, deactivates the from interface,
    /// frees those named "RemoveMe", and ends the transition.
    void Finish();
    /// Draws the effect for the current progress (only while active).
    void Render();
    /// Progress 0..1 (1..0 when reversed).
    double Progress() const;

    /// Forgets an interface that is being destroyed elsewhere.
    void Forget(const tGuiInterface* gui);

    bool active = false;
    uint8_t kind = kNone;
    tTransitionBackground* background = nullptr; // not owned
    tGuiInterface* from = nullptr;
    tGuiInterface* to = nullptr;
    double duration = 0;
    bool reverse = false;
    double elapsed = 0;
    tPackedColor color = PackRGBA(0, 0, 0, 255);

private:
    void RenderFocus(double p);
    void RenderFloor(double p);

    tOpenGLInterface* gl_;
};

class tGuiSystem : public tGuiInterface {
public:
    /// A system drawing with the interface (none: scenes that are only
    /// moved, in tests of their logic); its timers hang under the global
    /// timer.
    explicit tGuiSystem(tOpenGLInterface* gl);
    ~tGuiSystem() override;

    /// Appends the interface unless listed and sets its system. Asserts one is given.
    void Register(tGuiInterface* gui);
    void Unregister(tGuiInterface* gui);
    int Count() const { return static_cast<int>(interfaces_.size()); }
    /// Interface i, nullptr when out of range.
    tGuiInterface* Interface(int i) const;
    /// Position in the list, -1 when not registered.
    int IndexOf(const tGuiInterface* gui) const;

    /// Draws every interface in state 2 or 3, in registration order.
    void Draw() override;
    /// Advances every active interface and the transition; a negative or
    /// undefined dt advances nothing.
    void Advance(double dt) override;
    /// Composes the screen (in complex mode) and presents the frame.
    void Display();

    tBasicTransition& Transition() { return *transition_; }

    tTimer* SystemTimer() const { return systemTimer_; }
    tTimer* DrawTimer() const { return drawTimer_; }
    tTimer* AdvanceTimer() const { return advanceTimer_; }
    tTimer* DisplayTimer() const { return displayTimer_; }
    tTimer* WindowsTimer() const { return windowsTimer_; }
    tOpenGLInterface* GL() const { return gl_; }

    extended speedFactor = 1.0;

private:
    tOpenGLInterface* gl_;
    std::unique_ptr<tBasicTransition> transition_;
    std::vector<tGuiInterface*> interfaces_;
    std::unique_ptr<tTimer> ownTimers_; // only when no global timer exists
    tTimer* timerParent_ = nullptr;
    tTimer* systemTimer_ = nullptr;
    tTimer* drawTimer_ = nullptr;
    tTimer* advanceTimer_ = nullptr;
    tTimer* displayTimer_ = nullptr;
    tTimer* windowsTimer_ = nullptr;
};
