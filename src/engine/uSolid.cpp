// Solids and their collision step.
//
//   - geometry helpers
//   - pair tests: circle/circle, circle/polygon, polygon/polygon
//   - resolution of a contact (impulse with restitution and friction)
//   - the collision step of one solid
//
// Time inside a frame: every solid keeps the seconds of the current frame it
// has been moved through (its frame time). A solid's step looks for the first
// contact between its own frame time and the end of the frame, with each
// partner placed at that same moment (its position plus its velocity times
// the difference of the two frame times). At a contact both bodies are moved
// to the moment of impact, so a partner whose own step comes later starts
// from there, and one whose step has already run is brought to the end of the
// frame by FinishFrame.
#include "uSolid.h"

#include "uAssert.h"
#include "uFormat.h"
#include "uOpenGL.h"
#include "uViewPort.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

bool SceneDebugCollisions = false;

namespace {

std::function<void()> gCollisionDebugWait;

constexpr extended kPairEpsilon = 1e-6L; // time and speed tolerance of the circle test
constexpr extended kEdgeEpsilon = 1e-8L; // tolerance in an edge's frame
constexpr extended kOverlapSlack = 1e-3L;
constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

extended Dot(tVector2 a, tVector2 b) { return a.x * b.x + a.y * b.y; }
extended Cross(tVector2 a, tVector2 b) { return a.x * b.y - a.y * b.x; }
tVector2 Perp(tVector2 v) { return {-v.y, v.x}; }
extended Length(tVector2 v) { return std::sqrt(v.LengthSquared()); }
tVector2 Normalized(tVector2 v)
{
    const extended l = Length(v);
    return l > 0 ? v * (1 / l) : tVector2{};
}

/// Twice the signed area; its sign tells the winding of the outline.
extended SignedArea2(const std::vector<tVector2>& poly)
{
    extended a = 0;
    for (size_t i = 0; i < poly.size(); ++i)
        a += Cross(poly[i], poly[(i + 1) % poly.size()]);
    return a;
}

/// Unit normal of edge i pointing out of the polygon, whatever its winding.
tVector2 OutwardNormal(const std::vector<tVector2>& poly, size_t i, extended area2)
{
    const tVector2 e = poly[(i + 1) % poly.size()] - poly[i];
    return Normalized(area2 > 0 ? tVector2{e.y, -e.x} : tVector2{-e.y, e.x});
}

bool PointInPolygon(tVector2 p, const std::vector<tVector2>& poly)
{
    bool inside = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const tVector2 a = poly[i];
        const tVector2 b = poly[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x)
            inside = !inside;
    }
    return inside;
}

extended DistanceToSegment(tVector2 p, tVector2 a, tVector2 b)
{
    const tVector2 e = b - a;
    const extended l2 = e.LengthSquared();
    extended s = l2 > 0 ? Dot(p - a, e) / l2 : 0;
    s = std::clamp(s, 0.0L, 1.0L);
    return Length(p - (a + e * s));
}

/// Segments that cross each other by more than the slack (touching ends do not count).
bool SegmentsCross(tVector2 a0, tVector2 a1, tVector2 b0, tVector2 b1)
{
    const extended d1 = Cross(a1 - a0, b0 - a0);
    const extended d2 = Cross(a1 - a0, b1 - a0);
    const extended d3 = Cross(b1 - b0, a0 - b0);
    const extended d4 = Cross(b1 - b0, a1 - b0);
    const extended la = Length(a1 - a0);
    const extended lb = Length(b1 - b0);
    const extended sa = kOverlapSlack * la;
    const extended sb = kOverlapSlack * lb;
    return ((d1 > sa && d2 < -sa) || (d1 < -sa && d2 > sa)) && ((d3 > sb && d4 < -sb) || (d3 < -sb && d4 > sb));
}

/// Earliest candidate kept while scanning edges and vertices.
struct tCandidate {
    bool found = false;
    extended time = 0;
    tVector2 point;  // in the frame where the second body stands still
    tVector2 normal; // from the second body towards the first
    void Offer(extended t, tVector2 p, tVector2 n)
    {
        if (!found || t < time) {
            found = true;
            time = t;
            point = p;
            normal = n;
        }
    }
};

/// Circle against a point, both as seen from a frame where the point stands
/// still; the quadratic of |d + v t| = r.
void CircleAgainstPoint(tVector2 centre, extended r, tVector2 v, tVector2 p, tCandidate& best)
{
    const tVector2 d = centre - p;
    const extended a = v.LengthSquared();
    if (a <= kPairEpsilon)
        return;
    const extended b = 2 * Dot(d, v);
    const extended c = d.LengthSquared() - r * r;
    const extended disc = (b * b - 4 * a * c) / (4 * a * a);
    if (disc < 0)
        return;
    const extended t = -b / (2 * a) - std::sqrt(disc);
    if (t < -kPairEpsilon)
        return;
    best.Offer(t, p, Normalized(centre + v * t - p));
}

/// Circle (centre, r) moving with v against a polygon that stands still.
tContact CircleAgainstPolygon(tVector2 centre, extended r, tVector2 v, const std::vector<tVector2>& poly)
{
    tContact out;
    if (poly.size() < 2 || v.LengthSquared() <= kPairEpsilon)
        return out;
    extended nearest = std::numeric_limits<extended>::max();
    for (size_t i = 0; i < poly.size(); ++i)
        nearest = std::min(nearest, DistanceToSegment(centre, poly[i], poly[(i + 1) % poly.size()]));
    const bool inside = poly.size() >= 3 && PointInPolygon(centre, poly);
    if (inside || nearest < r - kOverlapSlack) {
        out.kind = tContactKind::kOverlapping;
        out.depth = static_cast<double>(inside ? r + nearest : r - nearest);
        return out;
    }
    const extended area2 = SignedArea2(poly);
    tCandidate best;
    for (size_t i = 0; i < poly.size(); ++i) {
        const tVector2 p0 = poly[i];
        const tVector2 e = poly[(i + 1) % poly.size()] - p0;
        const extended len = Length(e);
        if (len < kEdgeEpsilon)
            continue;
        const tVector2 u = e * (1 / len);
        const tVector2 n = poly.size() >= 3 ? OutwardNormal(poly, i, area2)
                                            : (Dot(Perp(u), centre - p0) >= 0 ? Perp(u) : Perp(u) * -1);
        // In the edge's frame: distance along the normal and the closing speed.
        const extended s0 = Dot(n, centre - p0);
        const extended vn = Dot(n, v);
        if (vn >= -kEdgeEpsilon || s0 < r - kEdgeEpsilon)
            continue;
        const extended t = (s0 - r) / -vn;
        const tVector2 touch = centre + v * t - n * r;
        const extended x = Dot(u, touch - p0);
        if (x < -kEdgeEpsilon || x > len + kEdgeEpsilon)
            continue; // passes the edge's line beyond an end: the vertex test covers it
        best.Offer(t, touch, n);
    }
    for (const tVector2& p : poly)
        CircleAgainstPoint(centre, r, v, p, best);
    if (best.found) {
        out.kind = tContactKind::kContact;
        out.time = static_cast<double>(std::fabs(best.time) < kPairEpsilon ? 0 : best.time);
        out.point = best.point;
        out.normal = best.normal;
    }
    return out;
}

/// Vertices of `mover` travelling with v against the edges of `still`.
void VerticesAgainstEdges(const std::vector<tVector2>& mover, tVector2 v, const std::vector<tVector2>& still,
                          bool flip, tCandidate& best)
{
    const extended area2 = SignedArea2(still);
    for (size_t i = 0; i < still.size(); ++i) {
        const tVector2 p0 = still[i];
        const tVector2 e = still[(i + 1) % still.size()] - p0;
        const tVector2 n = OutwardNormal(still, i, area2);
        if (Dot(v, n) >= -kEdgeEpsilon)
            continue; // not moving into this edge
        const extended denom = Cross(v, e);
        if (std::fabs(denom) < kEdgeEpsilon)
            continue;
        for (const tVector2& q : mover) {
            const extended t = Cross(p0 - q, e) / denom;
            const extended s = Cross(p0 - q, v) / denom;
            if (s < -kEdgeEpsilon || s > 1 + kEdgeEpsilon || t < -kPairEpsilon)
                continue;
            best.Offer(t, q + v * t, flip ? n * -1 : n);
        }
    }
}

bool PolygonsOverlap(const std::vector<tVector2>& a, const std::vector<tVector2>& b)
{
    auto deepInside = [](const std::vector<tVector2>& pts, const std::vector<tVector2>& poly) {
        for (const tVector2& p : pts) {
            if (!PointInPolygon(p, poly))
                continue;
            extended nearest = std::numeric_limits<extended>::max();
            for (size_t i = 0; i < poly.size(); ++i)
                nearest = std::min(nearest, DistanceToSegment(p, poly[i], poly[(i + 1) % poly.size()]));
            if (nearest > kOverlapSlack)
                return true;
        }
        return false;
    };
    if (deepInside(a, b) || deepInside(b, a))
        return true;
    for (size_t i = 0; i < a.size(); ++i)
        for (size_t j = 0; j < b.size(); ++j)
            if (SegmentsCross(a[i], a[(i + 1) % a.size()], b[j], b[(j + 1) % b.size()]))
                return true;
    return false;
}

/// Polygon a moving with v against polygon b standing still.
tContact PolygonAgainstPolygon(const std::vector<tVector2>& a, tVector2 v, const std::vector<tVector2>& b)
{
    tContact out;
    if (a.size() < 3 || b.size() < 3 || v.LengthSquared() <= kPairEpsilon)
        return out;
    if (PolygonsOverlap(a, b)) {
        out.kind = tContactKind::kOverlapping;
        return out;
    }
    tCandidate best;
    VerticesAgainstEdges(a, v, b, false, best);
    // b's vertices against a's edges, seen from a: they move with -v. The
    // contact point found there is in a's frame; move it to b's frame.
    tCandidate fromA;
    VerticesAgainstEdges(b, v * -1, a, true, fromA);
    if (fromA.found)
        best.Offer(fromA.time, fromA.point + v * fromA.time, fromA.normal);
    if (best.found) {
        out.kind = tContactKind::kContact;
        out.time = static_cast<double>(std::fabs(best.time) < kPairEpsilon ? 0 : best.time);
        out.point = best.point;
        out.normal = best.normal;
    }
    return out;
}

std::vector<tVector2> OutlineAt(const tSolid& s, tVector2 at)
{
    std::vector<tVector2> out = s.WorldVertices();
    for (tVector2& p : out)
        p = p - s.position + at;
    return out;
}

/// Velocity of a body's point at lever arm r: its velocity plus its spin's share.
tVector2 PointVelocity(const tSolid& s, tVector2 r)
{
    return s.velocity + Perp(r) * (s.spin / kDegreesPerRadian);
}

bool Receives(const tSolid& body, const tSolid& other, tVector2 lever)
{
    return body.isPushed && other.pushesOthers && body.collisionKind != tSolid::kFixed &&
           body.state == tElement::kLive && body.mass > 0 && !(body.positionLocked && body.rotationLocked) &&
           lever.LengthSquared() > 0;
}

void ApplyImpulse(tSolid& body, tVector2 impulse, tVector2 lever)
{
    // The share of the impulse that turns the body: the sine of the angle
    // between the lever arm and the impulse, so a push through the centre
    // only moves it and a push across the lever arm only turns it.
    const extended magnitude = Length(impulse);
    const double s =
        magnitude > 0 ? -std::sin(static_cast<double>(std::atan2(lever.y, lever.x) - std::atan2(impulse.y, impulse.x)))
                      : 0.0;
    // The spin that gives the contact point the tangential speed s * |J| / m.
    const double spinChange =
        s * static_cast<double>(magnitude / (body.mass * Length(lever))) * kDegreesPerRadian;
    if (body.rotationLocked) {
        body.velocity += impulse * (1 / body.mass);
    } else if (body.positionLocked) {
        body.spin += spinChange;
    } else {
        body.spin += spinChange;
        body.velocity += impulse * ((1 - std::fabs(s)) / body.mass);
    }
}

/// The vector's text with negative zeros written as 0.
std::string DebugText(tVector2 v) { return VectorText({v.x + 0.0L, v.y + 0.0L}); }

std::string BodyLines(const tSolid& s, tVector2 impulse)
{
    return "        Pos:" + DebugText(s.position) + "\n        Vel:" + DebugText(s.velocity) +
           "\n        Imp:" + DebugText(impulse);
}

void DebugLines(const std::vector<std::string>& lines)
{
    for (const std::string& text : lines) {
        size_t start = 0;
        while (start <= text.size()) {
            const size_t end = text.find('\n', start);
            LogNote(4, text.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
}

/// A closed outline has as many edges as vertices; two vertices make one line.
size_t EdgeCount(const std::vector<tVector2>& w) { return w.size() > 2 ? w.size() : w.size() == 2 ? 1 : 0; }

/// Draws both bodies and the impact point onto their scene's viewport and
/// presents the frame.
void ShowCollision(tSolid& a, tSolid& b, tVector2 point)
{
    tViewPortGL& viewport = *a.Universe()->Viewport();
    tOpenGLInterface* gl = viewport.GL();
    if (!gl)
        return;
    a.Draw(viewport);
    b.Draw(viewport);
    gl->drawColor = PackRGBA(255, 0, 0, 255);
    gl->DrawCircle(point, 3);
    gl->Present();
}

void DebugWait()
{
    if (gCollisionDebugWait)
        gCollisionDebugWait();
}

/// Resolves the contact of a (moving) against b; both stand at the moment of impact.
void Resolve(tSolid& a, tSolid& b, const tContact& contact)
{
    const tVector2 n = contact.normal;
    const tVector2 t = Perp(n);
    const tVector2 leverA = contact.point - a.position;
    const tVector2 leverB = contact.point - b.position;
    const tVector2 relative = PointVelocity(a, leverA) - PointVelocity(b, leverB);
    const extended vn = Dot(relative, n);
    const extended vt = Dot(relative, t);
    if (vn >= 0) {
        if (SceneDebugCollisions)
            LogNote(4, "!! INVALID COLLISION !!: " + a.Describe() + " with " + b.Describe());
        return; // touching but already parting: no impulse
    }
    const bool aIsSmall = a.mass < b.mass;
    tSolid& small = aIsSmall ? a : b;
    tSolid& large = aIsSmall ? b : a;
    const extended reflectedN = -vn * (small.restitution * large.restitution);
    const extended reflectedT = vt * (1 - small.friction * large.friction);
    const tVector2 change = n * (reflectedN - vn) + t * (reflectedT - vt);

    const bool aReceives = Receives(a, b, leverA);
    const bool bReceives = Receives(b, a, leverB);
    // A body that cannot move along the impulse stands like a wall: its
    // partner then takes the whole change instead of the reduced-mass share.
    const extended invA = aReceives && !a.positionLocked ? 1 / static_cast<extended>(a.mass) : 0;
    const extended invB = bReceives && !b.positionLocked ? 1 / static_cast<extended>(b.mass) : 0;
    extended effectiveMass = 0;
    if (invA + invB > 0)
        effectiveMass = 1 / (invA + invB);
    else if (a.mass > 0 && b.mass > 0)
        effectiveMass = static_cast<extended>(a.mass) * b.mass / (static_cast<extended>(a.mass) + b.mass);
    const tVector2 impulseA = change * effectiveMass;
    const tVector2 impulseB = impulseA * -1;

    if (SceneDebugCollisions) {
        const tVector2 impulseSmall = aIsSmall ? impulseA : impulseB;
        const tVector2 impulseLarge = aIsSmall ? impulseB : impulseA;
        DebugLines({"Collision: (in " + FloatToStr(contact.time) + " secoonds",
                    "    Elements involved (small:" + IntToStr(small.Id()) + " large:" + IntToStr(large.Id()) + ")",
                    "    Impact Point:" + DebugText(contact.point),
                    "    Frame Vel:" + DebugText({vn, vt}),
                    "    Reflected Vel:" + DebugText({reflectedN, reflectedT}),
                    "    Normal:" + DebugText(n),
                    "    Small Object:", BodyLines(small, impulseSmall),
                    "    Large Object:", BodyLines(large, impulseLarge)});
    }

    if (aReceives)
        ApplyImpulse(a, impulseA, leverA);
    if (bReceives)
        ApplyImpulse(b, impulseB, leverB);
    if (aReceives && a.onCollision)
        a.onCollision(a, b, tImpact{contact.time, contact.point, n, impulseA});
    if (bReceives && b.onCollision)
        b.onCollision(b, a, tImpact{contact.time, contact.point, n * -1, impulseB});

    if (SceneDebugCollisions) {
        ShowCollision(a, b, contact.point);
        DebugWait();
    }
}

} // namespace

void SetCollisionDebugWait(std::function<void()> wait) { gCollisionDebugWait = std::move(wait); }

tContact TestPair(const tSolid& a, tVector2 positionA, const tSolid& b, tVector2 positionB, double maxTime)
{
    tContact out;
    const tVector2 v = a.velocity - b.velocity;
    if (a.shape == tSolid::kCircle && b.shape == tSolid::kCircle) {
        if (v.LengthSquared() <= kPairEpsilon)
            return out;
        const tVector2 d = positionA - positionB;
        const extended radii = static_cast<extended>(a.radius) + b.radius;
        const extended qa = v.LengthSquared();
        const extended qb = 2 * Dot(d, v);
        const extended qc = d.LengthSquared() - radii * radii;
        if (qc < -kOverlapSlack) {
            out.kind = tContactKind::kOverlapping;
            out.depth = static_cast<double>(qc);
            SceneNote(4, [&] { return "    Intersecting by " + FloatToStr(qc); });
            return out;
        }
        const extended disc = (qb * qb - 4 * qa * qc) / (4 * qa * qa);
        if (disc < 0)
            return out;
        extended t = -qb / (2 * qa) - std::sqrt(disc);
        if (t < -kPairEpsilon)
            return out;
        if (std::fabs(t) < kPairEpsilon)
            t = 0;
        if (t > maxTime)
            return out;
        const tVector2 ca = positionA + a.velocity * t;
        const tVector2 cb = positionB + b.velocity * t;
        out.kind = tContactKind::kContact;
        out.time = static_cast<double>(t);
        out.normal = Normalized(ca - cb);
        out.point = cb + out.normal * static_cast<extended>(b.radius);
        return out;
    }
    if (a.shape == tSolid::kCircle && b.shape == tSolid::kPolygon) {
        out = CircleAgainstPolygon(positionA, a.radius, v, OutlineAt(b, positionB));
        if (out.kind == tContactKind::kContact)
            out.point = out.point + b.velocity * out.time; // b stood still in the test
    } else if (a.shape == tSolid::kPolygon && b.shape == tSolid::kCircle) {
        out = CircleAgainstPolygon(positionB, b.radius, v * -1, OutlineAt(a, positionA));
        if (out.kind == tContactKind::kContact) {
            out.point = out.point + a.velocity * out.time;
            out.normal = out.normal * -1;
        }
    } else if (a.shape == tSolid::kPolygon && b.shape == tSolid::kPolygon) {
        out = PolygonAgainstPolygon(OutlineAt(a, positionA), v, OutlineAt(b, positionB));
        if (out.kind == tContactKind::kContact)
            out.point = out.point + b.velocity * out.time;
    }
    if (out.kind == tContactKind::kContact && out.time > maxTime)
        return tContact{};
    return out;
}

// ---------------------------------------------------------------------------
// tSolid

tSolid::tSolid(tVector2 position_, tElementLayer* layer, tUniverse* universe, tVector2 velocity_)
    : tParticle(position_, layer, universe, velocity_)
{
}

void tSolid::Update(double dt)
{
    if (state != kLive)
        return;
    tParticle::Update(dt);
}

bool tSolid::TakesPartInCollisions() const
{
    return shape != kNoShape && collisionKind != kNoCollision && (pushesOthers || isPushed);
}

std::vector<tVector2> tSolid::WorldVertices() const
{
    std::vector<tVector2> out;
    out.reserve(vertices.size());
    for (const tVector2& v : vertices) {
        const tVector2 scaled{v.x * scale * aspect, v.y * scale};
        out.push_back(scaled.Rotated(angle) + position);
    }
    return out;
}

void tSolid::DrawOutline(tViewPortGL& viewport)
{
    tOpenGLInterface* gl = viewport.GL();
    if (!gl)
        return;
    if (shape == kCircle) {
        gl->DrawCircle(position, radius);
    } else if (shape == kPolygon) {
        const std::vector<tVector2> w = WorldVertices();
        for (size_t i = 0; i < EdgeCount(w); ++i)
            gl->DrawLine(w[i], w[(i + 1) % w.size()]);
    }
}

void tSolid::DrawWithoutSprite(tViewPortGL& viewport)
{
    if (shape == kNoShape)
        tParticle::DrawWithoutSprite(viewport);
    else
        DrawOutline(viewport);
}

void tSolid::DrawNormals(tViewPortGL& viewport)
{
    tOpenGLInterface* gl = viewport.GL();
    if (!gl || shape != kPolygon)
        return;
    const std::vector<tVector2> w = WorldVertices();
    for (size_t i = 0; i < EdgeCount(w); ++i) {
        const tVector2 a = w[i];
        const tVector2 b = w[(i + 1) % w.size()];
        const tVector2 middle = (a + b) * 0.5L;
        gl->DrawLine(middle, middle + Normalized(b - a).Rotated(-90) * 12);
    }
}

tVector2 tSolid::PositionAt(double frameTime) const { return position + velocity * (frameTime - frameTime_); }

void tSolid::MoveTo(double frameTime)
{
    position = PositionAt(frameTime);
    frameTime_ = frameTime;
}

void tSolid::FinishFrame(double dt)
{
    if (frameTime_ < dt)
        MoveTo(dt);
}

void tSolid::CollisionStep(double dt)
{
    constexpr int kRounds = 6;
    tUniverse* universe = Universe();
    for (int round = 0; round < kRounds && universe; ++round) {
        const double remaining = dt - frameTime_;
        if (remaining < 0)
            break;
        tContact best;
        tSolid* partner = nullptr;
        for (int l = 0; l < universe->LayerCount(); ++l) {
            tElementLayer* layer = universe->Layer(l);
            if (layer->processingMode != tElementLayer::kMoveSolid)
                continue;
            for (int i = 0; i < layer->Count(); ++i) {
                auto* other = dynamic_cast<tSolid*>(layer->Element(i));
                if (!other || other == this || other->state != kLive || !other->TakesPartInCollisions())
                    continue;
                if (collisionKind == kFixed && other->collisionKind == kFixed)
                    continue;
                const tContact c = TestPair(*this, position, *other, other->PositionAt(frameTime_), remaining);
                if (c.kind == tContactKind::kOverlapping && SceneDebugCollisions)
                    LogNote(4, "Intersection: " + Describe() + " with " + other->Describe());
                if (c.kind == tContactKind::kContact && (!partner || c.time < best.time)) {
                    best = c;
                    partner = other;
                }
            }
        }
        if (!partner)
            break;
        Assert(best.time >= 0, "uUniverse", 1263);
        const double impactTime = frameTime_ + best.time;
        MoveTo(impactTime);
        partner->MoveTo(impactTime);
        Resolve(*this, *partner, best);
    }
    FinishFrame(dt);
}
