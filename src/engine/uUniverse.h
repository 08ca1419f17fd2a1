#pragma once
// The universe: a 2-D scene of elements in named layers, drawn back to front
// through its viewport camera.
//
//   - scene switches: verbose logging, debug overlays, motion blur
//   - tElementGroup:  a list of elements that frees them when cleared
//   - tElementLayer:  a group with a depth and a processing mode
//   - tUniverse:      the layers, the viewport, Advance / Sweep / Draw
//   - tElement:       a moving point; tParticle (uParticle.h) and tSolid
//                     (uSolid.h) build on it. The universe drives every
//                     element through tElement's virtual methods alone
//                     (drawing, overlays, the collision step), so it knows
//                     neither of them.
//
// Ownership: the universe owns its layers and its elements. An element joins
// its universe and its layer when it is constructed (`new tParticle(..., &u)`;
// the pointer the caller keeps is a handle, not an owner). It is freed by the
// Sweep after it dies (state 2), by Clear of a group that holds it, or when
// the universe is destroyed. Deleting an element directly is allowed: its
// destructor takes it out of every group that lists it, so no group is left
// with a dangling entry.
#include "uColor.h"
#include "uLog.h"
#include "uMath.h"
#include "uNamedClass.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class tElement;
class tElementLayer;
class tOpenGLInterface;
class tUniverse;
class tViewPortGL;

// ---------------------------------------------------------------------------
// Scene switches. All are off by default; they are process-wide debugging aids.

/// Per-element notes (movements, frame numbers, layer passes, clears). Tested
/// before any text is built, so the notes cost nothing while it is off.
extern bool SceneVerboseLogging;
/// Debug overlays drawn over a universe: velocity lines, solid outlines and
/// edge normals.
extern bool SceneDrawVelocities;
extern bool SceneDrawOutlines;
extern bool SceneDrawNormals;
/// Motion blur for particles whose own flag is set too.
extern bool SceneMotionBlur;
/// The shutter time of the motion blur, seconds.
extern double SceneBlurTime;

/// Number of verbose scene texts built so far (a diagnostic counter that
/// shows the switch keeps the notes from costing anything).
uint64_t SceneVerboseTextsBuilt();

namespace scene_detail {
extern uint64_t verboseTexts;
}

/// Writes the note that `build` makes, only while verbose scene logging is on;
/// otherwise `build` is never called.
template <class TBuild>
inline void SceneNote(uint8_t level, TBuild&& build)
{
    if (!SceneVerboseLogging)
        return;
    ++scene_detail::verboseTexts;
    LogNote(level, build());
}

/// The text in double-quote characters.
std::string Quoted(const std::string& text);

// ---------------------------------------------------------------------------

class tElementGroup : public tNamedClass {
public:
    explicit tElementGroup(std::string name);
    /// Frees the elements the group still holds.
    ~tElementGroup() override;
    tElementGroup(const tElementGroup&) = delete;
    tElementGroup& operator=(const tElementGroup&) = delete;

    /// Appends the element unless it is already listed (then a warning).
    void Add(tElement* element);
    void Remove(tElement* element);
    bool Contains(const tElement* element) const;
    int Count() const { return static_cast<int>(elements_.size()); }
    /// Element i, nullptr when out of range.
    tElement* Element(int i) const;

    /// Frees every element of the group (each leaves all its groups).
    virtual void Clear();
    /// Draws every element of the group in list order onto the viewport,
    /// when visible.
    void DrawAll(tViewPortGL& viewport);
    /// New elements (state 3) become live; dead ones (state 2) are freed.
    void Sweep();

    bool visible = true;

protected:
    void FreeAll();

private:
    friend class tElement;
    std::vector<tElement*> elements_;
};

class tElementLayer : public tElementGroup {
public:
    enum : int32_t { kMoveAll = 0, kMovePseudo = 1, kMoveSolid = 2 };

    /// Makes the layer and hands it to the universe, which owns it from then on.
    tElementLayer(tUniverse* universe, std::string name, double depth);

    double Depth() const { return depth_; }
    /// Changes the depth and re-sorts the universe's layers.
    void SetDepth(double depth);
    tUniverse* Universe() const { return universe_; }

    /// 0: every element moves by its velocity. 1 and 2: solids that take part
    /// in collisions move by the collision step (against solids in mode-2
    /// layers), the rest by their velocity. Other values: nothing moves.
    int32_t processingMode = kMoveSolid;
    bool userFlag = false;

private:
    tUniverse* universe_;
    double depth_;
};

class tUniverse : public tElementGroup {
public:
    /// Seven standard layers, a viewport named name + " Viewport" on the
    /// interface. Without an interface the scene moves but is never drawn
    /// (tests of its logic).
    explicit tUniverse(std::string name, tOpenGLInterface* gl = nullptr);
    ~tUniverse() override;

    /// Frees every element, then any element still found in a layer (which
    /// is then reported, since it was not linked to the universe).
    void Clear() override;

    /// Takes ownership of the layer and keeps the layers sorted by depth,
    /// largest first. Asserts a layer is given.
    void AddLayer(tElementLayer* layer);
    int LayerCount() const { return static_cast<int>(layers_.size()); }
    /// Layer i in drawing order, nullptr when out of range.
    tElementLayer* Layer(int i) const;
    /// The first layer with this name, nullptr when there is none.
    tElementLayer* FindLayer(const std::string& name) const;
    /// Sorts the layers again after a depth change.
    void SortLayers();

    tElementLayer* GuiLayer() const { return guiLayer_; }
    tElementLayer* MaskLayer() const { return maskLayer_; }
    tElementLayer* ForeLayer() const { return foreLayer_; }
    tElementLayer* MainLayer() const { return mainLayer_; }
    tElementLayer* BackLayer() const { return backLayer_; }
    tElementLayer* PseuLayer() const { return pseuLayer_; }
    tElementLayer* PartLayer() const { return partLayer_; }
    tElementLayer* DefaultLayer() const { return mainLayer_; }

    /// Lists the element in the universe and in its layer (the default layer
    /// when it has none).
    void AddElement(tElement* element);
    void RemoveElement(tElement* element);

    /// Moves the elements (three passes by processing mode), then updates
    /// every element. Dead elements stay until the next Sweep.
    void Advance(double dt);
    /// Begins a frame on the viewport (its interface's context current, its
    /// projection and camera), clears when asked, draws the layers deepest
    /// first onto it, then the debug overlays that are switched on.
    void Draw();

    tViewPortGL* Viewport() const { return viewport_.get(); }

    int32_t FrameCount() const { return frameCount_; }
    double TotalTime() const { return totalTime_; }

    uint32_t frameWord = 0;
    bool clearBeforeDrawing = false;
    tPackedColor clearColor = PackRGBA(0, 0, 0, 255);

private:
    void MoveLayer(tElementLayer& layer, double dt);

    std::vector<std::unique_ptr<tElementLayer>> layers_;
    tElementLayer* guiLayer_ = nullptr;
    tElementLayer* maskLayer_ = nullptr;
    tElementLayer* foreLayer_ = nullptr;
    tElementLayer* mainLayer_ = nullptr;
    tElementLayer* backLayer_ = nullptr;
    tElementLayer* pseuLayer_ = nullptr;
    tElementLayer* partLayer_ = nullptr;
    std::unique_ptr<tViewPortGL> viewport_;
    int32_t frameCount_ = 0;
    double totalTime_ = 0;
};

class tElement {
public:
    enum State : int32_t { kLive = 1, kDead = 2, kNew = 3, kDestroying = 4 };
    static constexpr size_t kMaxNameLength = 11;

    /// Joins the universe and the layer (the universe's default layer when
    /// none is given) in state 3, with the next id. Asserts a universe.
    tElement(tVector2 position, tElementLayer* layer, tUniverse* universe, tVector2 velocity = {});
    /// Leaves every group that lists it.
    virtual ~tElement();
    tElement(const tElement&) = delete;
    tElement& operator=(const tElement&) = delete;

    /// Only when live: position += velocity * dt.
    virtual void Move(double dt);
    virtual void Update(double dt);
    /// One line for debugging: the name, id, position and velocity.
    virtual std::string Describe() const;

    /// Leaves the universe and joins it again in the given layer. Asserts a layer.
    void MoveToLayer(tElementLayer* layer);

    // What the universe asks of each element as it draws and advances. A
    // plain element draws nothing and never collides: particles draw, solids
    // collide too.

    /// Draws the element onto the viewport, in its layer's turn.
    virtual void Draw(tViewPortGL& /*viewport*/) {}
    /// The debug overlays: a velocity line, an outline, edge normals.
    virtual void DrawVelocity(tViewPortGL& /*viewport*/) {}
    virtual void DrawOutline(tViewPortGL& /*viewport*/) {}
    virtual void DrawNormals(tViewPortGL& /*viewport*/) {}

    /// In layers of modes 1 and 2, an element that takes part in collisions
    /// moves by its collision step instead of Move.
    virtual bool TakesPartInCollisions() const { return false; }
    /// Starts a new frame of the collision step.
    virtual void BeginFrame() {}
    /// Moves the live element through dt seconds of the frame, stopping at
    /// each contact on the way; without contacts, that is Move.
    virtual void CollisionStep(double dt) { Move(dt); }
    /// After every element's collision step: brings the element to the end
    /// of the frame, in case a later contact set it back.
    virtual void FinishFrame(double /*dt*/) {}

    tUniverse* Universe() const { return universe_; }
    tElementLayer* Layer() const { return layer_; }
    int32_t Id() const { return id_; }
    const std::string& Name() const { return name_; }
    /// Keeps at most the first 11 characters.
    void SetName(const std::string& name);
    /// The number of elements made so far in the process.
    static int32_t MadeCount();

    int32_t tag = 0;
    int32_t state = kNew;
    tVector2 position;
    tVector2 velocity;

private:
    friend class tElementGroup;
    friend class tUniverse;
    tUniverse* universe_;
    tElementLayer* layer_;
    int32_t id_;
    std::string name_ = "-";
    std::vector<tElementGroup*> groups_; // every group that lists this element
};
