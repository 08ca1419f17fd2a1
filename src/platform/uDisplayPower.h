#pragma once
// Whether the monitors have been put to sleep. A screen saver that keeps
// drawing to a monitor that is off only burns the processor.

/// True while the display reports its monitors in standby, suspend or off
/// through DPMS. False where the display has no DPMS, has it disabled, or
/// cannot be reached: there the monitor is never reported off.
bool MonitorPoweredOff();
