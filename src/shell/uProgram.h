#pragma once
// Program initialisation and finalisation: the process-wide singletons, made
// in a fixed order before the entry block runs and freed after it.
#include "uMutex.h"

/// Clock, floating-point control word, the other singletons, and the
/// instance mutex (without a name yet).
void ProgramInitialisation();
/// Frees the singletons in reverse order; releases the instance mutex.
void ProgramFinalisation();

/// The instance mutex of the running mode family.
tMutex& InstanceMutex();
