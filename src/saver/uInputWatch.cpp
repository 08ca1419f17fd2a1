#include "uInputWatch.h"

#include "uFrameLoop.h"
#include "uLog.h"
#include "uRunModes.h"

#include <memory>

namespace {
std::unique_ptr<tKeyboardHK> gKeyboard;
std::unique_ptr<tMouse> gMouse;
} // namespace

void tKeyboardHK::KeyEvent(uint32_t virtualKey, bool down) { table_[virtualKey & 0xFFFF] = down ? 1 : 0; }

bool tKeyboardHK::IsDown(uint32_t virtualKey) const
{
    return virtualKey < kTableSize && table_[virtualKey] != 0;
}

void CreateInputWatchers()
{
    if (!gMouse)
        gMouse = std::make_unique<tMouse>();
    if (!gKeyboard)
        gKeyboard = std::make_unique<tKeyboardHK>();
}

tKeyboardHK& KeyboardHook()
{
    CreateInputWatchers();
    return *gKeyboard;
}

tMouse& MouseTracker()
{
    CreateInputWatchers();
    return *gMouse;
}

bool tMouseStopRule::Moved(int x, int y, int runMode, int saverState)
{
    if (x == lastX && y == lastY)
        return false;
    lastX = x;
    lastY = y;
    // While starting up the window appears under the mouse, which moves it
    // relative to the window: only remember where it is.
    if (runMode != rmScreenSaver || saverState <= ssInitialising)
        return false;
    LogNote(1, "Mouse move... stop event triggered");
    return true;
}

bool IsModifierKey(uint32_t virtualKey)
{
    switch (virtualKey) {
    case vkShift:
    case vkControl:
    case vkMenu:
    case vkCapital:
    case vkLeftWindows:
    case vkRightWindows:
        return true;
    default:
        return false;
    }
}

bool IsStoppingKey(uint32_t virtualKey, bool altHeld)
{
    return !IsModifierKey(virtualKey) && !(altHeld && virtualKey == vkReturn);
}

bool KeyPressStops(int runMode) { return runMode == rmScreenSaver; }
