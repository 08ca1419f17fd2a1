#include "uFractalPointFinder.h"

#include "uAssert.h"
#include "uBackEnds.h"
#include "uFormat.h"
#include "uLog.h"
#include "uRandom.h"

#include <cstdlib>

namespace {
// Corners are 80-bit constants; the literals carry more digits than an
// 80-bit float holds so that each rounds to the intended value.
struct tRegionRow {
    float weight;
    extended ax, ay, bx, by;
};

constexpr tRegionRow kRegions[] = {
    {10.0f, -2.1190178508792901L, -1.13823717005563L, 1.1057867378777899L, 1.17671183830213L},
    {0.15f, -2.1787371143343002L, -0.31790993737775602L, -1.23942133303797L, 0.356384605624256L},
    {0.15f, -1.6338090417640101L, -0.0049092292403130101L, -1.6204574923138L, 0.00467527590072918L},
    {0.15f, -1.62815159283815L, -0.022368539839374899L, -1.62745697987175L, -0.021869906959927299L},
    {0.15f, -0.022142608481160699L, -0.71089147228809302L, -0.020344923062172799L, -0.70960099096946205L},
    {0.15f, -0.020789192422580299L, -0.710582667911965L, -0.020750648195766701L, -0.71055499866343097L},
    {0.15f, -0.018725896003022598L, -0.70897477020502897L, -0.018702287499791699L, -0.70895782267235297L},
    {0.15f, -0.164503405079645L, -1.09838388619907L, -0.16218979325861099L, -1.0967230434275399L},
    {0.15f, -0.67148955537958199L, -0.38859800107353998L, -0.62579777954281002L, -0.355797833419285L},
    {0.15f, 0.346370213131525L, 0.089356783307137894L, 0.35427352882403002L, 0.095030234929257607L},
    {0.15f, -1.2470589687845599L, -0.17923503217457201L, -1.2209877412268699L, -0.160519615249233L},
    {0.15f, -1.4096429256948L, 0.13563658203146101L, -1.40702431610386L, 0.13751636963067099L},
    {0.15f, -1.6253804360634301L, -0.0034421171138143301L, -1.62538043275342L, -0.0034421147376956099L},
    {0.15f, -0.14071146960949099L, -0.65075781654930898L, -0.13981111006828101L, -0.650111487021512L},
    {0.15f, -0.089133104802051305L, -0.648546899289002L, -0.089125722046231703L, -0.64854159952500301L},
};

std::string Coordinate(extended v) { return PadLeft(FormatFixed(v, 3), 3); }
} // namespace

tFractalPointFinder::tFractalPointFinder() : tFractalPointFinder(EscapeCount) {}

tFractalPointFinder::tFractalPointFinder(tEscapeCountFunction escapeCount, bool withRegions)
    : escapeCount_(std::move(escapeCount))
{
    if (!withRegions)
        return;
    for (const auto& r : kRegions)
        AddRegion({r.ax, r.ay}, {r.bx, r.by}, r.weight);
}

void tFractalPointFinder::AddRegion(const tVector2& cornerA, const tVector2& cornerB, float weight)
{
    regions_.push_back({weight, cornerA, cornerB});
}

const tFractalRegion& tFractalPointFinder::Region(size_t i) const { return regions_.at(i); }

float tFractalPointFinder::TotalWeight() const
{
    float total = 0;
    for (const auto& r : regions_)
        total += r.weight;
    return total;
}

const tFractalRegion& tFractalPointFinder::PickRegion()
{
    float r = static_cast<float>(Random() * static_cast<double>(TotalWeight()));
    std::optional<size_t> result;
    for (size_t i = 0; i < regions_.size(); ++i) {
        r -= regions_[i].weight;
        if (r <= 0) {
            result = i;
            break;
        }
    }
    // Rounding can leave a little over after the last region.
    if (!result && !regions_.empty())
        result = regions_.size() - 1;
    Assert(result.has_value(), "uFractalPointFinder", 109);

    if (result == lastRegion_) {
        lastRegion_.reset();
        PickRegion();
        return regions_[*lastRegion_];
    }
    lastRegion_ = result;
    return regions_[*result];
}

bool tFractalPointFinder::FindPoint(tVector2& point)
{
    for (int attempt = 0; attempt < kRegionsTried; ++attempt) {
        const tFractalRegion& region = PickRegion();
        const tVector2 size = region.cornerB - region.cornerA;
        for (int tries = 1; tries <= kTriesPerRegion; ++tries) {
            const extended rx = Random();
            const extended ry = Random();
            point = {region.cornerA.x + rx * size.x, region.cornerA.y + ry * size.y};

            const int32_t d = escapeCount_(kIterationLimit, point.x, point.y);
            if (d <= kMinimumCount || d == kIterationLimit)
                continue;

            const extended jx = point.x + static_cast<extended>(Random()) / 1e11L;
            const extended jy = point.y + static_cast<extended>(Random()) / 1e11L;
            const int32_t dj = escapeCount_(kIterationLimit, jx, jy);
            if (std::abs(dj - d) >= kMinimumChange) {
                LogNote(1, "found zoom point (" + VectorText(point) + ") took " + IntToStr(tries) + " goes");
                return true;
            }
        }
        LogNote(1, "No point found in region " + RegionText(region));
    }
    LogNote(1, "Giving up on finding an interesting point in the mandelbrot set :( ");
    return false;
}

std::string tFractalPointFinder::RegionText(const tFractalRegion& region)
{
    return "[" + Coordinate(region.cornerA.x) + "," + Coordinate(region.cornerA.y) + "] - [" +
           Coordinate(region.cornerB.x) + "," + Coordinate(region.cornerB.y) + "]";
}
