#include "uAppRegistry.h"

#include "uLog.h"

namespace {
constexpr char kDetailLevel[] = "DetailLevel";
constexpr char kZoomDeep[] = "ZoomDeep";
constexpr int32_t kDetailLevelFallback = 6;
constexpr bool kZoomDeepFallback = true;

std::unique_ptr<tAppRegistry> gAppRegistry;
} // namespace

tAppRegistry::tAppRegistry()
    : registry_(std::make_unique<tRegistryEx>()), storePath_(tRegistry::StoreFileFor(kAppRegistryKey))
{
    registry_->OpenStore(storePath_, true);
}

void tAppRegistry::WarnIfClosed() const
{
    if (registry_->IsOpen() || warned_)
        return;
    warned_ = true;
    LogWarning(2, "Could not create registry key");
}

int32_t tAppRegistry::ReadDetailLevel() const
{
    WarnIfClosed();
    return registry_->ReadIntegerDef(kDetailLevel, kDetailLevelFallback);
}

void tAppRegistry::WriteDetailLevel(uint8_t level)
{
    WarnIfClosed();
    registry_->WriteInteger(kDetailLevel, level);
}

bool tAppRegistry::ReadZoomDeep() const
{
    WarnIfClosed();
    return registry_->ReadBoolDef(kZoomDeep, kZoomDeepFallback);
}

void tAppRegistry::WriteZoomDeep(bool on)
{
    WarnIfClosed();
    registry_->WriteInteger(kZoomDeep, on ? 1 : 0);
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
