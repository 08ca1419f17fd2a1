#include "uProgram.h"

#include "uAppRegistry.h"
#include "uClock.h"
#include "uColorMap.h"
#include "uInputWatch.h"
#include "uPlatform.h"
#include "uTimer.h"

#include <memory>

namespace {
std::unique_ptr<tMutex> gInstanceMutex;
} // namespace

void ProgramInitialisation()
{
    // 1. The high-resolution clock needs no set-up beyond its first reading.
    (void)HighResTime();
    // 2. x87: all exceptions masked, 64-bit precision, rounding to nearest.
    SetFloatingPointControl();
    // 3. The engine's global timer, started: every engine timer hangs under it.
    CreateGlobalTimer();
    // 4. and 7. The mouse tracker and the key table. (5., the profile timers
    //    of the frame loop, belong to each running zoom.)
    CreateInputWatchers();
    // 6. The registry store and the colour-map preset generator (which builds
    //    each preset on first use).
    CreateAppRegistry();
    (void)ColorMapGenerator();
    // 8. The instance mutex, holding no name yet.
    gInstanceMutex = std::make_unique<tMutex>();
}

void ProgramFinalisation()
{
    gInstanceMutex.reset();
    FreeAppRegistry();
    FreeGlobalTimer();
}

tMutex& InstanceMutex()
{
    if (!gInstanceMutex)
        gInstanceMutex = std::make_unique<tMutex>();
    return *gInstanceMutex;
}
