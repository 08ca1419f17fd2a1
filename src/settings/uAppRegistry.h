#pragma once
// The user choices that survive between runs, in the registry store:
// "DetailLevel" (fallback 6, the request to auto-detect), "ZoomDeep"
// (fallback true) and "DeepDive" (fallback false). One process-wide
// instance, made during program initialisation.
//
// The store is $XDG_CONFIG_HOME/quorex/settings (FRACTAL_REGISTRY names
// another file). Earlier versions kept it under the program's registry key,
// $XDG_CONFIG_HOME/Halvornet/Fractal/registry: a store found there is moved
// once, when the store is made, and its folders go when they are left empty.
// One that cannot be read stays where it is, and the log says so.
#include "uRegistry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class tAppRegistry {
public:
    /// Opens (creating when needed) the program's key. When that fails the
    /// store carries on: reads give their fallbacks and writes raise, and the
    /// warning "Could not create registry key" (level 2) is logged once, at
    /// the first read or write: the store is made during program
    /// initialisation, before the log has its file.
    tAppRegistry();
    tAppRegistry(const tAppRegistry&) = delete;
    tAppRegistry& operator=(const tAppRegistry&) = delete;

    int32_t ReadDetailLevel() const;
    /// Raises ERegistryException when the store cannot be written.
    void WriteDetailLevel(uint8_t level);
    /// Any non-zero value reads as true.
    bool ReadZoomDeep() const;
    /// Stores 1 or 0; raises ERegistryException when the store cannot be written.
    void WriteZoomDeep(bool on);
    /// Deep dives past 2^40; any non-zero value reads as true, none as false.
    bool ReadDeepDive() const;
    /// Stores 1 or 0; raises ERegistryException when the store cannot be written.
    void WriteDeepDive(bool on);
    /// True when the store holds a readable ZoomDeep value (a choice made
    /// before, which the fallback must not replace).
    bool ZoomDeepStored() const;

    /// The store file, also when it could not be opened (for messages).
    const std::string& StorePath() const { return storePath_; }
    /// Where earlier versions kept the store.
    static std::string LegacyStorePath();

    const tRegistryEx& Registry() const { return *registry_; }

private:
    /// Moves a store from the legacy place; what happened waits for the log.
    void MoveLegacyStore();
    /// Logs, at the first read or write, what making the store found.
    void ReportOnFirstUse() const;

    std::unique_ptr<tRegistryEx> registry_;
    std::string storePath_;
    mutable bool warned_ = false;
    /// Lines for the log, which has no file yet while the store is made.
    mutable std::vector<std::pair<bool, std::string>> pendingLog_;
};

/// Makes the process-wide store (replacing one that exists).
void CreateAppRegistry();
void FreeAppRegistry();
/// The process-wide store; made on first use when initialisation has not.
tAppRegistry& AppRegistry();
