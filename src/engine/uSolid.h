#pragma once
// tSolid: a particle with a shape (a circle of its radius or a polygon) that
// collides with other solids: a time-of-impact search moves it to the first
// contact within the frame, an impulse with restitution and friction changes
// both bodies' motion, and the rest of the frame is used the same way (at most
// six contacts per solid and frame).
#include "uParticle.h"

#include <functional>
#include <vector>

class tSolid;

/// One contact between two solids.
struct tImpact {
    double time = 0;       // seconds into the mover's remaining frame time
    tVector2 point;        // the contact point
    tVector2 normal;       // unit normal, pointing from the other body to this one
    tVector2 impulse;      // the impulse this body received
};

class tSolid : public tParticle {
public:
    enum Shape : int32_t { kNoShape = 0, kCircle = 1, kPolygon = 2 };
    enum Collision : int32_t { kNoCollision = 0, kFixed = 1, kMovable = 2 };

    using tCallback = std::function<void(tSolid& self, tSolid& other, const tImpact& impact)>;

    tSolid(tVector2 position, tElementLayer* layer, tUniverse* universe, tVector2 velocity = {});

    /// Only when live: the particle's update.
    void Update(double dt) override;

    /// Onto the viewport in its interface's current draw colour: the circle
    /// of the radius, or the closed polygon of the placed vertices.
    void DrawOutline(tViewPortGL& viewport) override;
    /// For polygons: a line of 12 units from the middle of each edge, along
    /// the edge turned by -90 degrees.
    void DrawNormals(tViewPortGL& viewport) override;

    /// A shape, a collision kind and at least one push flag.
    bool TakesPartInCollisions() const override;
    /// The outline vertices placed in the scene: scaled by (scale * aspect,
    /// scale), turned by the angle, moved to the position.
    std::vector<tVector2> WorldVertices() const;

    /// Moves the solid through dt seconds of this frame, stopping at each
    /// contact with a solid of a mode-2 layer to resolve it (Advance calls it
    /// for solids that take part in collisions).
    void CollisionStep(double dt) override;

    std::vector<tVector2> vertices; // outline in the particle's own frame
    int32_t shape = kNoShape;
    double mass = 1.0;        // a mass of 0 or less is treated as immovable
    double restitution = 1.0;
    double friction = 0;
    int32_t collisionKind = kNoCollision;
    bool positionLocked = false;
    bool rotationLocked = false;
    bool pushesOthers = false;
    bool isPushed = false;
    tCallback onCollision;

    /// Seconds of the current frame this solid has already been moved through.
    double FrameTime() const { return frameTime_; }
    /// Starts a new frame of the collision step (the universe calls it).
    void BeginFrame() override { frameTime_ = 0; }
    /// Moves the solid through the rest of the frame without looking for
    /// contacts; for solids that were set back to an earlier moment of the
    /// frame by another solid's contact after their own step.
    void FinishFrame(double dt) override;

protected:
    /// Draw without a sprite: the outline of the shape (the particle's
    /// circle when it has none).
    void DrawWithoutSprite(tViewPortGL& viewport) override;

private:
    tVector2 PositionAt(double frameTime) const;
    void MoveTo(double frameTime);

    double frameTime_ = 0;
};

/// While on, every contact is written to the log at level 4 and shown on
/// screen, and the collision debug wait is called after each.
extern bool SceneDebugCollisions;
/// The pause after each debugged contact. By default it does nothing, so
/// tests and the screen saver never block; a developer tool installs a wait
/// for the space key being pressed and released. An empty function restores
/// the default.
void SetCollisionDebugWait(std::function<void()> wait);

/// Result of the pair test between two solids.
enum class tContactKind { kNone = 0, kOverlapping = 1, kContact = 2 };

struct tContact {
    tContactKind kind = tContactKind::kNone;
    double time = 0;   // seconds until contact (kContact)
    tVector2 point;    // where the bodies touch, at that time
    tVector2 normal;   // unit, from b towards a
    double depth = 0;  // overlap depth or its squared measure (kOverlapping)
};

/// The pair test of a against b, both moving linearly from their present
/// positions; contacts later than maxTime are not reported.
tContact TestPair(const tSolid& a, tVector2 positionA, const tSolid& b, tVector2 positionB, double maxTime);
