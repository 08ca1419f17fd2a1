#include "uUniverse.h"

#include "uAssert.h"
#include "uFormat.h"
#include "uOpenGL.h"
#include "uViewPort.h"

#include <algorithm>


bool SceneVerboseLogging = false;
bool SceneDrawVelocities = false;
bool SceneDrawOutlines = false;
bool SceneDrawNormals = false;
bool SceneMotionBlur = false;
double SceneBlurTime = 0.02;

namespace scene_detail {
uint64_t verboseTexts = 0;
}

uint64_t SceneVerboseTextsBuilt() { return scene_detail::verboseTexts; }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

namespace {
int32_t gElementsMade = 0;
} // namespace

// ---------------------------------------------------------------------------
// tElementGroup

tElementGroup::tElementGroup(std::string name) : tNamedClass(std::move(name)) {}

tElementGroup::~tElementGroup()
{
    if (!elements_.empty())
        FreeAll();
}

void tElementGroup::Add(tElement* element)
{
    if (!element)
        return;
    if (SceneVerboseLogging && element->state > 15) {
        LogWarning(2, "Tried to add element with state " + Quoted(IntToStr(element->state)) + " to group " +
                          Quoted(GetName()) + ".");
        return;
    }
    if (Contains(element)) {
        LogWarning(2, "Adding element to a group that already contains it.");
        return;
    }
    elements_.push_back(element);
    element->groups_.push_back(this);
}

void tElementGroup::Remove(tElement* element)
{
    auto it = std::find(elements_.begin(), elements_.end(), element);
    if (it == elements_.end())
        return;
    elements_.erase(it);
    auto& groups = element->groups_;
    groups.erase(std::remove(groups.begin(), groups.end(), this), groups.end());
}

bool tElementGroup::Contains(const tElement* element) const
{
    return std::find(elements_.begin(), elements_.end(), element) != elements_.end();
}

tElement* tElementGroup::Element(int i) const
{
    return i >= 0 && i < Count() ? elements_[static_cast<size_t>(i)] : nullptr;
}

void tElementGroup::Clear()
{
    LogNote(5, "Clearing " + IntToStr(Count()) + " elements from " + Quoted(GetName()));
    FreeAll();
}

void tElementGroup::FreeAll()
{
    // Each destructor takes the element out of this list (and every other).
    while (!elements_.empty())
        delete elements_.front();
}

void tElementGroup::DrawAll(tViewPortGL& viewport)
{
    if (!visible)
        return;
    for (int i = 0; i < Count(); ++i)
        elements_[static_cast<size_t>(i)]->Draw(viewport);
}

void tElementGroup::Sweep()
{
    for (tElement* e : elements_)
        if (e->state == tElement::kNew)
            e->state = tElement::kLive;
    std::vector<tElement*> dead;
    for (tElement* e : elements_)
        if (e->state == tElement::kDead)
            dead.push_back(e);
    for (tElement* e : dead)
        delete e;
}

// ---------------------------------------------------------------------------
// tElementLayer

tElementLayer::tElementLayer(tUniverse* universe, std::string name, double depth)
    : tElementGroup(std::move(name)), universe_(universe), depth_(depth)
{
    Assert(universe != nullptr, "uUniverse", 2576);
    universe->AddLayer(this);
}

void tElementLayer::SetDepth(double depth)
{
    depth_ = depth;
    universe_->SortLayers();
}

// ---------------------------------------------------------------------------
// tUniverse

tUniverse::tUniverse(std::string name, tOpenGLInterface* gl) : tElementGroup(std::move(name))
{
    struct tStandardLayer {
        const char* name;
        double depth;
        int32_t mode;
        tElementLayer* tUniverse::*slot;
    };
    static const tStandardLayer kLayers[] = {
        {"gui layer", -2, tElementLayer::kMoveAll, &tUniverse::guiLayer_},
        {"mask layer", -1, tElementLayer::kMoveSolid, &tUniverse::maskLayer_},
        {"fore layer", 0, tElementLayer::kMoveSolid, &tUniverse::foreLayer_},
        {"main layer", 1, tElementLayer::kMoveSolid, &tUniverse::mainLayer_},
        {"back layer", 9, tElementLayer::kMoveSolid, &tUniverse::backLayer_},
        {"pseu layer", 4, tElementLayer::kMovePseudo, &tUniverse::pseuLayer_},
        {"part layer", 5, tElementLayer::kMoveAll, &tUniverse::partLayer_},
    };
    for (const auto& l : kLayers) {
        auto* layer = new tElementLayer(this, l.name, l.depth); // owned by this universe
        layer->processingMode = l.mode;
        this->*l.slot = layer;
    }
    viewport_ = std::make_unique<tViewPortGL>(gl, GetName() + " Viewport");
}

tUniverse::~tUniverse()
{
    Clear();
    SceneNote(3, [&] { return "Destroying universe " + Quoted(GetName()); });
    layers_.clear();
    viewport_.reset();
}

void tUniverse::Clear()
{
    SceneNote(3, [&] { return "Clearing " + IntToStr(Count()) + " elements from " + Quoted(GetName()); });
    FreeAll();
    for (auto& layer : layers_) {
        if (layer->Count() == 0)
            continue;
        LogWarning(2, IntToStr(layer->Count()) + " element(s) found in layer " + Quoted(layer->GetName()) +
                          " that where not linked!");
        layer->Clear();
    }
}

void tUniverse::AddLayer(tElementLayer* layer)
{
    Assert(layer != nullptr, "uUniverse", 2704);
    for (const auto& l : layers_)
        if (l.get() == layer) {
            SortLayers();
            return;
        }
    layers_.emplace_back(layer);
    SortLayers();
}

tElementLayer* tUniverse::Layer(int i) const
{
    return i >= 0 && i < LayerCount() ? layers_[static_cast<size_t>(i)].get() : nullptr;
}

tElementLayer* tUniverse::FindLayer(const std::string& name) const
{
    for (const auto& l : layers_)
        if (l->Name() == name)
            return l.get();
    return nullptr;
}

void tUniverse::SortLayers()
{
    // Deepest first: that is the drawing order.
    std::stable_sort(layers_.begin(), layers_.end(),
                     [](const auto& a, const auto& b) { return a->Depth() > b->Depth(); });
}

void tUniverse::AddElement(tElement* element)
{
    Assert(element != nullptr, "uUniverse", 2837);
    if (!element->layer_)
        element->layer_ = DefaultLayer();
    element->universe_ = this;
    Add(element);
    element->layer_->Add(element);
}

void tUniverse::RemoveElement(tElement* element)
{
    Assert(element != nullptr, "uUniverse", 2850);
    Remove(element);
    if (element->layer_)
        element->layer_->Remove(element);
}

void tUniverse::MoveLayer(tElementLayer& layer, double dt)
{
    SceneNote(5, [&] { return "Processing movements on layer " + Quoted(layer.GetName()); });
    // By index: a collision callback may add elements (they are new and do
    // not move this frame anyway).
    for (int i = 0; i < layer.Count(); ++i) {
        tElement* e = layer.Element(i);
        if (layer.processingMode != tElementLayer::kMoveAll && e->TakesPartInCollisions()) {
            if (e->state == tElement::kLive)
                e->CollisionStep(dt);
        } else {
            e->Move(dt);
        }
    }
}

void tUniverse::Advance(double dt)
{
    ++frameCount_;
    frameWord = 0;
    SceneNote(4, [&] { return "Processing frame " + IntToStr(frameCount_) + " (duration:" + FloatToStr(dt) + ")"; });

    for (int i = 0; i < Count(); ++i)
        Element(i)->BeginFrame();

    for (int32_t mode : {tElementLayer::kMoveAll, tElementLayer::kMovePseudo, tElementLayer::kMoveSolid})
        for (int l = 0; l < LayerCount(); ++l)
            if (layers_[static_cast<size_t>(l)]->processingMode == mode)
                MoveLayer(*layers_[static_cast<size_t>(l)], dt);

    // A contact found by a later solid may have set an earlier one back to the
    // moment of impact; bring every colliding solid to the end of the frame.
    for (int i = 0; i < Count(); ++i) {
        tElement* e = Element(i);
        if (e->state == tElement::kLive && e->TakesPartInCollisions() && e->Layer() &&
            e->Layer()->processingMode != tElementLayer::kMoveAll)
            e->FinishFrame(dt);
    }

    for (int i = 0; i < Count(); ++i)
        Element(i)->Update(dt);

    totalTime_ += dt;
}

void tUniverse::Draw()
{
    tViewPortGL& viewport = *viewport_;
    viewport.BeginFrame();
    if (clearBeforeDrawing && viewport.GL())
        viewport.GL()->Clear(clearColor);
    for (auto& layer : layers_)
        layer->DrawAll(viewport);

    if (SceneDrawVelocities)
        for (int i = 0; i < Count(); ++i)
            Element(i)->DrawVelocity(viewport);
    if (SceneDrawOutlines)
        for (int i = 0; i < Count(); ++i)
            Element(i)->DrawOutline(viewport);
    if (SceneDrawNormals)
        for (int i = 0; i < Count(); ++i)
            Element(i)->DrawNormals(viewport);
}

// ---------------------------------------------------------------------------
// tElement

tElement::tElement(tVector2 position_, tElementLayer* layer, tUniverse* universe, tVector2 velocity_)
    : position(position_), velocity(velocity_), universe_(universe), layer_(layer), id_(gElementsMade)
{
    Assert(universe != nullptr, "uUniverse", 593);
    ++gElementsMade;
    if (!layer_)
        layer_ = universe->DefaultLayer();
    universe->AddElement(this);
}

tElement::~tElement()
{
    state = kDestroying;
    const auto groups = groups_;
    for (tElementGroup* g : groups)
        g->Remove(this);
}

int32_t tElement::MadeCount() { return gElementsMade; }

void tElement::SetName(const std::string& name) { name_ = name.substr(0, kMaxNameLength); }

void tElement::Move(double dt)
{
    if (state != kLive)
        return;
    const tVector2 displacement = velocity * dt;
    if (displacement.x != 0 || displacement.y != 0)
        SceneNote(5, [&] {
            return "Movement on [" + IntToStr(id_) + "] = " + VectorText(displacement) + " (over " + FloatToStr(dt) +
                   "seconds)";
        });
    position += displacement;
}

void tElement::Update(double) {}

std::string tElement::Describe() const
{
    return PadRight(name_, kMaxNameLength + 1) + "[" + IntToStr(id_) + ":" + name_ + "] pos:" + VectorText(position) +
           " vel:" + VectorText(velocity);
}

void tElement::MoveToLayer(tElementLayer* layer)
{
    Assert(layer != nullptr, "uUniverse", 580);
    universe_->RemoveElement(this);
    layer_ = layer;
    universe_->AddElement(this);
}
