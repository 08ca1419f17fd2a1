#pragma once
// The program keeps its key table by Windows virtual-key codes; the toolkit
// and the Wayland keyboard (XKB key symbols) report their own key numbers.
#include <cstdint>

/// The virtual-key code of a toolkit key number (letters, digits, Shift,
/// Control, Alt, arrows, Escape, Enter, Space, editing and function keys);
/// 0 for keys without one.
uint32_t VirtualKeyOf(int toolkitKey);
/// The same for an XKB key symbol (the keys of a Wayland keyboard).
uint32_t VirtualKeyOfKeysym(uint32_t keysym);
/// True for key symbols of keys that only modify others or switch a lock
/// (Shift, Control, Alt, Meta, Super, Hyper, the level and group keys, Caps,
/// Num and Scroll Lock).
bool IsModifierKeysym(uint32_t keysym);
