#include "uProgram.h"

#include "uClock.h"
#include "uColorMap.h"
#include "uPlatform.h"
#include "uProfileTimer.h"

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
    // 3-4. The engine's global timer and the mouse tracker join here with their subsystems.
    // 5. The 100 profile timers.
    (void)ProfileTimers();
    // 6. The registry store joins here with its subsystem.
    // 7. The colour-map preset generator; it builds each preset on first use.
    (void)ColorMapGenerator();
    // The keyboard table joins here with its subsystem.
    // 8. The instance mutex, holding no name yet.
    gInstanceMutex = std::make_unique<tMutex>();
}

void ProgramFinalisation()
{
    gInstanceMutex.reset();
}

tMutex& InstanceMutex()
{
    if (!gInstanceMutex)
        gInstanceMutex = std::make_unique<tMutex>();
    return *gInstanceMutex;
}
