#pragma once
// Input watching: the process-wide key table and mouse tracker, fed by the
// windows' application-wide event filter, and the rules by which input ends
// a running screen saver.
#include "uMath.h"

#include <array>
#include <cstddef>
#include <cstdint>

/// Windows virtual-key codes the zoom reads.
enum : uint32_t {
    vkShift = 0x10,
    vkControl = 0x11,
    vkMenu = 0x12,
    vkReturn = 0x0D,
    vkCapital = 0x14,
    vkLeftWindows = 0x5B,
    vkRightWindows = 0x5C,
};

/// Which keys are down, by virtual-key code.
class tKeyboardHK {
public:
    static constexpr std::size_t kTableSize = 65537;

    /// Entry k (the code's low 16 bits) becomes 1 while down, 0 when released.
    void KeyEvent(uint32_t virtualKey, bool down);
    bool IsDown(uint32_t virtualKey) const;
    void Clear() { table_.fill(0); }

private:
    std::array<uint8_t, kTableSize> table_{};
};

/// Where the mouse is, in screen pixels, and which buttons are down.
struct tMouse {
    extended x = 0;
    extended y = 0;
    bool leftDown = false;
    bool rightDown = false;
};

/// The process-wide key table and mouse tracker, made at program
/// initialisation (their first use makes them otherwise).
tKeyboardHK& KeyboardHook();
tMouse& MouseTracker();
void CreateInputWatchers();

/// The screen saver's stop rules for mouse movement: the first position it
/// sees while starting up, and any repeat of the last position, never stop it.
class tMouseStopRule {
public:
    /// A move to (x, y) in the given run mode and saver state: true when it
    /// must end the saver. The position is remembered either way.
    bool Moved(int x, int y, int runMode, int saverState);
    /// Where the pointer is without a move (when the window is shown).
    void Remember(int x, int y)
    {
        lastX = x;
        lastY = y;
    }

    int lastX = 0;
    int lastY = 0;
};

/// The key table's codes of the keys that only modify others: Shift and
/// Control (the speed keys), Alt, Caps Lock and the Windows keys.
bool IsModifierKey(uint32_t virtualKey);
/// A key that went down is a key press that can end the saver unless it is
/// a modifier alone or Alt+Enter (full screen).
bool IsStoppingKey(uint32_t virtualKey, bool altHeld);
/// A key press ends the saver in Screen Saver mode.
bool KeyPressStops(int runMode);
