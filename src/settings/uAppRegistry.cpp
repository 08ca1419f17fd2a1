#include "uAppRegistry.h"

#include "uFileLocations.h"
#include "uLog.h"

#include <cstdlib>
#include <filesystem>

namespace {
constexpr char kDetailLevel[] = "DetailLevel";
constexpr char kZoomDeep[] = "ZoomDeep";
constexpr char kDeepDive[] = "DeepDive";
constexpr int32_t kDetailLevelFallback = 6;
constexpr bool kZoomDeepFallback = true;
constexpr bool kDeepDiveFallback = false;

std::unique_ptr<tAppRegistry> gAppRegistry;
} // namespace

tAppRegistry::tAppRegistry() : registry_(std::make_unique<tRegistryEx>())
{
    if (const char* over = std::getenv("FRACTAL_REGISTRY"); over && *over) {
        storePath_ = over;
    } else if (const std::string folder = ConfigFolder(); !folder.empty()) {
        storePath_ = folder + "/settings";
        MoveLegacyStore();
    }
    registry_->OpenStore(storePath_, true);
}

std::string tAppRegistry::LegacyStorePath()
{
    const std::string home = ConfigHome();
    return home.empty() ? home : home + "/Halvornet/Fractal/registry";
}

void tAppRegistry::MoveLegacyStore()
{
    const std::string legacy = LegacyStorePath();
    const tStoreMoveResult result = MoveStore(legacy, storePath_);
    const auto note = [&](const std::string& text) { pendingLog_.emplace_back(false, text); };
    const auto warn = [&](const std::string& text) { pendingLog_.emplace_back(true, text); };
    switch (result.what) {
    case tStoreMove::NothingToMove:
        return;
    case tStoreMove::Moved:
        note("Moved the settings store from \"" + legacy + "\" to \"" + storePath_ + "\"");
        break;
    case tStoreMove::Merged:
        note("Added the settings of \"" + legacy + "\" that \"" + storePath_ + "\" lacked, and removed the old store");
        break;
    case tStoreMove::Unreadable:
    case tStoreMove::Failed:
        warn("Could not move the settings store \"" + legacy + "\" to \"" + storePath_ + "\": " + result.reason +
             "; the old store stays where it is, and the settings are kept in the new one");
        return;
    }
    // The key's folders (Fractal, then Halvornet) go when nothing else is in them.
    std::error_code ec;
    const std::filesystem::path fractal = std::filesystem::path(legacy).parent_path();
    if (std::filesystem::remove(fractal, ec))
        std::filesystem::remove(fractal.parent_path(), ec);
}

void tAppRegistry::ReportOnFirstUse() const
{
    for (const auto& [warning, text] : pendingLog_) {
        if (warning)
            LogWarning(1, text);
        else
            LogNote(1, text);
    }
    pendingLog_.clear();
    if (registry_->IsOpen() || warned_)
        return;
    warned_ = true;
    LogWarning(2, "Could not create registry key");
}

int32_t tAppRegistry::ReadDetailLevel() const
{
    ReportOnFirstUse();
    return registry_->ReadIntegerDef(kDetailLevel, kDetailLevelFallback);
}

void tAppRegistry::WriteDetailLevel(uint8_t level)
{
    ReportOnFirstUse();
    registry_->WriteInteger(kDetailLevel, level);
}

bool tAppRegistry::ReadZoomDeep() const
{
    ReportOnFirstUse();
    return registry_->ReadBoolDef(kZoomDeep, kZoomDeepFallback);
}

void tAppRegistry::WriteZoomDeep(bool on)
{
    ReportOnFirstUse();
    registry_->WriteInteger(kZoomDeep, on ? 1 : 0);
}

bool tAppRegistry::ReadDeepDive() const
{
    ReportOnFirstUse();
    return registry_->ReadBoolDef(kDeepDive, kDeepDiveFallback);
}

void tAppRegistry::WriteDeepDive(bool on)
{
    ReportOnFirstUse();
    registry_->WriteInteger(kDeepDive, on ? 1 : 0);
}

bool tAppRegistry::ZoomDeepStored() const
{
    try {
        (void)registry_->ReadInteger(kZoomDeep);
        return true;
    } catch (const ERegistryException&) {
        return false;
    }
}

void CreateAppRegistry()
{
    gAppRegistry.reset();
    gAppRegistry = std::make_unique<tAppRegistry>();
}

void FreeAppRegistry() { gAppRegistry.reset(); }

tAppRegistry& AppRegistry()
{
    if (!gAppRegistry)
        gAppRegistry = std::make_unique<tAppRegistry>();
    return *gAppRegistry;
}
